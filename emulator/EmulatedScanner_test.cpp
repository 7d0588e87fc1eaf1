#include "emulator/EmulatedScanner.h"

#include <gtest/gtest.h>

#include <string>

#include "emulator/testing/HostExchange.h"
#include "emulator/testing/WindowBuilder.h"

namespace emulator {
namespace {

using testing::Exchange;
using testing::RunCommand;
using Bytes = std::vector<std::uint8_t>;

const Bytes kGoodStatus{0, 0, 0, 0x10, 0, 0x03, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00};

Bytes DataHeader(std::uint32_t dataLength) {
  Bytes h(12, 0);
  PutBE32(&h[0], dataLength + 12);
  PutBE16(&h[4], 2);
  PutBE16(&h[6], 0xB000);
  return h;
}

TEST(WireFormat, PacketsAreBigEndianWithTheirHeaders) {
  const Bytes cdb{0x28, 0, 0x00, 0, 0, 0x80, 0x01, 0x00, 0x00, 0};
  const auto command = MakeCommandPacket(cdb.data(), cdb.size());
  EXPECT_EQ(
      Bytes(command.begin(), command.end()),
      (Bytes{0, 0, 0, 24, 0, 1, 0x90, 0, 0, 0, 0, 0, 0x28, 0, 0, 0, 0, 0x80, 0x01, 0, 0, 0, 0, 0}));
  const Bytes payload{0xAA, 0xBB};
  EXPECT_EQ(MakeDataPacket(payload.data(), payload.size()),
            (Bytes{0, 0, 0, 14, 0, 2, 0xB0, 0, 0, 0, 0, 0, 0xAA, 0xBB}));
  const auto status = MakeStatusPacket(kStatusCheckCondition);
  EXPECT_EQ(Bytes(status.begin(), status.end()),
            (Bytes{0, 0, 0, 16, 0, 3, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0, 2}));
}

// One row: a command as the host sends it, and the exact answer.
struct CommandCase {
  const char* name;
  Bytes cdb;
  Bytes dataOut;
  std::size_t dataIn;
  int status;
  Bytes data;  // the expected payload of the data packet
};

class CommandTable : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandTable, AnswersWithTheExpectedPackets) {
  const CommandCase& c = GetParam();
  EmulatedScanner scanner;
  scanner.LoadSheets(2, Sheet{11000, 4});
  const Exchange x = RunCommand(scanner, c.cdb, c.dataOut, c.dataIn);
  ASSERT_EQ(x.transport, TransferStatus::Ok);
  EXPECT_EQ(x.status, c.status);
  Bytes status = kGoodStatus;
  status[15] = static_cast<std::uint8_t>(c.status);
  EXPECT_EQ(x.statusPacket, status);
  if (c.dataIn == 0) {
    EXPECT_TRUE(x.dataPhase.empty());
    return;
  }
  // A data-in command always gets a data packet, whatever its status.
  // The answer is one transfer: the data packet, then the status; the data
  // phase gets as much of it as it asks for (data length + 12), so a short
  // answer brings (part of) the status along.
  Bytes expected = DataHeader(static_cast<std::uint32_t>(c.data.size()));
  expected.insert(expected.end(), c.data.begin(), c.data.end());
  expected.insert(expected.end(), status.begin(), status.end());
  expected.resize(std::min(expected.size(), c.dataIn + 12));
  EXPECT_EQ(x.dataPhase, expected);
}

Bytes Inquiry96() {
  Bytes d(96, 0);
  d[0] = 0x06;
  d[2] = 0x02;
  d[3] = 0x02;
  d[4] = 91;
  const std::string text = "QUILLBOXK24             T.50";
  std::copy(text.begin(), text.end(), d.begin() + 8);
  return d;
}

Bytes Zeros(std::size_t n) { return Bytes(n, 0); }

Bytes Gamma266() {
  Bytes d(266, 0);
  for (int i = 0; i < 256; ++i) d[10 + i] = static_cast<std::uint8_t>(255 - i);
  return d;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Commands, CommandTable,
    ::testing::Values(
        CommandCase{"TestUnitReady", {0, 0, 0, 0, 0, 0}, {}, 0, 0, {}},
        CommandCase{"Inquiry", {0x12, 0, 0, 0, 0x60, 0}, {}, 96, 0, Inquiry96()},
        CommandCase{"InquiryShortAllocation", {0x12, 0, 0, 0, 8, 0}, {}, 8, 0,
                    Bytes{0x06, 0, 0x02, 0x02, 91, 0, 0, 0}},
        CommandCase{"InquiryVitalProductData", {0x12, 1, 0, 0, 0x60, 0}, {}, 96, 2, {}},
        CommandCase{"RequestSenseWhenAllIsWell", {0x03, 0, 0, 0, 18, 0}, {}, 18, 0,
                    Bytes{0x70, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        CommandCase{"ReadDocumentWithPaper", {0x28, 0, 0x81, 0, 0, 0, 0, 0, 6, 0}, {}, 6, 0,
                    Bytes{0x24, 0, 0, 0, 0, 0}},
        CommandCase{"ReadSupportInfo", {0x28, 0, 0x93, 0, 0, 0, 0, 0, 0x20, 0}, {}, 32, 0,
                    Bytes{0, 0, 0, 64, 0, 50, 0, 50, 0x02, 0x58, 0x02, 0x58, 0, 1, 0, 1,
                          0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1, 1, 0}},
        CommandCase{"ReadLineInfoWithoutWindow", {0x28, 0, 0x80, 0, 0, 0, 0, 0, 16, 0}, {}, 16, 2, {}},
        CommandCase{"ReadUnknownDataType", {0x28, 0, 0x42, 0, 0, 0, 0, 0, 8, 0}, {}, 8, 2, {}},
        CommandCase{"GetDataBufferStatusIdle", {0x34, 0, 0, 0, 0, 0, 0, 0, 12, 0}, {}, 12, 0,
                    Bytes{0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        CommandCase{"GetCounter", {0xE0, 0, 0x86, 0, 0, 0, 0, 0, 14, 0}, {}, 14, 0, Zeros(14)},
        CommandCase{"GetKeyEventNone", {0xE0, 0, 0xB2, 0, 0, 0, 0, 0, 2, 0}, {}, 2, 0, Zeros(2)},
        CommandCase{"VendorReadUnknown", {0xE0, 0, 0x77, 0, 0, 0, 0, 0, 2, 0}, {}, 2, 2, {}},
        CommandCase{"ScanWithoutWindow", {0x1B, 0, 0, 0, 0, 0}, {}, 0, 2, {}},
        CommandCase{"SetWindowEmpty", {0x24, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {}, 0, 0, {}},
        CommandCase{"SetWindowFront", testing::SetWindowCdb(72), testing::WindowList({}), 0, 0, {}},
        CommandCase{"SetWindowBadBlockLength", testing::SetWindowCdb(72),
                    [] { auto w = testing::WindowList({}); w[7] = 0x30; return w; }(), 0, 2, {}},
        CommandCase{"SendGammaFrontGray", {0x2A, 0, 0x03, 0, 0, 4, 0x00, 0x01, 0x0A, 0}, Gamma266(), 0, 0, {}},
        CommandCase{"SendGammaBadChannel", {0x2A, 0, 0x05, 0, 0, 9, 0x00, 0x01, 0x0A, 0}, Gamma266(), 0, 2, {}},
        CommandCase{"StopAdf", {0xE1, 0, 0x8B, 0, 0, 0, 0, 0, 0, 0}, {}, 0, 0, {}},
        CommandCase{"SetColor", {0xE1, 0, 0xB4, 0, 0, 0, 0, 0, 4, 0}, Bytes{0xFF, 0xFF, 0x00, 0x1F}, 0, 0, {}},
        CommandCase{"SetLcdImage", {0xE1, 0, 0xB5, 0, 0, 0, 0, 0x0A, 0x00, 0}, Bytes(2560, 0x5A), 0, 0, {}},
        CommandCase{"SetLcdImageTooShort", {0xE1, 0, 0xB5, 0, 0, 0, 0, 0x09, 0xFF, 0}, Bytes(2559, 0x5A), 0, 2, {}},
        CommandCase{"UnknownOperationCode", {0xC5, 0, 0, 0, 0, 0}, {}, 0, 2, {}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });
// clang-format on

// After a CHECK CONDITION the sense says why, once.
TEST(Sense, RequestSenseAfterCheckConditionGivesTheReasonThenClears) {
  struct Case {
    Bytes cdb;
    std::size_t dataIn;
    std::uint8_t key, asc, ascq;
  } cases[] = {
      {{0xC5, 0, 0, 0, 0, 0}, 0, 5, 0x20, 0x00},                 // unknown command
      {{0x28, 0, 0x42, 0, 0, 0, 0, 0, 8, 0}, 8, 5, 0x24, 0x00},  // unknown data type
      {{0x1B, 0, 0, 0, 0, 0}, 0, 5, 0x2C, 0x02},                 // SCAN without window
      {{0xE1, 0, 0xB4, 0, 0, 0, 0, 0, 3, 0}, 0, 5, 0x1A, 0x00},  // colours of 3 bytes
  };
  for (const Case& c : cases) {
    EmulatedScanner scanner;
    Bytes out;
    if (c.cdb[0] == 0xE1) out = Bytes(3, 0);
    EXPECT_EQ(RunCommand(scanner, c.cdb, out, c.dataIn).status, kStatusCheckCondition);
    const Exchange sense = RunCommand(scanner, {0x03, 0, 0, 0, 18, 0}, {}, 18);
    ASSERT_TRUE(sense.good());
    Bytes expected{0x70, 0, c.key, 0, 0, 0, 0, 10, 0, 0, 0, 0, c.asc, c.ascq, 0, 0, 0, 0};
    EXPECT_EQ(sense.data, expected) << int(c.cdb[0]);
    EXPECT_EQ(testing::RequestSense(scanner), Sense{}) << "sense is reported once";
  }
}

TEST(Sense, ANewCommandClearsTheSenseOfTheLastOne) {
  EmulatedScanner scanner;
  EXPECT_EQ(RunCommand(scanner, {0xC5, 0, 0, 0, 0, 0}).status, kStatusCheckCondition);
  EXPECT_TRUE(RunCommand(scanner, {0, 0, 0, 0, 0, 0}).good());
  EXPECT_EQ(testing::RequestSense(scanner), Sense{});
}

TEST(Busy, AnswersBusyTheConfiguredNumberOfTimesThenGood) {
  EmulatedScanner scanner;
  scanner.InjectFault({.kind = FaultKind::Busy, .count = 2});
  EXPECT_EQ(RunCommand(scanner, {0, 0, 0, 0, 0, 0}).status, kStatusBusy);
  // A command that reads data is answered BUSY with an empty data packet
  // in front, never with a bare status.
  const Exchange inquiry = RunCommand(scanner, {0x12, 0, 0, 0, 0x60, 0}, {}, 96);
  EXPECT_EQ(inquiry.status, kStatusBusy);
  Bytes expected = DataHeader(0);
  Bytes busy = kGoodStatus;
  busy[15] = kStatusBusy;
  expected.insert(expected.end(), busy.begin(), busy.end());
  EXPECT_EQ(inquiry.dataPhase, expected);
  EXPECT_TRUE(RunCommand(scanner, {0x12, 0, 0, 0, 0x60, 0}, {}, 96).good());
  EXPECT_TRUE(RunCommand(scanner, {0, 0, 0, 0, 0, 0}).good());
}

// The host runs a command whose CDB asks for no data without a data phase:
// its first read is the status packet's, so no data packet may come first.
TEST(Transport, ACommandThatAsksForNoDataIsAnsweredWithTheStatusAlone) {
  EmulatedScanner scanner;
  scanner.LoadSheets(1);
  ASSERT_TRUE(RunCommand(scanner, testing::SetWindowCdb(72), testing::WindowList({})).good());
  ASSERT_TRUE(RunCommand(scanner, {0x1B, 0, 0, 0, 0, 0}).good());
  const struct {
    const char* name;
    Bytes cdb;
  } cases[] = {
      {"REQUEST SENSE", {0x03, 0, 0, 0, 0, 0}},
      {"INQUIRY", {0x12, 0, 0, 0, 0, 0}},
      {"READ of image data", {0x28, 0, 0x00, 0, 0, 0, 0, 0, 0, 0}},
      {"READ of the document status", {0x28, 0, 0x81, 0, 0, 0, 0, 0, 0, 0}},
      {"GET DATA BUFFER STATUS", {0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"GET COUNTER", {0xE0, 0, 0x86, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Exchange x = RunCommand(scanner, c.cdb);
    EXPECT_EQ(x.statusPacket, kGoodStatus);
    // Nothing of the answer is left behind for a later read.
    std::uint8_t rest[4];
    EXPECT_EQ(scanner.BulkIn(rest, sizeof rest).status, TransferStatus::NoResponse);
  }
  // BUSY likewise.
  scanner.InjectFault({.kind = FaultKind::Busy, .count = 1});
  EXPECT_EQ(RunCommand(scanner, {0x12, 0, 0, 0, 0, 0}).status, kStatusBusy);
}

TEST(Transport, AReadReturnsAtMostTheRestOfTheCurrentChunk) {
  EmulatedScanner scanner;
  const Bytes cdb{0x12, 0, 0, 0, 0x60, 0};
  const auto command = MakeCommandPacket(cdb.data(), cdb.size());
  ASSERT_EQ(scanner.BulkOut(command.data(), command.size()).bytes, 24u);
  // The answer is one chunk: data packet (108 bytes) + status (16).
  std::uint8_t buf[200];
  Bytes got;
  for (std::size_t ask : {5u, 10u, 93u}) {
    const TransferResult r = scanner.BulkIn(buf, ask);
    ASSERT_EQ(r.status, TransferStatus::Ok);
    EXPECT_EQ(r.bytes, ask);
    got.insert(got.end(), buf, buf + r.bytes);
  }
  TransferResult r = scanner.BulkIn(buf, sizeof buf);
  EXPECT_EQ(r.bytes, 16u) << "the rest of the chunk, not more";
  got.insert(got.end(), buf, buf + r.bytes);
  Bytes expected = DataHeader(96);
  const Bytes inquiry = Inquiry96();
  expected.insert(expected.end(), inquiry.begin(), inquiry.end());
  expected.insert(expected.end(), kGoodStatus.begin(), kGoodStatus.end());
  EXPECT_EQ(got, expected);
  EXPECT_EQ(scanner.BulkIn(buf, sizeof buf).status, TransferStatus::NoResponse);
}

TEST(Transport, PacketsMayArriveInPieces) {
  EmulatedScanner scanner;
  const Bytes cdb{0xE1, 0, 0xB4, 0, 0, 0, 0, 0, 4, 0};
  const auto command = MakeCommandPacket(cdb.data(), cdb.size());
  const Bytes colours{0x00, 0x1F, 0xFF, 0xFF};
  auto data = MakeDataPacket(colours.data(), colours.size());
  Bytes stream(command.begin(), command.end());
  stream.insert(stream.end(), data.begin(), data.end());
  for (std::size_t i = 0; i < stream.size(); i += 7) {
    const std::size_t n = std::min<std::size_t>(7, stream.size() - i);
    ASSERT_EQ(scanner.BulkOut(stream.data() + i, n).bytes, n);
  }
  std::uint8_t status[16];
  ASSERT_EQ(scanner.BulkIn(status, 16).bytes, 16u);
  EXPECT_EQ(Bytes(status, status + 16), kGoodStatus);
  EXPECT_EQ(scanner.LcdColors(), (std::pair<std::uint16_t, std::uint16_t>{0x001F, 0xFFFF}));
}

TEST(Transport, AMalformedPacketHaltsTheOutPipeUntilReset) {
  EmulatedScanner scanner;
  Bytes junk(24, 0x11);
  EXPECT_EQ(scanner.BulkOut(junk.data(), junk.size()).status, TransferStatus::Stalled);
  const Bytes tur{0, 0, 0, 0, 0, 0};
  const auto command = MakeCommandPacket(tur.data(), tur.size());
  EXPECT_EQ(scanner.BulkOut(command.data(), command.size()).status, TransferStatus::Stalled);
  EXPECT_TRUE(scanner.ResetPipe(kPipeBulkOut));
  EXPECT_TRUE(RunCommand(scanner, tur).good());
}

TEST(Transport, ANewCommandDropsTheUnreadRestOfTheLastAnswer) {
  EmulatedScanner scanner;
  const Bytes inquiry{0x12, 0, 0, 0, 0x60, 0};
  const auto command = MakeCommandPacket(inquiry.data(), inquiry.size());
  scanner.BulkOut(command.data(), command.size());
  std::uint8_t buf[10];
  scanner.BulkIn(buf, sizeof buf);
  EXPECT_TRUE(RunCommand(scanner, {0, 0, 0, 0, 0, 0}).good());
}

TEST(TestUnitReady, ReportsReadyBecomingReadyAndDoorOpen) {
  ScannerConfig config;
  config.becomingReadyCount = 2;
  EmulatedScanner scanner(config);
  const Bytes tur{0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(RunCommand(scanner, tur).status, kStatusCheckCondition);
    EXPECT_EQ(testing::RequestSense(scanner), sense::kBecomingReady);
  }
  EXPECT_TRUE(RunCommand(scanner, tur).good());
  scanner.SetCoverOpen(true);
  EXPECT_EQ(RunCommand(scanner, tur).status, kStatusCheckCondition);
  EXPECT_EQ(testing::RequestSense(scanner), sense::kDoorOpen);
  scanner.SetCoverOpen(false);
  EXPECT_TRUE(RunCommand(scanner, tur).good());
}

TEST(SetWindow, StoresFrontAndBackAndAnEmptyListReleasesThem) {
  EmulatedScanner scanner;
  testing::WindowSpec front{.dpi = 200, .width = 10176, .length = 13200, .bitsPerPixel = 24};
  testing::WindowSpec back = front;
  back.id = kWindowBack;
  back.bitsPerPixel = 8;
  for (const auto& spec : {front, back})
    ASSERT_TRUE(RunCommand(scanner, testing::SetWindowCdb(72), testing::WindowList(spec)).good());
  ASSERT_TRUE(scanner.Window(false).has_value());
  ASSERT_TRUE(scanner.Window(true).has_value());
  EXPECT_EQ(scanner.Window(false)->bitsPerPixel, 24);
  EXPECT_EQ(scanner.Window(true)->bitsPerPixel, 8);

  // Line information: pixels per line and lines of each window.
  for (bool side : {false, true}) {
    const Exchange x = RunCommand(
        scanner, {0x28, 0, 0x80, 0, 0, static_cast<std::uint8_t>(side ? 0x80 : 0), 0, 0, 16, 0}, {},
        16);
    ASSERT_TRUE(x.good());
    EXPECT_EQ(x.data, (Bytes{0, 0, 0x06, 0xA0, 0, 0, 0x08, 0x98, 0, 0, 0, 0, 0, 0, 0, 0}));
  }

  ASSERT_TRUE(RunCommand(scanner, {0x24, 0, 0, 0, 0, 0, 0, 0, 0, 0}).good());
  EXPECT_FALSE(scanner.Window(false).has_value());
  EXPECT_FALSE(scanner.Window(true).has_value());
}

TEST(SetWindow, RefusesWindowsTheScannerCannotScan) {
  struct Case {
    testing::WindowSpec spec;
    Sense sense;
  } cases[] = {
      {{.dpi = 1200}, sense::kInvalidFieldInParameters},
      {{.bitsPerPixel = 4}, sense::kInvalidFieldInParameters},
      {{.bitsPerPixel = 1, .compression = kCompressionJpeg}, sense::kInvalidFieldInParameters},
      {{.bitsPerPixel = 8, .compression = kCompressionMmr}, sense::kInvalidFieldInParameters},
      {{.width = 20000}, sense::kOutOfScanningArea},
      {{.length = 20000}, sense::kOutOfScanningArea},
  };
  for (const Case& c : cases) {
    EmulatedScanner scanner;
    EXPECT_EQ(RunCommand(scanner, testing::SetWindowCdb(72), testing::WindowList(c.spec)).status,
              kStatusCheckCondition);
    EXPECT_EQ(testing::RequestSense(scanner), c.sense);
    EXPECT_FALSE(scanner.Window(false).has_value());
  }
  // Long paper mode allows the long window.
  EmulatedScanner scanner;
  EXPECT_TRUE(RunCommand(scanner, testing::SetWindowCdb(72),
                         testing::WindowList({.length = 20000, .documentSize = 0x20}))
                  .good());
}

TEST(KeyEvents, EachEventIsOneReplyWithTheMoreFlagWhileOthersWait) {
  EmulatedScanner scanner;
  const struct {
    PanelKey key;
    KeyAction action;
    std::uint8_t byte;
  } events[] = {{PanelKey::Up, KeyAction::Press, 0x00},
                {PanelKey::Down, KeyAction::Release, 0x50},
                {PanelKey::Simplex, KeyAction::Held, 0xA0},
                {PanelKey::Duplex, KeyAction::Reset, 0xF0}};
  for (const auto& e : events) scanner.QueueKeyEvent(e.key, e.action);
  const Bytes cdb{0xE0, 0, 0xB2, 0, 0, 0, 0, 0, 2, 0};
  for (std::size_t i = 0; i < std::size(events); ++i) {
    const Exchange x = RunCommand(scanner, cdb, {}, 2);
    ASSERT_TRUE(x.good());
    const std::uint8_t header = i + 1 < std::size(events) ? 0x81 : 0x01;
    EXPECT_EQ(x.data, (Bytes{header, events[i].byte}));
  }
  EXPECT_EQ(RunCommand(scanner, cdb, {}, 2).data, (Bytes{0, 0}));
}

TEST(Counter, CountsEverySheetFed) {
  ScannerConfig config;
  config.counter = 0x01020304;
  EmulatedScanner scanner(config);
  const Exchange x = RunCommand(scanner, {0xE0, 0, 0x86, 0, 0, 0, 0, 0, 14, 0}, {}, 14);
  EXPECT_EQ(x.data, (Bytes{1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// ---- firmware -----------------------------------------------------------

Bytes FirmwareImage(const std::string& banner) {
  Bytes image(kFirmwareSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
  std::copy(banner.begin(), banner.end(), image.begin() + 0x500);
  return image;
}

Exchange SendBlock(EmulatedScanner& scanner, std::uint32_t offset, const std::uint8_t* block,
                   std::uint16_t length) {
  Bytes cdb{0x3B, 0x05, 0, 0, 0, 0, 0, 0, 0, 0};
  PutBE32(&cdb[2], offset);
  PutBE16(&cdb[7], length);
  return RunCommand(scanner, cdb, length ? Bytes(block, block + length) : Bytes{});
}

std::string InquiryRevision(EmulatedScanner& scanner) {
  const Exchange x = RunCommand(scanner, {0x12, 0, 0, 0, 0x60, 0}, {}, 96);
  return std::string(x.data.begin() + 32, x.data.begin() + 36);
}

TEST(Firmware, AWholeImageThenTheEndMarkerInstallsItsRevision) {
  struct Case {
    std::string banner;
    std::string revision;
  } cases[] = {{"QBK24 scanner firmware T.57 built for the K24 family", "T.57"},
               {"loader 1.00, firmware T.58", "T.58"},
               {"firmware 2.05 (build 12.345)", "2.05"},
               {"no revision text in this banner", "T.55"}};
  for (const Case& c : cases) {
    EmulatedScanner scanner;
    EXPECT_EQ(InquiryRevision(scanner), "T.50");
    const Bytes image = FirmwareImage(c.banner);
    for (std::uint32_t offset = 0; offset < kFirmwareSize; offset += 8192)
      ASSERT_TRUE(SendBlock(scanner, offset, image.data() + offset, 8192).good()) << offset;
    EXPECT_EQ(InquiryRevision(scanner), "T.50") << "not before the end marker";
    ASSERT_TRUE(SendBlock(scanner, 0, nullptr, 0).good());
    EXPECT_EQ(InquiryRevision(scanner), c.revision);
    EXPECT_EQ(scanner.FirmwareRevision(), c.revision);
  }
}

TEST(Firmware, AnIncompleteOrDisorderedDownloadChangesNothing) {
  const Bytes image = FirmwareImage("T.60");
  {
    EmulatedScanner scanner;
    ASSERT_TRUE(SendBlock(scanner, 0, image.data(), 8192).good());
    EXPECT_EQ(SendBlock(scanner, 16384, image.data() + 16384, 8192).status, kStatusCheckCondition);
    EXPECT_EQ(testing::RequestSense(scanner), sense::kInvalidFieldInCdb);
    EXPECT_EQ(SendBlock(scanner, 0, nullptr, 0).status, kStatusCheckCondition);
    EXPECT_EQ(InquiryRevision(scanner), "T.50");
  }
  {
    EmulatedScanner scanner;
    for (std::uint32_t offset = 0; offset < kFirmwareSize - 8192; offset += 8192)
      ASSERT_TRUE(SendBlock(scanner, offset, image.data() + offset, 8192).good());
    EXPECT_EQ(SendBlock(scanner, 0, nullptr, 0).status, kStatusCheckCondition);
    EXPECT_EQ(testing::RequestSense(scanner), sense::kInvalidFieldInParameters);
    EXPECT_EQ(InquiryRevision(scanner), "T.50");
  }
}

TEST(PacketLog, RecordsEveryPacketInAndOutAsHex) {
  EmulatedScanner scanner;
  RunCommand(scanner, {0, 0, 0, 0, 0, 0});
  const auto entries = scanner.Log().Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(
      FormatLogEntry(entries[0]),
      "OUT command 24: 00 00 00 18 00 01 90 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(FormatLogEntry(entries[1]),
            "IN status 16: 00 00 00 10 00 03 C0 00 00 00 00 00 00 00 00 00");
}

}  // namespace
}  // namespace emulator
