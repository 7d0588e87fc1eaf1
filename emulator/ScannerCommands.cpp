// What the scanner answers to each command. Conditions that the command
// set leaves open are decided here and listed in docs/emulator.md.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "emulator/EmulatedScanner.h"
#include "emulator/WireFormat.h"

namespace emulator {

namespace {

constexpr std::size_t kInquirySize = 96;
constexpr std::size_t kSupportInfoSize = 32;
constexpr std::size_t kLineInfoSize = 16;
constexpr std::size_t kDocumentInfoSize = 6;
constexpr std::size_t kBufferStatusSize = 12;
constexpr std::size_t kCounterSize = 14;
constexpr std::size_t kKeyEventSize = 2;
constexpr std::size_t kGammaDataSize = 266;
constexpr std::uint32_t kFirmwareBanner = 0x500;
constexpr std::uint32_t kBannerLength = 55;

// Sheet lengths (1/1000 in) beyond which the feeder reports a length error.
constexpr std::uint32_t kMaxSheetLength = 14000;
constexpr std::uint32_t kMaxLongSheetLength = 118000;

void PutText(std::uint8_t* p, std::size_t width, const std::string& text) {
  std::memset(p, ' ', width);
  std::memcpy(p, text.data(), std::min(width, text.size()));
}

std::vector<std::uint8_t> Truncate(std::vector<std::uint8_t> v, std::size_t allocation) {
  if (v.size() > allocation) v.resize(allocation);
  return v;
}

// A fault of another kind waiting for a place on a sheet.
bool IsPlacedFault(const Fault& f) { return f.atPlace && !IsSheetFault(f.kind); }

// The faults that leave with their sheet.
bool BelongsToSheet(const Fault& f, std::uint32_t sheet) {
  return (IsSheetFault(f.kind) || IsPlacedFault(f)) && f.sheet == sheet;
}

}  // namespace

EmulatedScanner::Reply EmulatedScanner::Good(std::vector<std::uint8_t> data, bool dataIn) {
  Reply r;
  r.status = kStatusGood;
  r.dataIn = dataIn;
  r.data = std::move(data);
  return r;
}

EmulatedScanner::Reply EmulatedScanner::Check(const Sense& s, bool dataIn,
                                              std::vector<std::uint8_t> data) {
  sense_ = s;
  Reply r;
  r.status = kStatusCheckCondition;
  r.dataIn = dataIn;
  r.data = std::move(data);
  return r;
}

EmulatedScanner::Reply EmulatedScanner::Dispatch(const std::uint8_t* cdb,
                                                 const std::vector<std::uint8_t>& data) {
  switch (cdb[0]) {
    case 0x00: return TestUnitReady();
    case 0x03: return RequestSense(cdb);
    case 0x12: return Inquiry(cdb);
    case 0x1B: return Scan();
    case 0x24: return SetWindow(cdb, data);
    case 0x28: return Read(cdb);
    case 0x2A: return Send(cdb, data);
    case 0x34: return GetDataBufferStatus(cdb);
    case 0x3B: return WriteBuffer(cdb, data);
    case 0xE0: return VendorRead(cdb);
    case 0xE1: return VendorWrite(cdb, data);
    default: return Check(sense::kInvalidOpcode, false);
  }
}

EmulatedScanner::Reply EmulatedScanner::TestUnitReady() {
  if (coverOpen_) return Check(sense::kDoorOpen, false);
  if (becomingReadyLeft_ > 0) {
    --becomingReadyLeft_;
    return Check(sense::kBecomingReady, false);
  }
  return Good();
}

EmulatedScanner::Reply EmulatedScanner::RequestSense(const std::uint8_t* cdb) {
  const auto bytes = sense_.ToBytes();
  sense_ = {};
  return Good(Truncate({bytes.begin(), bytes.end()}, cdb[4]), true);
}

EmulatedScanner::Reply EmulatedScanner::Inquiry(const std::uint8_t* cdb) {
  if ((cdb[1] & 0x01) != 0 || cdb[2] != 0) return Check(sense::kInvalidFieldInCdb, true);
  std::vector<std::uint8_t> d(kInquirySize, 0);
  d[0] = 0x06;  // scanner device
  d[2] = 0x02;  // SCSI-2
  d[3] = 0x02;  // response data format
  d[4] = kInquirySize - 5;
  PutText(&d[8], 8, config_.vendor);
  PutText(&d[16], 16, config_.product);
  PutText(&d[32], 4, revision_);
  return Good(Truncate(std::move(d), cdb[4]), true);
}

EmulatedScanner::Reply EmulatedScanner::Scan() {
  if (coverOpen_) return Check(sense::kDoorOpen, false);
  if (!windows_[0] && !windows_[1]) return Check(sense::kInvalidWindowCombination, false);
  if (feeder_.empty()) return Check(sense::kMediumNotPresent, false);
  const ScanWindow& w = windows_[0] ? *windows_[0] : *windows_[1];
  transit_.reset();
  scanning_ = true;
  feederStopped_ = false;
  sheetsPicked_ = 0;
  sheetLimit_ = (w.pages == 0xFF || w.pages == 0) ? 0 : w.pages;
  return Good();
}

void EmulatedScanner::EndScan() {
  scanning_ = false;
  transit_.reset();
}

EmulatedScanner::Reply EmulatedScanner::SetWindow(const std::uint8_t* cdb,
                                                  const std::vector<std::uint8_t>& data) {
  const std::uint32_t length = GetBE24(cdb + 6);
  if (length == 0) {
    windows_ = {};
    EndScan();
    return Good();
  }
  if (data.size() != length || length < kWindowHeaderSize + kWindowDescriptorSize ||
      (length - kWindowHeaderSize) % kWindowDescriptorSize != 0)
    return Check(sense::kParameterListLength, false);
  if (GetBE16(data.data() + 6) != kWindowDescriptorSize)
    return Check(sense::kInvalidFieldInParameters, false);
  const std::size_t count = (length - kWindowHeaderSize) / kWindowDescriptorSize;
  if (count > 2) return Check(Sense{kKeyIllegalRequest, 0x2C, 0x01}, false);
  std::array<std::optional<ScanWindow>, 2> parsed = windows_;
  for (std::size_t i = 0; i < count; ++i) {
    ScanWindow w;
    switch (ParseWindow(data.data() + kWindowHeaderSize + i * kWindowDescriptorSize, w)) {
      case WindowCheck::Ok: break;
      case WindowCheck::InvalidField: return Check(sense::kInvalidFieldInParameters, false);
      case WindowCheck::OutOfArea: return Check(sense::kOutOfScanningArea, false);
    }
    parsed[w.back() ? 1 : 0] = w;
  }
  windows_ = parsed;
  return Good();
}

EmulatedScanner::Reply EmulatedScanner::Read(const std::uint8_t* cdb) {
  const std::uint32_t length = GetBE24(cdb + 6);
  const int side = (cdb[5] & 0x80) != 0 ? 1 : 0;
  switch (cdb[2]) {
    case 0x00: return ReadImage(cdb);
    case 0x80: {  // line information of a window
      if (!windows_[side]) return Check(sense::kInvalidFieldInCdb, true);
      std::vector<std::uint8_t> d(kLineInfoSize, 0);
      PutBE32(&d[0], windows_[side]->PixelsPerLine());
      PutBE32(&d[4], windows_[side]->Lines());
      return Good(Truncate(std::move(d), length), true);
    }
    case 0x81: {  // document status
      std::vector<std::uint8_t> d(kDocumentInfoSize, 0);
      if (!feeder_.empty())
        d[0] = static_cast<std::uint8_t>(0x20 | (feeder_.front().sizeCode & 0x0F));
      return Good(Truncate(std::move(d), length), true);
    }
    case 0x93: {  // support information
      std::vector<std::uint8_t> d(kSupportInfoSize, 0);
      PutBE16(&d[2], config_.memoryMegabytes);
      PutBE16(&d[4], kMinResolution);
      PutBE16(&d[6], kMinResolution);
      PutBE16(&d[8], kMaxResolution);
      PutBE16(&d[10], kMaxResolution);
      PutBE16(&d[12], 1);
      PutBE16(&d[14], 1);
      d[22] = 0x01;  // deskew
      d[26] = 0x01;  // double-feed action
      d[29] = 0x01;  // colour dropout
      d[30] = 0x01;  // sRGB
      return Good(Truncate(std::move(d), length), true);
    }
    default: return Check(sense::kInvalidFieldInCdb, true);
  }
}

std::optional<Sense> EmulatedScanner::EnsureSheet() {
  if (transit_) return std::nullopt;
  if (coverOpen_) return sense::kDoorOpen;
  if (feederStopped_) return sense::kAdfStopped;
  if (!windows_[0] && !windows_[1]) scanning_ = false;
  if (scanning_ && sheetLimit_ != 0 && sheetsPicked_ >= sheetLimit_) scanning_ = false;
  if (scanning_ && feeder_.empty()) scanning_ = false;
  if (!scanning_) return feeder_.empty() ? sense::kMediumNotPresent : sense::kNotReady;

  SheetInTransit t;
  t.sheet = feeder_.front();
  feeder_.pop_front();
  t.number = nextSheetNumber_++;
  ++sheetsPicked_;
  ++counter_;
  for (int side = 0; side < 2; ++side) {
    if (!windows_[side]) continue;
    const ScanWindow& w = *windows_[side];
    const std::uint32_t lines =
        w.lengthControl()
            ? static_cast<std::uint32_t>(std::uint64_t{t.sheet.length} * w.yRes / 1000)
            : w.Lines();
    SideState s;
    s.image = std::make_unique<PageImage>(w, t.number, side, std::max<std::uint32_t>(lines, 1),
                                          &gamma_[side]);
    t.sides[side] = std::move(s);
  }
  // Double feeds and skew stop the feeder only when the window asks the
  // scanner to watch for them; otherwise the sheet goes through.
  const ScanWindow& lead = windows_[0] ? *windows_[0] : *windows_[1];
  std::erase_if(faults_, [&](const Fault& f) {
    return f.sheet == t.number &&
           ((f.kind == FaultKind::DoubleFeed && !lead.doubleFeedDetection()) ||
            (f.kind == FaultKind::Skew && !lead.stopOnSkew()));
  });
  // The feeder measures the sheet: too long a sheet stops where the limit
  // falls on the page, or at the page's last byte when the page (cut to the
  // window) ends first, since the sheet is still in the feeder then.
  const std::uint32_t maxLength = lead.longPaper() ? kMaxLongSheetLength : kMaxSheetLength;
  if (t.sheet.length > maxLength) {
    const int side = t.sides[0] ? 0 : 1;
    const PageImage& page = *t.sides[side]->image;
    const ScanWindow& w = *windows_[side];
    const std::uint64_t pageLength = std::uint64_t{page.Lines()} * 1000 / w.yRes;  // 1/1000 in
    std::uint64_t offset = pageLength > 0 ? page.Size() * maxLength / pageLength : page.Size();
    offset = std::max<std::uint64_t>(1, std::min<std::uint64_t>(offset, page.Size() - 1));
    Fault f;
    f.kind = FaultKind::Jam;
    f.jamQualifier = 0x0C;
    f.sheet = t.number;
    f.offset = offset;
    faults_.push_back(f);
  }
  transit_ = std::move(t);
  return std::nullopt;
}

// How many more bytes of `side` may go out before a fault of the sheet in
// transit strikes. Faults count the front page's bytes; one at offset 0
// strikes before anything of either side.
std::uint64_t EmulatedScanner::FaultLimit(int side) const {
  return LimitOf(side, [](const Fault& f) { return IsSheetFault(f.kind); });
}

std::uint64_t EmulatedScanner::PlacedFaultLimit(int side) const {
  return LimitOf(side, IsPlacedFault);
}

std::uint64_t EmulatedScanner::LimitOf(int side, bool (*counted)(const Fault&)) const {
  std::uint64_t limit = UINT64_MAX;
  if (!transit_) return limit;
  const int measured = transit_->sides[0] ? 0 : 1;
  for (const Fault& f : faults_) {
    if (!counted(f) || f.sheet != transit_->number) continue;
    if (f.offset == 0) return 0;
    if (side != measured) continue;
    const std::uint64_t done = transit_->sides[measured]->offset;
    limit = std::min(limit, f.offset > done ? f.offset - done : 0);
  }
  return limit;
}

void EmulatedScanner::FirePlacedFaults() {
  if (!transit_) return;
  const int measured = transit_->sides[0] ? 0 : 1;
  const std::uint64_t done = transit_->sides[measured]->offset;
  std::vector<Fault> due;
  std::erase_if(faults_, [&](const Fault& f) {
    const bool reached = IsPlacedFault(f) && f.sheet == transit_->number && f.offset <= done;
    if (reached) due.push_back(f);
    return reached;
  });
  for (Fault f : due) {
    f.atPlace = false;
    log_.AddEvent("fault at its place");
    ApplyFault(f);
  }
}

// The fault of the sheet in transit that is due: its answer, or nothing
// when the device vanished (unplug) and answers nothing.
std::optional<EmulatedScanner::Reply> EmulatedScanner::StrikeFault(bool dataIn,
                                                                   std::vector<std::uint8_t> data,
                                                                   std::uint32_t residue) {
  const int measured = transit_->sides[0] ? 0 : 1;
  const std::uint64_t done = transit_->sides[measured]->offset;
  auto due = faults_.end();
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (!IsSheetFault(it->kind) || it->sheet != transit_->number) continue;
    if (it->offset == 0 || it->offset <= done) {
      due = it;
      break;
    }
  }
  const Fault f = *due;
  faults_.erase(due);
  if (f.kind == FaultKind::Unplug) {
    Disconnect();
    return std::nullopt;
  }
  Sense s;
  switch (f.kind) {
    case FaultKind::Jam: s = Sense{kKeyMediumError, 0x80, f.jamQualifier}; break;
    case FaultKind::DoubleFeed: s = sense::kDoubleFeed; break;
    default: s = sense::kSkew; break;
  }
  // The feeder stops; the user takes the sheet out.
  std::erase_if(faults_, [&](const Fault& g) { return BelongsToSheet(g, f.sheet); });
  EndScan();
  log_.AddEvent("sheet fault");
  s.info = residue;
  return Check(s, dataIn, std::move(data));
}

