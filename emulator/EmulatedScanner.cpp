#include "emulator/EmulatedScanner.h"

#include <algorithm>
#include <cstring>

#include "emulator/WireFormat.h"

namespace emulator {

namespace {

// The largest data packet the scanner takes (the host's largest is a
// firmware block of 8 KiB).
constexpr std::uint32_t kMaxDataOut = 1u << 20;

// Bytes a command carries to the scanner, by its CDB.
std::uint32_t DataOutLength(const std::uint8_t* cdb) {
  switch (cdb[0]) {
    case 0x24:  // SET WINDOW
    case 0x2A:  // SEND
    case 0x3B:  // WRITE BUFFER
      return GetBE24(cdb + 6);
    case 0xE1:  // vendor write
      return GetBE16(cdb + 7);
    default: return 0;
  }
}

// Whether a command's answer carries a data packet: the commands that read
// data, unless their CDB asks for none. The host sends such a command
// without a data phase and reads the status packet alone.
bool AnswersWithData(const std::uint8_t* cdb) {
  switch (cdb[0]) {
    case 0x03:  // REQUEST SENSE
    case 0x12:  // INQUIRY
      return cdb[4] != 0;
    case 0x28:  // READ
      return GetBE24(cdb + 6) != 0;
    case 0x34:  // GET DATA BUFFER STATUS
    case 0xE0:  // vendor read
      return GetBE16(cdb + 7) != 0;
    default: return false;
  }
}

bool Matches(const Fault& f, FaultKind kind, std::uint8_t opcode) {
  return f.kind == kind && !f.atPlace && (f.opcode < 0 || f.opcode == opcode);
}

}  // namespace

EmulatedScanner::EmulatedScanner(ScannerConfig config)
    : config_(std::move(config)),
      maxBytesPerRead_(config_.maxBytesPerRead),
      counter_(config_.counter),
      revision_(config_.revision) {
  PowerOn();
}

EmulatedScanner::~EmulatedScanner() = default;

void EmulatedScanner::PowerOn() {
  inStalled_ = outStalled_ = false;
  input_.clear();
  discardRemaining_ = 0;
  awaitingData_ = false;
  answers_.clear();
  answerOffset_ = 0;
  sense_ = {};
  windows_ = {};
  gamma_ = {};
  scanning_ = feederStopped_ = false;
  transit_.reset();
  busyLeft_ = 0;
  becomingReadyLeft_ = config_.becomingReadyCount;
  downloading_ = false;
  keyEvents_.clear();
  std::erase_if(faults_, [](const Fault& f) {
    return f.kind == FaultKind::StallIn || f.kind == FaultKind::StallOut ||
           f.kind == FaultKind::Timeout;
  });
}

void EmulatedScanner::FireObserver(std::unique_lock<std::mutex>& lock) {
  if (pendingNotifications_.empty()) return;
  std::vector<bool> events;
  events.swap(pendingNotifications_);
  ConnectionObserver observer = observer_;
  lock.unlock();
  if (observer)
    for (bool connected : events) observer(connected);
}

void EmulatedScanner::Disconnect() {
  if (!connected_) return;
  connected_ = false;
  log_.AddEvent("unplugged");
  pendingNotifications_.push_back(false);
}

// ---- bulk OUT -----------------------------------------------------------

TransferResult EmulatedScanner::BulkOut(const std::uint8_t* data, std::size_t size) {
  std::unique_lock lock(mutex_);
  const TransferResult result = AcceptOut(data, size);
  FireObserver(lock);
  return result;
}

TransferResult EmulatedScanner::AcceptOut(const std::uint8_t* data, std::size_t size) {
  if (!connected_) return {TransferStatus::Disconnected, 0};
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->kind == FaultKind::StallOut && !it->atPlace) {
      faults_.erase(it);
      outStalled_ = true;
      log_.AddEvent("stall OUT");
      break;
    }
  }
  if (outStalled_) return {TransferStatus::Stalled, 0};
  if (size == 0) return {TransferStatus::Ok, 0};
  if (data == nullptr) return {TransferStatus::Ok, 0};
  input_.insert(input_.end(), data, data + size);
  if (!ParseInput()) {
    // A packet the scanner cannot frame halts the OUT endpoint; the host's
    // pipe reset brings the parser back to the start of a packet.
    input_.clear();
    awaitingData_ = false;
    outStalled_ = true;
    log_.AddEvent("malformed packet, stall OUT");
    return {TransferStatus::Stalled, 0};
  }
  return {TransferStatus::Ok, size};
}

