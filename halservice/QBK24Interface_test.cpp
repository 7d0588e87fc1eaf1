#include "halservice/QBK24Interface.h"

#include "diag/RecordingLogSink.h"
#include "halservice/testing/EmulatedScannerFixture.h"
#include "platform/usb/testing/FakeUsbDevice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <algorithm>
#include <future>
#include <utility>

#include "platform/kernel/TestClock.h"

namespace {

using hal::testing::Bytes;
using hal::testing::EmulatedScannerFixture;

Bytes CommandPacketOf(Bytes cdb)
{
    Bytes packet = {0x00, 0x00, 0x00, 0x18, 0x00, 0x01, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00};
    cdb.resize(12);
    packet.insert(packet.end(), cdb.begin(), cdb.end());
    return packet;
}

class QBK24TransportTest : public EmulatedScannerFixture {};

TEST_F(QBK24TransportTest, WireBytesOfNoDataReadAndWriteCommands)
{
    Start();
    const struct {
        const char* name;
        std::function<bool(CQBK24Interface&)> run;
        std::vector<Bytes> commands;
        std::vector<Bytes> data;
        std::vector<std::size_t> inRequests; // data phase (data + 12), then status
    } cases[] = {
        {"TEST UNIT READY",
         [](CQBK24Interface& i) { return i.TestUnitReady(); },
         {CommandPacketOf({0x00, 0, 0, 0, 0, 0})},
         {},
         {16}},
        {"INQUIRY",
         [](CQBK24Interface& i) {
             InquiryData inquiry{};
             return i.Inquiry(&inquiry) && std::memcmp(inquiry.byVendorID, "QUILLBOX", 8) == 0;
         },
         {CommandPacketOf({0x12, 0, 0, 0, 0x60, 0})},
         {},
         {108, 16}},
        {"SET COLOR",
         [](CQBK24Interface& i) { return i.SetColor(0, 0, 255, 255, 255, 255); },
         {CommandPacketOf({0xE1, 0, 0xB4, 0, 0, 0, 0, 0x00, 0x04, 0})},
         {{0x00, 0x00, 0x00, 0x10, 0x00, 0x02, 0xB0, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x1F}},
         {16}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearLogs();
        EXPECT_TRUE(c.run(m_interface));
        EXPECT_EQ(Sent("command"), c.commands);
        EXPECT_EQ(Sent("data"), c.data);
        EXPECT_EQ(m_backend->InRequests(), c.inRequests);
    }
    EXPECT_EQ(m_scanner->LcdColors(), (std::pair<std::uint16_t, std::uint16_t>{0xFFFF, 0x001F}));
}

// A READ that the scanner ends early carries the status packet in the same
// transfer, wholly, in part or (when the data filled the request) not at all.
TEST_F(QBK24TransportTest, ShortReadsWithTheStatusInsideTheData)
{
    constexpr DWORD kAsked = 8192;
    const struct {
        DWORD residue;
        std::vector<std::size_t> inRequests; // READ data, READ status, then the automatic sense
    } cases[] = {
        {0, {kAsked + 12, 16}},         // all data: status read on its own
        {10, {kAsked + 12, 6, 30, 16}}, // 10 status bytes came with the data
        {16, {kAsked + 12, 30, 16}},    // the whole status filled the request exactly
        {1000, {kAsked + 12, 30, 16}},  // the whole status, well inside
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "residue " << c.residue);
        emulator::ScannerConfig config;
        config.maxBytesPerRead = c.residue ? kAsked - c.residue : 0;
        Start(config);
        StartScan();

        Bytes buffer(kAsked, 0xEE);
        bool endOfPage = true, shortTransfer = true;
        DWORD bytesRead = 0;
        ASSERT_TRUE(m_interface.ReadImageData(kAsked, buffer.data(), false, &endOfPage, &bytesRead, &shortTransfer, 0));
        EXPECT_EQ(bytesRead, kAsked - c.residue);
        EXPECT_EQ(shortTransfer, c.residue != 0);
        EXPECT_FALSE(endOfPage);
        EXPECT_EQ(m_backend->InRequests(), c.inRequests);
        // No status byte was taken for image data.
        EXPECT_TRUE(std::all_of(buffer.begin() + bytesRead, buffer.end(), [](BYTE b) { return b == 0xEE; }));
    }
}

TEST_F(QBK24TransportTest, CheckConditionFetchesTheSenseOnceAndCachesItForTheNextRequestSense)
{
    Start();
    const BYTE unknown[6] = {0xC0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(m_interface.DoSCSICommand(unknown, sizeof unknown, nullptr, 0, kDirectionNone));
    EXPECT_EQ(Opcodes(), (Bytes{0xC0, 0x03})); // exactly one automatic REQUEST SENSE
    EXPECT_EQ(m_interface.TranslateCachedSense(), 17);
    EXPECT_EQ(m_interface.GetErrorText(), u"INVALID COMMAND OPERATION CODE");

    SenseData cached{};
    m_interface.GetSense(&cached);
    EXPECT_EQ(cached.SenseKey & kSenseKeyMask, 5);
    EXPECT_EQ(cached.SenseCode, 0x20);

    // Answered from the cache: no I/O, the same bytes, and still a failure.
    SenseData explicitSense{};
    EXPECT_FALSE(m_interface.RequestSense(&explicitSense));
    EXPECT_EQ(Opcodes(), (Bytes{0xC0, 0x03}));
    EXPECT_EQ(std::memcmp(&explicitSense, &cached, sizeof cached), 0);

    // Any other command clears the cache; the next REQUEST SENSE goes out.
    EXPECT_TRUE(m_interface.TestUnitReady());
    m_interface.GetSense(&cached);
    const SenseData cleared{};
    EXPECT_EQ(std::memcmp(&cached, &cleared, sizeof cached), 0);
    EXPECT_TRUE(m_interface.RequestSense(&explicitSense));
    EXPECT_EQ(Opcodes(), (Bytes{0xC0, 0x03, 0x00, 0x03}));
}

TEST_F(QBK24TransportTest, BusyIsResentUntilTheScannerTakesTheCommand)
{
    Start();
    const struct {
        const char* name;
        std::uint32_t busy;
        std::function<bool(CQBK24Interface&)> run;
    } cases[] = {
        {"no data, busy once", 1, [](CQBK24Interface& i) { return i.TestUnitReady(); }},
        {"read, busy three times", 3,
         [](CQBK24Interface& i) {
             InquiryData inquiry{};
             return i.Inquiry(&inquiry) && std::memcmp(inquiry.byProductID, "K24", 3) == 0;
         }},
        {"write, busy twice", 2, [](CQBK24Interface& i) { return i.SetColor(1, 2, 3, 4, 5, 6); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearLogs();
        emulator::Fault busy;
        busy.kind = emulator::FaultKind::Busy;
        busy.count = c.busy;
        m_scanner->InjectFault(busy);
        EXPECT_TRUE(c.run(m_interface));
        const std::vector<Bytes> commands = Sent("command");
        ASSERT_EQ(commands.size(), c.busy + 1);
        for (const Bytes& command : commands)
            EXPECT_EQ(command, commands.front());
        const std::vector<Bytes> data = Sent("data");
        for (const Bytes& packet : data)
            EXPECT_EQ(packet, data.front());
    }
}

// Runs a command on another thread while the clock moves on by `step`
// whenever a thread waits with a deadline (the pause between resends; a
// transfer wait may be moved on too, which only makes the command older).
// Returns the command's result and the time it took on the clock.
std::pair<bool, ULONGLONG> RunOnMovingClock(plat::TestClock& clock, std::function<bool()> command, ULONGLONG step)
{
    const ULONGLONG start = clock.NowMs();
    auto running = std::async(std::launch::async, std::move(command));
    while (running.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        if (clock.WaitForSleepers(1, 20))
            clock.Advance(step);
    }
    return {running.get(), clock.NowMs() - start};
}

TEST_F(QBK24TransportTest, AScannerBusyForEverFailsTheCommandWithItsSenseOnceTheBoundIsReached)
{
    plat::ScopedTestClock clock;
    Start();
    const ULONGLONG bound = ULONGLONG{CQBK24Interface::kBusyLimitTimeouts} * CQBK24Interface::kDefaultTimeoutMs;
    // A long BUSY recovers: 1000 answers take about 13 s on a real scanner.
    emulator::Fault busy;
    busy.kind = emulator::FaultKind::Busy;
    busy.count = 1000;
    m_scanner->InjectFault(busy);
    const auto [recovered, recoveryTime] = RunOnMovingClock(
        *clock, [this] { return m_interface.TestUnitReady(); }, 10);
    EXPECT_TRUE(recovered);
    EXPECT_LT(recoveryTime, bound);
    EXPECT_EQ(Opcodes().size(), 1001u);

    // For ever: the command fails at the bound; its automatic REQUEST SENSE
    // shares the bound, so it is tried once.
    ClearLogs();
    busy.count = 0xFFFFFFFF;
    m_scanner->InjectFault(busy);
    const auto [result, failureTime] = RunOnMovingClock(
        *clock, [this] { return m_interface.TestUnitReady(); }, 1000);
    EXPECT_FALSE(result);
    EXPECT_GE(failureTime, bound);
    EXPECT_LT(failureTime, bound + 5000);
    const Bytes codes = Opcodes();
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes.back(), 0x03);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x03), 1);
    // The failure is a CHECK CONDITION whose sense is answered from the cache.
    EXPECT_EQ(m_interface.GetLastStatus(), 2);
    ClearLogs();
    SenseData sense{};
    EXPECT_FALSE(m_interface.RequestSense(&sense));
    EXPECT_TRUE(Sent("command").empty());
}

TEST_F(QBK24TransportTest, RequestsThatCannotBePutIntoPacketsAreRefusedWithoutIO)
{
    Start();
    const BYTE cdb[13] = {0x00};
    BYTE data[4] = {};
    const struct {
        const char* name;
        const BYTE* cdb;
        DWORD cdbLength;
        DWORD dataLength;
        DWORD direction;
    } cases[] = {
        {"no command block", nullptr, 6, 0, kDirectionNone},
        {"empty command block", cdb, 0, 0, kDirectionNone},
        {"command block over 12 bytes", cdb, 13, 0, kDirectionNone},
        {"packet size overflows", cdb, 10, 0xFFFFFFF4u, kDirectionRead},
        {"unknown direction", cdb, 6, 4, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(m_interface.DoSCSICommand(c.cdb, c.cdbLength, data, c.dataLength, c.direction));
    }
    EXPECT_TRUE(Sent("command").empty());
    EXPECT_TRUE(m_interface.TestUnitReady());
}

// The command phase's write recovers from a stalled pipe by itself; a
// failed data or status phase resets both pipes, fetches the sense and
// leaves the scanner ready for the next command.
TEST_F(QBK24TransportTest, TransportFaults)
{
    Start();
    const struct {
        const char* name;
        emulator::FaultKind fault;
        int opcode;
        std::function<bool(CQBK24Interface&)> run;
        bool result;
        ScannerErrorCode sense;
    } cases[] = {
        {"OUT pipe stalls on the command", emulator::FaultKind::StallOut, -1,
         [](CQBK24Interface& i) { return i.TestUnitReady(); }, true, 0},
        {"IN pipe stalls in the data phase", emulator::FaultKind::StallIn, 0x12,
         [](CQBK24Interface& i) {
             InquiryData inquiry{};
             return i.Inquiry(&inquiry);
         },
         false, 24},
        {"IN pipe stalls in the status phase", emulator::FaultKind::StallIn, 0x00,
         [](CQBK24Interface& i) { return i.TestUnitReady(); }, false, 24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        emulator::Fault fault;
        fault.kind = c.fault;
        fault.opcode = c.opcode;
        m_scanner->InjectFault(fault);
        EXPECT_EQ(c.run(m_interface), c.result);
        EXPECT_EQ(m_interface.TranslateCachedSense(), c.sense);
        EXPECT_TRUE(m_interface.TestUnitReady());
    }
}

TEST_F(QBK24TransportTest, ACommandTheScannerNeverAnswersTimesOut)
{
    plat::ScopedTestClock clock;
    Start();
    emulator::Fault swallow;
    swallow.kind = emulator::FaultKind::Timeout;
    m_scanner->InjectFault(swallow);

    auto command = std::async(std::launch::async, [this] { return m_interface.TestUnitReady(); });
    ASSERT_TRUE(clock->WaitForSleepers(1));
    clock->Advance(CQBK24Interface::kDefaultTimeoutMs);
    ASSERT_EQ(command.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_FALSE(command.get());
    EXPECT_TRUE(m_interface.TestUnitReady());
}

TEST_F(QBK24TransportTest, CommandDumpsGoToTheDataLogWhenItsTraceBitIsSet)
{
    Start();
    RecordingLogSink sink;
    m_interface.SetLogInterface(&sink);
    LogMaskCell* dataMask = sink.RegisterLogName(u"QBK24 Device.Data");
    dataMask->store(LOG_TRACE);

    EXPECT_TRUE(m_interface.TestUnitReady());
    InquiryData inquiry{};
    EXPECT_TRUE(m_interface.Inquiry(&inquiry));
    EXPECT_TRUE(m_interface.SetColor(0, 0, 255, 255, 255, 255));
    dataMask->store(0);
    m_interface.SetLogInterface(nullptr);

    std::vector<std::u16string> dumps;
    for (const LogRecord& record : sink.records) {
        EXPECT_EQ(record.logName, u"QBK24 Device.Data");
        EXPECT_EQ(record.level, LOG_TRACE);
        if (record.text.find(u"Sending Command") != std::u16string::npos)
            dumps.push_back(record.text);
    }
    ASSERT_EQ(dumps.size(), 4u);
    EXPECT_EQ(dumps[0], u"Before Sending Command:\n(No Data)\nCmd [6]: 0x00,0x00,0x00,0x00,0x00,0x00\n");
    EXPECT_EQ(dumps[1], u"Before Sending Command:\n(Read Data)\nCmd [6]: 0x12,0x00,0x00,0x00,0x60,0x00\n");
    EXPECT_EQ(dumps[2].rfind(u"After Sending Command:\n(Read Data)\nCmd [6]: 0x12,0x00,0x00,0x00,0x60,0x00\n"
                             u"Data [96]: ",
                             0),
              0u);
    EXPECT_EQ(dumps[3], u"Before Sending Command:\n(Write Data)\nCmd [10]: "
                        u"0xE1,0x00,0xB4,0x00,0x00,0x00,0x00,0x00,0x04,0x00\nData [4]:0xFF,0xFF,0x00,0x1F\n");
}

// The command's trace lines, its errors and warnings among them, in the
// order they are written, on each of its paths: one entry line, one exit
// line, and between them those of the nested automatic REQUEST SENSE.
TEST_F(QBK24TransportTest, EachPathOfACommandWritesItsTraceLinesInOrder)
{
    Start();
    const BYTE testUnitReady[6] = {0x00, 0, 0, 0, 0, 0};
    const BYTE unknown[6] = {0xC0, 0, 0, 0, 0, 0};
    const BYTE read[10] = {0x28, 0, 0, 0, 0, 0, 0, 0, 4, 0};
    BYTE data[4] = {};
    const std::u16string entered = u"DoSCSICommand Entered.";
    const std::u16string good = u"Status Byte: 00";
    const std::u16string exitTrue = u"DoSCSICommand Exit. [TRUE]";
    const std::u16string exitFalse = u"DoSCSICommand Exit. [FALSE]";
    const struct {
        const char* name;
        std::function<void(CQBK24Interface&, emulator::EmulatedScanner&)> run;
        std::vector<std::u16string> lines;
    } cases[] = {
        {"a read",
         [](CQBK24Interface& i, emulator::EmulatedScanner&) {
             InquiryData inquiry{};
             i.Inquiry(&inquiry);
         },
         {u"Inquiry Entered", entered, u"Actual bytes transferred = 108", good, exitTrue, u"Inquiry Exit. [TRUE]"}},
        {"a command block that cannot be sent",
         [&](CQBK24Interface& i, emulator::EmulatedScanner&) {
             i.DoSCSICommand(nullptr, 6, nullptr, 0, kDirectionNone);
         },
         {entered, u"DoSCSICommand refused: CDB length 6, direction 0, device bound", exitFalse}},
        {"a data length beyond a packet",
         [&](CQBK24Interface& i, emulator::EmulatedScanner&) {
             i.DoSCSICommand(read, sizeof read, data, 0xFFFFFFF4u, kDirectionRead);
         },
         {entered, u"DoSCSICommand refused: data length 4294967284 does not fit a data packet", exitFalse}},
        {"a direction without data",
         [&](CQBK24Interface& i, emulator::EmulatedScanner&) {
             i.DoSCSICommand(testUnitReady, sizeof testUnitReady, nullptr, 0, kDirectionRead);
         },
         {entered, u"Detected no data condition and incorrect direction flag, correcting", good, exitTrue}},
        {"a check condition, then the cached sense",
         [&](CQBK24Interface& i, emulator::EmulatedScanner&) {
             i.DoSCSICommand(unknown, sizeof unknown, nullptr, 0, kDirectionNone);
             SenseData sense{};
             i.RequestSense(&sense);
         },
         {entered, u"Received a check condition status byte.", u"RequestSense Entered", entered,
          u"Actual bytes transferred = 30", good, exitTrue, u"RequestSense Exit. [TRUE]",
          u"Calling GetLastError(): INVALID COMMAND OPERATION CODE", exitFalse, u"RequestSense Entered", entered,
          exitFalse, u"RequestSense Exit. [FALSE]"}},
        {"busy once",
         [&](CQBK24Interface& i, emulator::EmulatedScanner& scanner) {
             emulator::Fault busy;
             busy.kind = emulator::FaultKind::Busy;
             busy.count = 1;
             scanner.InjectFault(busy);
             i.DoSCSICommand(testUnitReady, sizeof testUnitReady, nullptr, 0, kDirectionNone);
         },
         {entered, u"Status Byte: 08", u"Scanner busy - trying again...", good, exitTrue}},
    };
    RecordingLogSink sink;
    m_interface.SetLogInterface(&sink);
    sink.RegisterLogName(u"QBK24 Device")->store(LOG_ERROR | LOG_WARNING | LOG_TRACE);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sink.records.clear();
        c.run(m_interface, *m_scanner);
        std::vector<std::u16string> lines;
        for (const LogRecord& record : sink.records) {
            if (record.logName == u"QBK24 Device")
                lines.push_back(record.text);
        }
        EXPECT_EQ(lines, c.lines);
    }
    m_interface.SetLogInterface(nullptr);
}

TEST(QBK24BindingTest, OnlySupportedUsbDevicesAreBound)
{
    CQBK24Interface scanner;
    CDevice plain;
    CUSBDevice otherVendor, first, second;
    otherVendor.SetUniqueName(u"\\\\?\\usb#vid_04b8&pid_0def#sn1");
    first.SetUniqueName(u"\\\\?\\usb#vid_0abc&pid_0def#sn1");
    second.SetUniqueName(u"\\\\?\\usb#vid_0abc&pid_0df0#sn2");

    EXPECT_FALSE(scanner.SetDevice(nullptr));
    EXPECT_FALSE(scanner.SetDevice(&plain));
    EXPECT_FALSE(scanner.SetDevice(&otherVendor));
    EXPECT_EQ(scanner.GetDevice(), nullptr);
    EXPECT_TRUE(scanner.SetDevice(&first));
    EXPECT_TRUE(scanner.SetDevice(&otherVendor)); // refused, the bound device stays
    EXPECT_EQ(scanner.GetDevice(), &first);
    EXPECT_TRUE(scanner.SetDevice(&second));
    EXPECT_EQ(scanner.GetDevice(), &second);
    EXPECT_FALSE(scanner.IsSupportedSCSIDevice(nullptr));
}

// A scripted scanner for answers the emulator never gives.
class QBK24ScriptedTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_fake->SetReplyRule([this](const Bytes& written) { return Reply(written); });
        plat::usb::AttachInProcessDevice(m_path, m_fake);
        m_device.SetUniqueName(m_path);
        ASSERT_TRUE(m_device.Open());
        ASSERT_TRUE(m_interface.SetDevice(&m_device));
    }
    void TearDown() override
    {
        m_device.Close();
        plat::usb::DetachInProcessDevice(m_path);
    }

    static Bytes Status(BYTE status)
    {
        Bytes packet(16, 0);
        packet[15] = status;
        return packet;
    }
    static Bytes DataPacket(const Bytes& data, DWORD lengthField)
    {
        // clang-format off
        Bytes packet = {static_cast<BYTE>(lengthField >> 24), static_cast<BYTE>(lengthField >> 16),
                        static_cast<BYTE>(lengthField >> 8),  static_cast<BYTE>(lengthField),
                        0x00, 0x02, 0xB0, 0x00, 0, 0, 0, 0};
        // clang-format on
        packet.insert(packet.end(), data.begin(), data.end());
        return packet;
    }
    Bytes Reply(const Bytes& written)
    {
        if (written.size() != 24 || written[5] != 0x01)
            return {};
        ++m_commands;
        if (written[12] == 0x03) {
            Bytes packet = DataPacket(m_sense, 30);
            const Bytes status = Status(0);
            packet.insert(packet.end(), status.begin(), status.end());
            return packet;
        }
        return m_readReply;
    }

    plat::testing::TempSystemRoot m_root;
    std::u16string m_path = plat::devices::InterfacePathFor(plat::devices::InstanceIdFor(0x0ABC, 0x0DEF, u"FAKE"));
    std::shared_ptr<plat::usb::testing::FakeUsbDevice> m_fake = std::make_shared<plat::usb::testing::FakeUsbDevice>();
    CUSBDevice m_device;
    CQBK24Interface m_interface;
    Bytes m_readReply;
    Bytes m_sense = Bytes(18, 0);
    int m_commands = 0;
};

// Only a data header whose length lies within what arrived, followed by at
// most one status packet, is taken as a short read; anything else fails the
// data phase, which resets both pipes.
TEST_F(QBK24ScriptedTest, MalformedShortReadsFailTheDataPhase)
{
    auto concat = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const struct {
        const char* name;
        Bytes reply;
        bool ok;
    } cases[] = {
        {"well-formed: 100 bytes and the status", concat(DataPacket(Bytes(100, 7), 112), Status(0)), true},
        {"fewer bytes than a header", Bytes{0x00, 0x00, 0x00, 0x0C, 0x00, 0x02, 0xB0, 0x00}, false},
        {"length below the header's size", concat(DataPacket(Bytes(100, 7), 8), Status(0)), false},
        {"length beyond what arrived", concat(DataPacket(Bytes(100, 7), 500), Status(0)), false},
        {"more than a status packet after the data", concat(DataPacket(Bytes(100, 7), 80), Status(0)), false},
        {"no data header", concat(Bytes(112, 7), Status(0)), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_readReply = c.reply;
        const int resetsBefore = m_fake->Resets(1) + m_fake->Resets(2);
        Bytes buffer(1000, 0xEE);
        const BYTE read[10] = {0x28, 0, 0, 0, 0, 0, 0, 0x03, 0xE8, 0};
        EXPECT_EQ(m_interface.DoSCSICommand(read, sizeof read, buffer.data(), 1000, kDirectionRead), c.ok);
        EXPECT_EQ(m_fake->Resets(1) + m_fake->Resets(2) - resetsBefore, c.ok ? 0 : 2);
        if (c.ok) {
            EXPECT_EQ(buffer[99], 7);
            EXPECT_EQ(buffer[100], 0xEE);
        }
    }
}

TEST_F(QBK24ScriptedTest, AReadWithoutABufferRunsWithoutADataPhase)
{
    // Were a data phase run, it would take the status for a malformed
    // short read and fail.
    m_readReply = Status(kStatusGood);
    const BYTE read[10] = {0x28, 0, 0x81, 0, 0, 0, 0, 0, 6, 0};
    EXPECT_TRUE(m_interface.DoSCSICommand(read, sizeof read, nullptr, 6, kDirectionRead));
    EXPECT_EQ(m_commands, 1);
}

// A request beyond the 24-bit transfer length goes out as several READs of
// whole lines, each filling the caller's buffer where the last one ended.
TEST_F(QBK24ScriptedTest, ALargeReadGoesOutInWholeLinesOfAtMostTheTransferLength)
{
    std::vector<DWORD> lengths;
    m_fake->SetReplyRule([&](const Bytes& written) {
        if (written.size() != 24 || written[12] != 0x28)
            return Bytes{};
        const DWORD length = (DWORD{written[18]} << 16) | (DWORD{written[19]} << 8) | written[20];
        lengths.push_back(length);
        Bytes reply = DataPacket(Bytes(length, static_cast<BYTE>(lengths.size())), length + 12);
        const Bytes status = Status(kStatusGood);
        reply.insert(reply.end(), status.begin(), status.end());
        return reply;
    });
    constexpr DWORD kLineBytes = 300;
    constexpr DWORD kFirst = kMaxReadTransferLength / kLineBytes * kLineBytes;
    constexpr DWORD kAsked = kFirst + 5 * kLineBytes;
    Bytes buffer(kAsked);
    bool endOfPage = true, shortTransfer = true;
    DWORD bytesRead = 0;
    EXPECT_TRUE(
        m_interface.ReadImageData(kAsked, buffer.data(), false, &endOfPage, &bytesRead, &shortTransfer, 0, kLineBytes));
    EXPECT_EQ(lengths, (std::vector<DWORD>{kFirst, 5 * kLineBytes}));
    EXPECT_EQ(bytesRead, kAsked);
    EXPECT_FALSE(endOfPage);
    EXPECT_FALSE(shortTransfer);
    EXPECT_EQ(buffer[kFirst - 1], 1);
    EXPECT_EQ(buffer[kFirst], 2);
    EXPECT_EQ(buffer[kAsked - 1], 2);
}

// A READ's count comes from its status or sense: what it counts beyond the
// data that came reads as zeros, and nothing past the count is touched.
TEST_F(QBK24ScriptedTest, BytesAReadCountsButNeverReceivedAreZeros)
{
    auto reply = [](const Bytes& data, BYTE status) {
        Bytes packet = DataPacket(data, static_cast<DWORD>(data.size() + 12));
        const Bytes statusPacket = Status(status);
        packet.insert(packet.end(), statusPacket.begin(), statusPacket.end());
        return packet;
    };
    const struct {
        const char* name;
        BYTE status;
        DWORD residue; // in the sense of a CHECK CONDITION, with ILI
        DWORD counted;
    } cases[] = {
        {"good status after 100 of 1000 bytes", kStatusGood, 0, 1000},
        {"a residue that counts 500 of 100 bytes", kStatusCheckCondition, 500, 500},
        {"a residue that counts 100 of 100 bytes", kStatusCheckCondition, 900, 100},
        {"a residue that counts 50 of 100 bytes", kStatusCheckCondition, 950, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_readReply = reply(Bytes(100, 7), c.status);
        m_sense.assign(18, 0);
        m_sense[0] = 0x70;
        m_sense[2] = kSenseILI;
        m_sense[5] = static_cast<BYTE>(c.residue >> 8);
        m_sense[6] = static_cast<BYTE>(c.residue);
        Bytes buffer(1000, 0xEE);
        bool endOfPage = false, shortTransfer = false;
        DWORD bytesRead = 0;
        EXPECT_TRUE(m_interface.ReadImageData(1000, buffer.data(), false, &endOfPage, &bytesRead, &shortTransfer, 0));
        EXPECT_EQ(bytesRead, c.counted);
        for (DWORD i = 0; i < 1000; ++i) {
            const BYTE expected = i < 100 ? 7 : i < c.counted ? 0 : 0xEE;
            ASSERT_EQ(buffer[i], expected) << "byte " << i;
        }
    }
}

TEST_F(QBK24ScriptedTest, AResidueLargerThanTheRequestIsAFailure)
{
    auto checkWithSense = [this](BYTE flags, DWORD residue) {
        m_readReply = DataPacket({}, 12);
        const Bytes status = Status(kStatusCheckCondition);
        m_readReply.insert(m_readReply.end(), status.begin(), status.end());
        m_sense.assign(18, 0);
        m_sense[0] = 0x70;
        m_sense[2] = flags;
        m_sense[3] = static_cast<BYTE>(residue >> 24);
        m_sense[4] = static_cast<BYTE>(residue >> 16);
        m_sense[5] = static_cast<BYTE>(residue >> 8);
        m_sense[6] = static_cast<BYTE>(residue);
    };
    Bytes buffer(4096);
    bool endOfPage = false, shortTransfer = false;
    DWORD bytesRead = 1;

    checkWithSense(kSenseILI, 4097);
    EXPECT_FALSE(m_interface.ReadImageData(4096, buffer.data(), false, &endOfPage, &bytesRead, &shortTransfer, 0));
    EXPECT_EQ(bytesRead, 0u);
    EXPECT_FALSE(shortTransfer);

    checkWithSense(kSenseEOM, 4096); // the page ended with nothing left
    EXPECT_TRUE(m_interface.ReadImageData(4096, buffer.data(), false, &endOfPage, &bytesRead, &shortTransfer, 0));
    EXPECT_EQ(bytesRead, 0u);
    EXPECT_TRUE(endOfPage);

    checkWithSense(0, 10); // neither flag: a plain failure
    EXPECT_FALSE(m_interface.ReadImageData(4096, buffer.data(), false, &endOfPage, &bytesRead, &shortTransfer, 0));
}

} // namespace