EmulatedScanner::Reply EmulatedScanner::ReadImage(const std::uint8_t* cdb) {
  const std::uint32_t request = GetBE24(cdb + 6);
  const int side = (cdb[5] & 0x80) != 0 ? 1 : 0;
  if (!windows_[side]) return Check(sense::kInvalidFieldInCdb, true);
  if (coverOpen_) return Check(sense::kDoorOpen, true);
  if (request == 0) return Good({}, true);
  if (transit_ && transit_->sides[side] && transit_->sides[side]->ended) {
    // This side's next page comes with the next sheet, once the other side
    // of this one is read: nothing buffered for it yet.
    return Check(Sense{kKeyNoSense, 0, 0, true, false, request}, true);
  }
  if (auto failure = EnsureSheet()) return Check(*failure, true);
  if (!transit_->sides[side]) return Check(sense::kInvalidFieldInCdb, true);

  SideState& s = *transit_->sides[side];
  std::uint64_t n = std::min<std::uint64_t>(request, s.image->Size() - s.offset);
  if (maxBytesPerRead_ != 0 && n > maxBytesPerRead_) {
    n = maxBytesPerRead_;
    ++cappedReads_;
  }
  const std::uint64_t limit = FaultLimit(side);
  const bool faultDue = n > limit || limit == 0;
  if (faultDue) n = limit;
  // A fault waiting further on leaves the rest for after it.
  n = std::min(n, PlacedFaultLimit(side));

  std::vector<std::uint8_t> data(static_cast<std::size_t>(n));
  s.image->Read(s.offset, data.size(), data.data());
  s.offset += n;
  const std::uint32_t residue = request - static_cast<std::uint32_t>(n);
  if (!faultDue) FirePlacedFaults();
  if (faultDue) {
    auto reply = StrikeFault(true, std::move(data), residue);
    if (!reply) return Reply{};  // unplugged: the caller queues nothing
    return *reply;
  }
  if (s.offset == s.image->Size()) {
    s.ended = true;
    bool sheetDone = true;
    for (const auto& other : transit_->sides) sheetDone = sheetDone && (!other || other->ended);
    if (sheetDone) {
      const std::uint32_t number = transit_->number;
      std::erase_if(faults_, [&](const Fault& f) { return BelongsToSheet(f, number); });
      transit_.reset();
    }
    return Check(Sense{kKeyNoSense, 0, 0, false, true, residue}, true, std::move(data));
  }
  if (residue != 0)
    return Check(Sense{kKeyNoSense, 0, 0, true, false, residue}, true, std::move(data));
  return Good(std::move(data), true);
}