bool EmulatedScanner::ParseInput() {
  for (;;) {
    if (discardRemaining_ > 0) {
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(discardRemaining_, input_.size()));
      input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
      discardRemaining_ -= n;
      if (discardRemaining_ > 0) return true;
    }
    if (input_.size() < 8) return true;
    const PacketHeader h = ParsePacketHeader(input_.data());
    if (h.type == kPacketTypeCommand) {
      if (h.code != kCodeCommand || h.length != kCommandPacketSize) return false;
      if (input_.size() < kCommandPacketSize) return true;
      log_.Add(PacketLogEntry::Kind::Out, "command", input_.data(), kCommandPacketSize);
      std::array<std::uint8_t, 16> cdb{};
      std::memcpy(cdb.data(), input_.data() + 12, kMaxCdbSize);
      input_.erase(input_.begin(), input_.begin() + kCommandPacketSize);
      if (awaitingData_) log_.AddEvent("command without its data packet abandoned");
      awaitingData_ = false;
      // A new command flushes what the host left unread of the last answer.
      if (!answers_.empty()) log_.AddEvent("unread answer discarded");
      answers_.clear();
      answerOffset_ = 0;
      const std::uint32_t outLength = DataOutLength(cdb.data());
      if (outLength > 0 && outLength <= kMaxDataOut) {
        awaitingData_ = true;
        pendingCdb_ = cdb;
      } else {
        RunCommand(cdb, {});
      }
      continue;
    }
    if (h.type == kPacketTypeData) {
      if (h.code != kCodeData || h.length < kDataHeaderSize) return false;
      if (!awaitingData_) {
        log_.AddEvent("data packet without a command discarded");
        discardRemaining_ = h.length;
        continue;
      }
      if (h.length > kMaxDataOut + kDataHeaderSize) return false;
      if (input_.size() < h.length) return true;
      log_.Add(PacketLogEntry::Kind::Out, "data", input_.data(), h.length);
      std::vector<std::uint8_t> payload(input_.begin() + kDataHeaderSize,
                                        input_.begin() + h.length);
      input_.erase(input_.begin(), input_.begin() + h.length);
      awaitingData_ = false;
      RunCommand(pendingCdb_, std::move(payload));
      continue;
    }
    return false;
  }
}

void EmulatedScanner::RunCommand(const std::array<std::uint8_t, 16>& cdb,
                                 std::vector<std::uint8_t> data) {
  const std::uint8_t opcode = cdb[0];
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (Matches(*it, FaultKind::Timeout, opcode)) {
      faults_.erase(it);
      if (opcode != 0x03) sense_ = {};  // it is still the latest command
      log_.AddEvent("command swallowed, no answer");
      return;
    }
    if (Matches(*it, FaultKind::StallIn, opcode)) {
      faults_.erase(it);
      inStalled_ = true;
      // The command is aborted; REQUEST SENSE afterwards tells so.
      sense_ = (opcode == 0x28 && cdb[2] == 0x00) ? sense::kImageTransferError
                                                  : sense::kDataTransferError;
      log_.AddEvent("stall IN");
      return;
    }
  }
  if (busyLeft_ > 0) {
    --busyLeft_;
    Reply busy;
    busy.status = kStatusBusy;
    busy.dataIn = AnswersWithData(cdb.data());
    Queue(busy);
    return;
  }
  if (opcode != 0x03) sense_ = {};
  Reply reply = Dispatch(cdb.data(), data);
  reply.dataIn = reply.dataIn && AnswersWithData(cdb.data());
  if (connected_) Queue(reply);
}

void EmulatedScanner::Queue(const Reply& reply) {
  std::vector<std::uint8_t> chunk;
  if (reply.dataIn) {
    chunk = MakeDataPacket(reply.data.data(), reply.data.size());
    log_.Add(PacketLogEntry::Kind::In, "data", chunk.data(), chunk.size());
  }
  const auto status = MakeStatusPacket(reply.status);
  log_.Add(PacketLogEntry::Kind::In, "status", status.data(), status.size());
  chunk.insert(chunk.end(), status.begin(), status.end());
  answers_.push_back(std::move(chunk));
}

// ---- bulk IN ------------------------------------------------------------

TransferResult EmulatedScanner::BulkIn(std::uint8_t* buffer, std::size_t max) {
  std::lock_guard lock(mutex_);
  if (!connected_) return {TransferStatus::Disconnected, 0};
  if (inStalled_) return {TransferStatus::Stalled, 0};
  if (max == 0) return {TransferStatus::Ok, 0};
  if (answers_.empty()) return {TransferStatus::NoResponse, 0};
  const std::vector<std::uint8_t>& chunk = answers_.front();
  const std::size_t n = std::min(max, chunk.size() - answerOffset_);
  if (buffer != nullptr) std::memcpy(buffer, chunk.data() + answerOffset_, n);
  answerOffset_ += n;
  if (answerOffset_ == chunk.size()) {
    answers_.pop_front();
    answerOffset_ = 0;
  }
  return {TransferStatus::Ok, n};
}

