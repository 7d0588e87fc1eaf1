// Injected faults, each with what the host sees of it: the sense of its
// CHECK CONDITION, or the transport condition.
#include <gtest/gtest.h>

#include <vector>

#include "emulator/EmulatedScanner.h"
#include "emulator/testing/HostExchange.h"
#include "emulator/testing/WindowBuilder.h"

namespace emulator {
namespace {

using testing::Exchange;
using testing::RunCommand;
using testing::WindowSpec;
using Bytes = std::vector<std::uint8_t>;

const Bytes kTur{0, 0, 0, 0, 0, 0};
const Bytes kScan{0x1B, 0, 0, 0, 0, 0};
const Bytes kBufferStatus{0x34, 0, 0, 0, 0, 0, 0, 0, 12, 0};

// A simplex 8-bit window of 96 x 50 (4800 bytes a page) with the given
// feature bytes, loaded with three sheets and scanning.
void StartJob(EmulatedScanner& scanner, std::uint8_t features29 = 0, std::uint8_t features38 = 0) {
  scanner.LoadSheets(3);
  WindowSpec w{.dpi = 100,
               .width = 1200,
               .length = 600,
               .bitsPerPixel = 8,
               .features29 = features29,
               .features38 = features38};
  ASSERT_TRUE(RunCommand(scanner, testing::SetWindowCdb(72), testing::WindowList(w)).good());
  ASSERT_TRUE(RunCommand(scanner, kScan).good());
}

Sense Condition(const Sense& s) { return Sense{s.key, s.asc, s.ascq}; }

// Reads the front of the sheets in 1000-byte requests until one fails for
// another reason than a short read or the end of a page; returns how many
// bytes came before and the sense of the failure.
std::pair<std::size_t, Sense> ReadUntilFailure(EmulatedScanner& scanner) {
  std::size_t total = 0;
  for (int i = 0; i < 100; ++i) {
    const Exchange x = RunCommand(scanner, testing::ReadImageCdb(1000, false), {}, 1000);
    total += x.data.size();
    if (x.status == kStatusGood) continue;
    const Sense s = testing::RequestSense(scanner);
    if (s.eom || s.ili) continue;
    return {total, s};
  }
  return {total, Sense{}};
}

TEST(Faults, SheetFaultsStrikeWhereTheyWereSetWithTheirSense) {
  // clang-format off
  struct Case {
    const char* name;
    Fault fault;
    std::uint8_t features29, features38;
    std::size_t bytesBefore;
    Sense sense;
  } cases[] = {
      {"jam at pickup of sheet 1", {.kind = FaultKind::Jam, .sheet = 1}, 0, 0, 4800,
       sense::kJamAtLead},
      {"jam mid-page", {.kind = FaultKind::Jam, .sheet = 0, .offset = 2500, .jamQualifier = 0x07},
       0, 0, 2500, Sense{kKeyMediumError, 0x80, 0x07}},
      {"double feed, detection on", {.kind = FaultKind::DoubleFeed, .sheet = 1}, 0, 0x10, 4800,
       sense::kDoubleFeed},
      {"skew, stop on skew", {.kind = FaultKind::Skew, .sheet = 0, .offset = 100}, 0x10, 0, 100,
       sense::kSkew},
  };
  // clang-format on
  for (const Case& c : cases) {
    EmulatedScanner scanner;
    scanner.InjectFault(c.fault);
    StartJob(scanner, c.features29, c.features38);
    const auto [bytes, sense] = ReadUntilFailure(scanner);
    EXPECT_EQ(bytes, c.bytesBefore) << c.name;
    EXPECT_EQ(Condition(sense), c.sense) << c.name;
    // The feeder has stopped; the faulty sheet is out of the scanner.
    EXPECT_EQ(RunCommand(scanner, testing::ReadImageCdb(1000, false), {}, 1000).status,
              kStatusCheckCondition)
        << c.name;
    EXPECT_EQ(testing::RequestSense(scanner), sense::kNotReady) << c.name;
  }
}

TEST(Faults, DoubleFeedAndSkewNeedTheirDetectionSwitchedOn) {
  for (FaultKind kind : {FaultKind::DoubleFeed, FaultKind::Skew}) {
    EmulatedScanner scanner;
    scanner.InjectFault({.kind = kind, .sheet = 0});
    StartJob(scanner);
    const auto [bytes, sense] = ReadUntilFailure(scanner);
    EXPECT_EQ(bytes, 3u * 4800);
    EXPECT_EQ(Condition(sense), sense::kMediumNotPresent);
  }
}

TEST(Faults, AFaultAtPickupAnswersTheBufferQueryToo) {
  EmulatedScanner scanner;
  scanner.InjectFault({.kind = FaultKind::Jam, .sheet = 0});
  StartJob(scanner);
  EXPECT_EQ(RunCommand(scanner, kBufferStatus, {}, 12).status, kStatusCheckCondition);
  EXPECT_EQ(testing::RequestSense(scanner), sense::kJamAtLead);
}

TEST(Faults, CoverOpenStopsEverythingUntilClosed) {
  EmulatedScanner scanner;
  StartJob(scanner);
  scanner.InjectFault({.kind = FaultKind::CoverOpen});
  for (const auto& [cdb, dataIn] :
       {std::pair{kTur, std::size_t{0}}, std::pair{kScan, std::size_t{0}},
        std::pair{testing::ReadImageCdb(1000, false), std::size_t{1000}},
        std::pair{kBufferStatus, std::size_t{12}}}) {
    EXPECT_EQ(RunCommand(scanner, cdb, {}, dataIn).status, kStatusCheckCondition);
    EXPECT_EQ(testing::RequestSense(scanner), sense::kDoorOpen);
  }
  scanner.SetCoverOpen(false);
  EXPECT_TRUE(RunCommand(scanner, kTur).good());
}

TEST(Faults, NoPaperShowsInTheDocumentStatusAndRefusesTheScan) {
  EmulatedScanner scanner;
  scanner.LoadSheets(2);
  ASSERT_TRUE(RunCommand(scanner, testing::SetWindowCdb(72), testing::WindowList({})).good());
  scanner.InjectFault({.kind = FaultKind::NoPaper});
  EXPECT_EQ(RunCommand(scanner, {0x28, 0, 0x81, 0, 0, 0, 0, 0, 6, 0}, {}, 6).data,
            (Bytes{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(RunCommand(scanner, kScan).status, kStatusCheckCondition);
  EXPECT_EQ(testing::RequestSense(scanner), sense::kMediumNotPresent);
}

TEST(Faults, AStalledInPipeFailsTheTransferUntilResetThenSenseTellsWhy) {
  struct Case {
    Bytes cdb;
    std::size_t dataIn;
    Sense sense;
  } cases[] = {{testing::ReadImageCdb(1000, false), 1000, sense::kImageTransferError},
               {kTur, 0, sense::kDataTransferError}};
  for (const Case& c : cases) {
    EmulatedScanner scanner;
    StartJob(scanner);
    scanner.InjectFault({.kind = FaultKind::StallIn, .opcode = c.cdb[0]});
    EXPECT_TRUE(RunCommand(scanner, {0x12, 0, 0, 0, 0x60, 0}, {}, 96).good())
        << "other commands pass";
    EXPECT_EQ(RunCommand(scanner, c.cdb, {}, c.dataIn).transport, TransferStatus::Stalled);
    std::uint8_t b[16];
    EXPECT_EQ(scanner.BulkIn(b, sizeof b).status, TransferStatus::Stalled);
    EXPECT_TRUE(scanner.ResetPipe(kPipeBulkIn));
    EXPECT_EQ(testing::RequestSense(scanner), c.sense);
    // The aborted read took nothing off the page.
    const auto [bytes, sense] = ReadUntilFailure(scanner);
    EXPECT_EQ(bytes, 3u * 4800);
  }
}

TEST(Faults, AStalledOutPipeRefusesWritesUntilReset) {
  EmulatedScanner scanner;
  scanner.InjectFault({.kind = FaultKind::StallOut});
  EXPECT_EQ(RunCommand(scanner, kTur).transport, TransferStatus::Stalled);
  EXPECT_EQ(RunCommand(scanner, kTur).transport, TransferStatus::Stalled);
  EXPECT_TRUE(scanner.ResetPipe(kPipeBulkOut));
  EXPECT_TRUE(RunCommand(scanner, kTur).good());
}

TEST(Faults, ATimedOutCommandIsSwallowedAndTheNextOneIsAnswered) {
  EmulatedScanner scanner;
  scanner.InjectFault({.kind = FaultKind::Timeout, .opcode = 0x12});
  EXPECT_TRUE(RunCommand(scanner, kTur).good());
  // The sense of an earlier failure does not outlive the swallowed command.
  EXPECT_FALSE(RunCommand(scanner, {0xC0, 0, 0, 0, 0, 0}).good());
  EXPECT_EQ(RunCommand(scanner, {0x12, 0, 0, 0, 0x60, 0}, {}, 96).transport,
            TransferStatus::NoResponse);
  EXPECT_EQ(testing::RequestSense(scanner), Sense{});
  EXPECT_TRUE(RunCommand(scanner, {0x12, 0, 0, 0, 0x60, 0}, {}, 96).good());
  // A swallowed command that carries data takes its data packet along.
  scanner.InjectFault({.kind = FaultKind::Timeout});
  EXPECT_EQ(RunCommand(scanner, {0xE1, 0, 0xB4, 0, 0, 0, 0, 0, 4, 0}, Bytes{1, 2, 3, 4}).transport,
            TransferStatus::NoResponse);
  EXPECT_TRUE(RunCommand(scanner, kTur).good());
}

TEST(Faults, AFaultSetAtAPlaceOfASheetWaitsForTheReadThatReachesIt) {
  // The cover opens mid-page of the second sheet: the READ that gets there
  // ends short, the next one finds the cover open.
  {
    EmulatedScanner scanner;
    scanner.InjectFault(
        {.kind = FaultKind::CoverOpen, .sheet = 1, .offset = 1500, .atPlace = true});
    StartJob(scanner);
    const auto [bytes, sense] = ReadUntilFailure(scanner);
    EXPECT_EQ(bytes, 4800u + 1500u);
    EXPECT_EQ(Condition(sense), sense::kDoorOpen);
  }
  // BUSY from the middle of the first page on, for the commands counted.
  {
    EmulatedScanner scanner;
    scanner.InjectFault(
        {.kind = FaultKind::Busy, .sheet = 0, .offset = 2500, .count = 2, .atPlace = true});
    StartJob(scanner);
    for (int i = 0; i < 2; ++i)
      EXPECT_TRUE(RunCommand(scanner, testing::ReadImageCdb(1000, false), {}, 1000).good());
    const Exchange cut = RunCommand(scanner, testing::ReadImageCdb(1000, false), {}, 1000);
    EXPECT_EQ(cut.data.size(), 500u);
    EXPECT_EQ(cut.status, kStatusCheckCondition);  // ILI: the rest is not buffered yet
    EXPECT_EQ(RunCommand(scanner, kTur).status, kStatusBusy);
    EXPECT_EQ(RunCommand(scanner, kTur).status, kStatusBusy);
    EXPECT_TRUE(RunCommand(scanner, kTur).good());
  }
  // The next READ after the place stalls the IN pipe; other commands pass.
  {
    EmulatedScanner scanner;
    scanner.InjectFault(
        {.kind = FaultKind::StallIn, .sheet = 0, .offset = 1000, .opcode = 0x28, .atPlace = true});
    StartJob(scanner);
    EXPECT_TRUE(RunCommand(scanner, kTur).good());
    EXPECT_TRUE(RunCommand(scanner, testing::ReadImageCdb(1000, false), {}, 1000).good());
    EXPECT_TRUE(RunCommand(scanner, kBufferStatus, {}, 12).good());
    EXPECT_EQ(RunCommand(scanner, testing::ReadImageCdb(1000, false), {}, 1000).transport,
              TransferStatus::Stalled);
  }
  // A place the sheet never reaches leaves with the sheet.
  {
    EmulatedScanner scanner;
    scanner.InjectFault(
        {.kind = FaultKind::CoverOpen, .sheet = 0, .offset = 999999, .atPlace = true});
    StartJob(scanner);
    const auto [bytes, sense] = ReadUntilFailure(scanner);
    EXPECT_EQ(bytes, 3u * 4800);
    EXPECT_EQ(Condition(sense), sense::kMediumNotPresent);
  }
}

TEST(Faults, UnplugMidPageDisconnectsAndTellsTheObserver) {
  EmulatedScanner scanner;
  std::vector<bool> seen;
  scanner.SetConnectionObserver([&](bool connected) { seen.push_back(connected); });
  scanner.InjectFault({.kind = FaultKind::Unplug, .sheet = 0, .offset = 2000});
  StartJob(scanner);
  EXPECT_TRUE(RunCommand(scanner, testing::ReadImageCdb(1000, false), {}, 1000).good());
  EXPECT_TRUE(RunCommand(scanner, testing::ReadImageCdb(1000, false), {}, 1000).good());
  EXPECT_EQ(RunCommand(scanner, testing::ReadImageCdb(1000, false), {}, 1000).transport,
            TransferStatus::Disconnected);
  EXPECT_FALSE(scanner.IsConnected());
  EXPECT_EQ(seen, std::vector<bool>{false});
  EXPECT_EQ(RunCommand(scanner, kTur).transport, TransferStatus::Disconnected);
  EXPECT_FALSE(scanner.ResetPipe(kPipeBulkIn));
  EXPECT_FALSE(scanner.CancelIo(kPipeBulkIn));

  // Plugged in again: powered on afresh, windows gone, the feeder as it was.
  scanner.Replug();
  EXPECT_EQ(seen, (std::vector<bool>{false, true}));
  EXPECT_TRUE(RunCommand(scanner, kTur).good());
  EXPECT_FALSE(scanner.Window(false).has_value());
  EXPECT_EQ(scanner.SheetsInFeeder(), 2u);
}

}  // namespace
}  // namespace emulator