EmulatedScanner::Reply EmulatedScanner::Send(const std::uint8_t* cdb,
                                             const std::vector<std::uint8_t>& data) {
  if (cdb[2] != 0x03 && cdb[2] != 0x05) return Check(sense::kInvalidFieldInCdb, false);
  const std::uint8_t channel = cdb[5];
  if (channel < 1 || channel > 4) return Check(sense::kInvalidFieldInCdb, false);
  if (GetBE24(cdb + 6) != kGammaDataSize || data.size() != kGammaDataSize)
    return Check(sense::kParameterListLength, false);
  GammaTables& g = gamma_[cdb[2] == 0x05 ? 1 : 0];
  std::memcpy(g.table[channel - 1].data(), data.data() + 10, 256);
  g.loaded[channel - 1] = true;
  return Good();
}

EmulatedScanner::Reply EmulatedScanner::GetDataBufferStatus(const std::uint8_t* cdb) {
  const std::uint16_t allocation = GetBE16(cdb + 7);
  if (coverOpen_) return Check(sense::kDoorOpen, true);
  std::uint64_t filled = 0;
  std::uint8_t windowId = 0;
  if (transit_) {
    for (int side = 1; side >= 0; --side) {
      const auto& s = transit_->sides[side];
      if (!s || s->ended) continue;
      filled += s->image->Size() - s->offset;
      windowId = side == 1 ? kWindowBack : kWindowFront;
    }
  }
  if (filled == 0) {
    if (auto failure = EnsureSheet()) {
      if (*failure != sense::kNotReady) return Check(*failure, true);
    }
    if (transit_) {
      for (int side = 1; side >= 0; --side) {
        const auto& s = transit_->sides[side];
        if (!s) continue;
        filled += s->image->Size();
        windowId = side == 1 ? kWindowBack : kWindowFront;
      }
    }
  }
  if (transit_ && FaultLimit(0) == 0) {
    auto reply = StrikeFault(true, {}, 0);
    if (!reply) return Reply{};
    return *reply;
  }
  std::vector<std::uint8_t> d(kBufferStatusSize, 0);
  PutBE24(&d[0], kBufferStatusSize - 4);
  d[4] = windowId;
  PutBE24(&d[9], static_cast<std::uint32_t>(std::min<std::uint64_t>(filled, 0xFFFFFF)));
  return Good(Truncate(std::move(d), allocation), true);
}