bool EmulatedScanner::ResetPipe(std::uint32_t pipe) {
  std::lock_guard lock(mutex_);
  if (!connected_) return false;
  if (pipe == kPipeBulkIn) {
    inStalled_ = false;
    answers_.clear();
    answerOffset_ = 0;
  } else if (pipe == kPipeBulkOut) {
    outStalled_ = false;
    input_.clear();
    discardRemaining_ = 0;
    awaitingData_ = false;
  } else {
    return false;
  }
  log_.AddEvent(pipe == kPipeBulkIn ? "reset IN" : "reset OUT");
  return true;
}

bool EmulatedScanner::CancelIo(std::uint32_t pipe) {
  std::lock_guard lock(mutex_);
  return connected_ && (pipe == kPipeBulkIn || pipe == kPipeBulkOut);
}

bool EmulatedScanner::IsConnected() const {
  std::lock_guard lock(mutex_);
  return connected_;
}

void EmulatedScanner::SetConnectionObserver(ConnectionObserver observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

// ---- surroundings -------------------------------------------------------

void EmulatedScanner::LoadSheets(const std::vector<Sheet>& sheets) {
  std::lock_guard lock(mutex_);
  feeder_.assign(sheets.begin(), sheets.end());
  nextSheetNumber_ = 0;
}

void EmulatedScanner::LoadSheets(std::uint32_t count, Sheet sheet) {
  LoadSheets(std::vector<Sheet>(count, sheet));
}

void EmulatedScanner::SetCoverOpen(bool open) {
  std::lock_guard lock(mutex_);
  coverOpen_ = open;
}

void EmulatedScanner::SetMaxBytesPerRead(std::uint32_t bytes) {
  std::lock_guard lock(mutex_);
  maxBytesPerRead_ = bytes;
}

void EmulatedScanner::QueueKeyEvent(PanelKey key, KeyAction action) {
  std::lock_guard lock(mutex_);
  keyEvents_.push_back(static_cast<std::uint8_t>((static_cast<unsigned>(action) << 6) |
                                                 (static_cast<unsigned>(key) << 4)));
}

void EmulatedScanner::InjectFault(const Fault& fault) {
  std::lock_guard lock(mutex_);
  ApplyFault(fault);
}

void EmulatedScanner::ApplyFault(const Fault& fault) {
  if (fault.atPlace) {
    faults_.push_back(fault);
    return;
  }
  switch (fault.kind) {
    case FaultKind::CoverOpen: coverOpen_ = true; break;
    case FaultKind::NoPaper: feeder_.clear(); break;
    case FaultKind::Busy: busyLeft_ += fault.count; break;
    default: faults_.push_back(fault); break;
  }
}

void EmulatedScanner::Unplug() {
  std::unique_lock lock(mutex_);
  Disconnect();
  FireObserver(lock);
}

void EmulatedScanner::Replug() {
  std::unique_lock lock(mutex_);
  if (connected_) return;
  PowerOn();
  connected_ = true;
  log_.AddEvent("plugged in");
  pendingNotifications_.push_back(true);
  FireObserver(lock);
}

std::size_t EmulatedScanner::SheetsInFeeder() const {
  std::lock_guard lock(mutex_);
  return feeder_.size();
}

std::string EmulatedScanner::FirmwareRevision() const {
  std::lock_guard lock(mutex_);
  return revision_;
}

std::uint32_t EmulatedScanner::Counter() const {
  std::lock_guard lock(mutex_);
  return counter_;
}

std::uint64_t EmulatedScanner::CappedReads() const {
  std::lock_guard lock(mutex_);
  return cappedReads_;
}

std::optional<ScanWindow> EmulatedScanner::Window(bool back) const {
  std::lock_guard lock(mutex_);
  return windows_[back ? 1 : 0];
}

GammaTables EmulatedScanner::Gamma(bool back) const {
  std::lock_guard lock(mutex_);
  return gamma_[back ? 1 : 0];
}

std::vector<std::uint8_t> EmulatedScanner::LcdImage() const {
  std::lock_guard lock(mutex_);
  return lcd_;
}

std::pair<std::uint16_t, std::uint16_t> EmulatedScanner::LcdColors() const {
  std::lock_guard lock(mutex_);
  return {lcdBackground_, lcdText_};
}

}  // namespace emulator