// The banner names the revision as "T.nn" (a letter first) or "d.dd"; a
// lettered one wins, since banners also carry other version numbers.
std::string EmulatedScanner::RevisionFromImage() const {
  const std::uint8_t* banner = firmware_.data() + kFirmwareBanner;
  for (auto first :
       {+[](int c) { return std::isalpha(c) != 0; }, +[](int c) { return std::isdigit(c) != 0; }}) {
    for (std::uint32_t i = 0; i + 4 <= kBannerLength; ++i) {
      if (first(banner[i]) && banner[i + 1] == '.' && std::isdigit(banner[i + 2]) &&
          std::isdigit(banner[i + 3]) && (i == 0 || !std::isalnum(banner[i - 1])) &&
          (i + 4 == kBannerLength || !std::isalnum(banner[i + 4])))
        return std::string(reinterpret_cast<const char*>(banner + i), 4);
    }
  }
  return config_.downloadedRevision;
}

EmulatedScanner::Reply EmulatedScanner::WriteBuffer(const std::uint8_t* cdb,
                                                    const std::vector<std::uint8_t>& data) {
  if ((cdb[1] & 0x1F) != 0x05) return Check(sense::kInvalidFieldInCdb, false);
  const std::uint32_t offset = GetBE32(cdb + 2);
  const std::uint32_t length = GetBE24(cdb + 6);
  if (length == 0) {
    // End marker: the image takes effect only when it arrived whole.
    const bool complete = downloading_ && offset == 0 && firmwareExpected_ == kFirmwareSize;
    downloading_ = false;
    if (!complete) return Check(sense::kInvalidFieldInParameters, false);
    revision_ = RevisionFromImage();
    log_.AddEvent("firmware " + revision_ + " installed");
    return Good();
  }
  if (offset == 0) {
    firmware_.assign(kFirmwareSize, 0);
    firmwareExpected_ = 0;
    downloading_ = true;
  }
  if (!downloading_ || offset != firmwareExpected_ || data.size() != length ||
      std::uint64_t{offset} + length > kFirmwareSize) {
    downloading_ = false;
    return Check(sense::kInvalidFieldInCdb, false);
  }
  std::memcpy(firmware_.data() + offset, data.data(), length);
  firmwareExpected_ += length;
  return Good();
}

EmulatedScanner::Reply EmulatedScanner::VendorRead(const std::uint8_t* cdb) {
  const std::uint16_t allocation = GetBE16(cdb + 7);
  switch (cdb[2]) {
    case 0x86: {  // page counter
      std::vector<std::uint8_t> d(kCounterSize, 0);
      PutBE32(&d[0], counter_);
      return Good(Truncate(std::move(d), allocation), true);
    }
    case 0xB2: {  // panel key event
      std::vector<std::uint8_t> d(kKeyEventSize, 0);
      if (!keyEvents_.empty()) {
        d[1] = keyEvents_.front();
        keyEvents_.pop_front();
        d[0] = static_cast<std::uint8_t>(0x01 | (keyEvents_.empty() ? 0 : 0x80));
      }
      return Good(Truncate(std::move(d), allocation), true);
    }
    default: return Check(sense::kInvalidFieldInCdb, true);
  }
}

EmulatedScanner::Reply EmulatedScanner::VendorWrite(const std::uint8_t* cdb,
                                                    const std::vector<std::uint8_t>& data) {
  const std::uint16_t length = GetBE16(cdb + 7);
  switch (cdb[2]) {
    case 0x8B:  // stop the feeder after the sheet in transit
      if (scanning_) feederStopped_ = true;
      return Good();
    case 0xB5:  // panel image
      if (length != kLcdImageSize || data.size() != kLcdImageSize)
        return Check(sense::kParameterListLength, false);
      lcd_ = data;
      return Good();
    case 0xB4:  // panel colours
      if (length != 4 || data.size() != 4) return Check(sense::kParameterListLength, false);
      lcdBackground_ = GetBE16(&data[0]);
      lcdText_ = GetBE16(&data[2]);
      return Good();
    default: return Check(sense::kInvalidFieldInCdb, false);
  }
}

}  // namespace emulator
