#include "halservice/QBK24Interface.h"

#include "diag/RecordingLogSink.h"
#include "halservice/testing/EmulatedScannerFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

using hal::testing::Bytes;
using hal::testing::EmulatedScannerFixture;

class QBK24CommandsTest : public EmulatedScannerFixture {
protected:
    // The command block of the first command sent (6 or 10 bytes used).
    Bytes FirstCdb(std::size_t length)
    {
        const std::vector<Bytes> commands = Sent("command");
        if (commands.empty())
            return {};
        return Bytes(commands.front().begin() + 12, commands.front().begin() + 12 + static_cast<long>(length));
    }
};

TEST_F(QBK24CommandsTest, CommandBlocksOfEveryCommand)
{
    Start();
    static const BYTE block[4] = {1, 2, 3, 4};
    static const BYTE gamma[256] = {};
    static const BYTE lcd[kLCDImageSize] = {};
    // clang-format off
    const struct {
        const char* name;
        std::function<void(CQBK24Interface&)> run;
        Bytes cdb;
        std::size_t dataPackets;
    } cases[] = {
        {"TestUnitReady", [](auto& i) { i.TestUnitReady(); }, {0x00, 0, 0, 0, 0, 0}, 0},
        {"RequestSense", [](auto& i) { SenseData s; i.RequestSense(&s); }, {0x03, 0, 0, 0, 0x12, 0}, 0},
        {"Inquiry", [](auto& i) { InquiryData q; i.Inquiry(&q); }, {0x12, 0, 0, 0, 0x60, 0}, 0},
        {"Scan", [](auto& i) { i.Scan(); }, {0x1B, 0, 0, 0, 0, 0}, 0},
        {"SetWindow without a window", [](auto& i) { i.SetWindow(nullptr); }, {0x24, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"SendFirmware", [](auto& i) { i.SendFirmware(block, 4, 0x00012345); },
         {0x3B, 0x05, 0x00, 0x01, 0x23, 0x45, 0, 0x00, 0x04, 0}, 1},
        {"SendFirmware, closing call", [](auto& i) { i.SendFirmware(nullptr, 0, 0x000C0000); },
         {0x3B, 0x05, 0x00, 0x0C, 0x00, 0x00, 0, 0, 0, 0}, 0},
        {"ReadImageData of 65536, back side, qualifier 3",
         [](auto& i) {
             Bytes buffer(65536);
             bool eom, ili;
             DWORD n;
             i.ReadImageData(65536, buffer.data(), true, &eom, &n, &ili, 3);
         },
         {0x28, 0, 0x00, 0, 0x03, 0x80, 0x01, 0x00, 0x00, 0}, 0},
        {"ReadLineInfo", [](auto& i) { BYTE info[16]; i.ReadLineInfo(info, true, 2); },
         {0x28, 0, 0x80, 0, 0x02, 0x80, 0, 0, 0x10, 0}, 0},
        {"ReadDocument", [](auto& i) { bool p; BYTE s; i.ReadDocument(&p, &s); },
         {0x28, 0, 0x81, 0, 0, 0, 0, 0, 0x06, 0}, 0},
        {"ReadSupportInfo", [](auto& i) { SupportInfo s; i.ReadSupportInfo(&s); },
         {0x28, 0, 0x93, 0, 0, 0, 0, 0, 0x20, 0}, 0},
        {"SendGammaCorrData", [](auto& i) { i.SendGammaCorrData(gamma, 2, true); },
         {0x2A, 0, 0x05, 0, 0, 0x02, 0x00, 0x01, 0x0A, 0}, 1},
        {"GetDataBufferStatus", [](auto& i) { DWORD n; BYTE w; i.GetDataBufferStatus(&n, &w); },
         {0x34, 0, 0, 0, 0, 0, 0, 0, 0x0C, 0}, 0},
        {"GetCounter", [](auto& i) { CounterData c; i.GetCounter(&c); }, {0xE0, 0, 0x86, 0, 0, 0, 0, 0, 0x0E, 0}, 0},
        {"StopADF", [](auto& i) { i.StopADF(); }, {0xE1, 0, 0x8B, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"GetKeyEvent", [](auto& i) { KeyEvent k; i.GetKeyEvent(&k); }, {0xE0, 0, 0xB2, 0, 0, 0, 0, 0x00, 0x02, 0}, 0},
        {"SetLCDImage", [](auto& i) { i.SetLCDImage(lcd); }, {0xE1, 0, 0xB5, 0, 0, 0, 0, 0x0A, 0x00, 0}, 1},
        {"SetColor", [](auto& i) { i.SetColor(1, 2, 3, 4, 5, 6); }, {0xE1, 0, 0xB4, 0, 0, 0, 0, 0x00, 0x04, 0}, 1},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearLogs();
        c.run(m_interface);
        EXPECT_EQ(FirstCdb(c.cdb.size()), c.cdb);
        // Bytes after the command block are zero.
        const std::vector<Bytes> commands = Sent("command");
        ASSERT_FALSE(commands.empty());
        EXPECT_TRUE(std::all_of(commands.front().begin() + 12 + static_cast<long>(c.cdb.size()), commands.front().end(),
                                [](BYTE b) { return b == 0; }));
        // Commands after a failure add the automatic REQUEST SENSE, without data.
        EXPECT_EQ(Sent("data").size(), c.dataPackets);
    }
}

TEST_F(QBK24CommandsTest, SetWindowSendsBigEndianAndGivesTheRecordBackUnchanged)
{
    Start();
    WindowParams window = FrontWindow();
    WindowDescriptor& d = window.Descriptor;
    d.wXRes = 0x0102;
    d.wYRes = 0x0304;
    d.dwUpperLeftX = 0x05060708;
    d.dwUpperLeftY = 0x090A0B0C;
    d.dwWidth = 0x00002580;
    d.dwLength = 0x00003840;
    d.wHalfTonePattern = 0x1112;
    d.wBitOrdering = 0x1314;
    d.dwDocumentWidth = 0x15161718;
    d.dwDocumentLength = 0x191A1B1C;
    d.byStopMode = 0x5A;
    window.byRedChoroma = 0x77;
    window.byBlueChoroma = 0x88;
    const WindowParams before = window;

    ClearLogs();
    m_interface.SetWindow(&window);

    Bytes expected = {0x00, 0x00, 0x00, 0x54, 0x00, 0x02, 0xB0, 0x00, 0x00, 0x00, 0x00, 0x00, // data header
                      0,    0,    0,    0,    0,    0,    0x00, 0x40};                        // list header
    const Bytes descriptor = {0x00, 0x00, 0x01, 0x02, 0x03, 0x04,             // id, reserved, resolutions
                              0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, // upper left
                              0x00, 0x00, 0x25, 0x80, 0x00, 0x00, 0x38, 0x40, // width, length
                              0x00, 0x00, 0x00, 0x05, 0x18, 0x11, 0x12, 0x00,
                              0x13, 0x14,                                      // ... bits, halftone, RIF, bit ordering
                              0x00, 0x00, 0,    0,    0,    0,    0,    0,     // compression, reserved
                              0,    0,    0,    0,    0,    0,    0,    0,     // vendor bytes to document size
                              0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C,  // document width, length
                              0x00, 0xFF, 0,    0,    0,    0,    0,    0x5A}; // pages ... stop mode
    expected.insert(expected.end(), descriptor.begin(), descriptor.end());
    EXPECT_EQ(Sent("data"), std::vector<Bytes>{expected});
    EXPECT_EQ(FirstCdb(10), (Bytes{0x24, 0, 0, 0, 0, 0, 0, 0, 0x48, 0}));

    WindowParams after = before;
    after.Header.wBlockLengthInBytes = 64;
    EXPECT_EQ(std::memcmp(&window, &after, sizeof window), 0);
}

// Reads of a 14400-byte page: a short transfer (ILI) and the end of the page
// (EOM) both count as success with the bytes that came.
TEST_F(QBK24CommandsTest, ReadImageDataResidueAndEndOfPage)
{
    struct Read {
        DWORD asked;
        DWORD got;
        bool endOfPage;
        bool shortTransfer;
    };
    const struct {
        const char* name;
        std::uint32_t maxBytesPerRead;
        std::vector<Read> reads;
    } cases[] = {
        {"short transfer", 7192, {{8192, 7192, false, true}}},
        {"page ends inside the second read", 0, {{8192, 8192, false, false}, {8192, 6208, true, false}}},
        {"page ends exactly with the read", 0, {{kPageBytes, kPageBytes, true, false}}},
        {"next page after the end", 0, {{kPageBytes, kPageBytes, true, false}, {100, 100, false, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        emulator::ScannerConfig config;
        config.maxBytesPerRead = c.maxBytesPerRead;
        Start(config);
        StartScan(2);
        for (const Read& read : c.reads) {
            Bytes buffer(read.asked);
            bool endOfPage = !read.endOfPage, shortTransfer = !read.shortTransfer;
            DWORD bytesRead = 0;
            EXPECT_TRUE(
                m_interface.ReadImageData(read.asked, buffer.data(), false, &endOfPage, &bytesRead, &shortTransfer, 0));
            EXPECT_EQ(bytesRead, read.got);
            EXPECT_EQ(endOfPage, read.endOfPage);
            EXPECT_EQ(shortTransfer, read.shortTransfer);
        }
    }
}

TEST_F(QBK24CommandsTest, ReadImageDataSplitsRequestsBeyondTheTransferLengthIntoWholeLines)
{
    Start();
    StartScan();
    // More than one READ holds, of a page far smaller: the first READ asks
    // for the most whole lines that fit and meets the page's end.
    const DWORD lineBytes = 288;
    const DWORD asked = 0x01000000 + 5 * lineBytes;
    Bytes buffer(asked);
    bool endOfPage = false, shortTransfer = false;
    DWORD bytesRead = 0;
    EXPECT_TRUE(
        m_interface.ReadImageData(asked, buffer.data(), false, &endOfPage, &bytesRead, &shortTransfer, 0, lineBytes));
    EXPECT_EQ(bytesRead, kPageBytes);
    EXPECT_TRUE(endOfPage);
    const DWORD firstRequest = kMaxReadTransferLength / lineBytes * lineBytes;
    EXPECT_EQ(FirstCdb(10), (Bytes{0x28, 0, 0, 0, 0, 0, static_cast<BYTE>(firstRequest >> 16),
                                   static_cast<BYTE>(firstRequest >> 8), static_cast<BYTE>(firstRequest), 0}));
}

TEST_F(QBK24CommandsTest, RepliesComeBackInHostOrder)
{
    emulator::ScannerConfig config;
    config.counter = 0x01020304;
    config.memoryMegabytes = 0x0140;
    Start(config);

    CounterData counter{};
    ASSERT_TRUE(m_interface.GetCounter(&counter));
    EXPECT_EQ(counter.dwTotalCounter, 0x01020304u);

    SupportInfo support{};
    ASSERT_TRUE(m_interface.ReadSupportInfo(&support));
    EXPECT_EQ(support.wTotalMemorySize, 0x0140);
    EXPECT_LT(support.wMinXRes, support.wMaxXRes);

    bool present = true;
    BYTE sizeCode = 0xFF;
    ASSERT_TRUE(m_interface.ReadDocument(&present, &sizeCode));
    EXPECT_FALSE(present);
    EXPECT_EQ(sizeCode, 0);
    m_scanner->LoadSheets(1, emulator::Sheet{11000, 9});
    ASSERT_TRUE(m_interface.ReadDocument(&present, &sizeCode));
    EXPECT_TRUE(present);
    EXPECT_EQ(sizeCode, 9);

    m_scanner->QueueKeyEvent(emulator::PanelKey::Duplex, emulator::KeyAction::Held);
    KeyEvent key{};
    ASSERT_TRUE(m_interface.GetKeyEvent(&key));
    EXPECT_EQ(key.Data.byKeyData, 0xB0); // held (10), duplex (11)

    WindowParams window = FrontWindow();
    ASSERT_TRUE(m_interface.SetWindow(&window));
    BYTE lineInfo[16] = {};
    ASSERT_TRUE(m_interface.ReadLineInfo(lineInfo, false, 0));
    DWORD pixels, lines;
    std::memcpy(&pixels, lineInfo, 4);
    std::memcpy(&lines, lineInfo + 4, 4);
    EXPECT_EQ(pixels, 96u);
    EXPECT_EQ(lines, 50u);

    ASSERT_TRUE(m_interface.Scan());
    DWORD filled = 0xFFFFFFFF;
    BYTE windowId = 0xFF;
    ASSERT_TRUE(m_interface.GetDataBufferStatus(&filled, &windowId));
    EXPECT_EQ(windowId, 0x00);
    EXPECT_LE(filled, kPageBytes);
}

TEST_F(QBK24CommandsTest, FailedQueriesLeaveTheirOutputsAlone)
{
    Start();
    // No scan runs: the buffer query fails and writes neither output.
    DWORD filled = 0x12345678;
    BYTE windowId = 0x42;
    EXPECT_FALSE(m_interface.GetDataBufferStatus(&filled, &windowId));
    EXPECT_EQ(filled, 0x12345678u);
    EXPECT_EQ(windowId, 0x42);
}

// A failed query still dumps its record, except the key event and the
// buffer status, which are dumped only when they arrived.
TEST_F(QBK24CommandsTest, RecordDumpsOfFailedQueries)
{
    Start();
    // clang-format off
    const struct {
        const char* name;
        BYTE opcode;
        std::function<bool(CQBK24Interface&)> run;
        const char16_t* firstLine;
        bool dumped;
    } cases[] = {
        {"GetCounter", 0xE0, [](auto& i) { CounterData c{}; return i.GetCounter(&c); }, u"dwTotalCounter = ", true},
        {"Inquiry", 0x12, [](auto& i) { InquiryData q{}; return i.Inquiry(&q); }, u"byQualifierDevType = ", true},
        {"ReadSupportInfo", 0x28, [](auto& i) { SupportInfo s{}; return i.ReadSupportInfo(&s); },
         u"bySupportedFeatures = ", true},
        {"GetKeyEvent", 0xE0, [](auto& i) { KeyEvent k{}; return i.GetKeyEvent(&k); },
         u"Header.byRemainAndNumEvents = ", false},
        {"GetDataBufferStatus", 0x34, [](auto& i) { DWORD n = 0; BYTE w = 0; return i.GetDataBufferStatus(&n, &w); },
         u"byBufStatusLen: ", false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        emulator::Fault stall;
        stall.kind = emulator::FaultKind::StallIn;
        stall.opcode = c.opcode;
        m_scanner->InjectFault(stall);
        RecordingLogSink sink;
        m_interface.SetLogInterface(&sink);
        sink.RegisterLogName(u"QBK24 Device.Data")->store(LOG_TRACE);
        EXPECT_FALSE(c.run(m_interface));
        sink.RegisterLogName(u"QBK24 Device.Data")->store(0);
        m_interface.SetLogInterface(nullptr);
        const bool dumped = std::any_of(sink.records.begin(), sink.records.end(),
                                        [&](const LogRecord& r) { return r.text.rfind(c.firstLine, 0) == 0; });
        EXPECT_EQ(dumped, c.dumped);
    }
}

TEST_F(QBK24CommandsTest, SetColorClampsEachComponentToRgb565)
{
    Start();
    const struct {
        BYTE text[3];
        BYTE back[3];
        std::uint16_t background;
        std::uint16_t textColor;
    } cases[] = {
        {{0, 0, 255}, {255, 255, 255}, 0xFFFF, 0x001F},
        {{31, 63, 31}, {0, 0, 0}, 0x0000, 0xFFFF},
        {{30, 62, 30}, {32, 64, 32}, 0xFFFF, 0xF7DE},
        {{1, 1, 1}, {16, 0, 0}, 0x8000, 0x0821},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(m_interface.SetColor(c.text[0], c.text[1], c.text[2], c.back[0], c.back[1], c.back[2]));
        EXPECT_EQ(m_scanner->LcdColors(), (std::pair<std::uint16_t, std::uint16_t>{c.background, c.textColor}));
    }
}

TEST_F(QBK24CommandsTest, GammaTableGoesAfterTenZeroBytes)
{
    Start();
    BYTE table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<BYTE>(255 - i);
    ClearLogs();
    EXPECT_TRUE(m_interface.SendGammaCorrData(table, 4, false));
    const std::vector<Bytes> data = Sent("data");
    ASSERT_EQ(data.size(), 1u);
    // The packet log keeps the first 256 bytes of a packet.
    ASSERT_EQ(data[0].size(), 256u);
    EXPECT_EQ(Bytes(data[0].begin(), data[0].begin() + 4), (Bytes{0x00, 0x00, 0x01, 0x16})); // 266 + 12
    EXPECT_TRUE(std::all_of(data[0].begin() + 12, data[0].begin() + 22, [](BYTE b) { return b == 0; }));
    EXPECT_EQ(std::memcmp(data[0].data() + 22, table, 256 - 22), 0);
    EXPECT_EQ(FirstCdb(10), (Bytes{0x2A, 0, 0x03, 0, 0, 0x04, 0x00, 0x01, 0x0A, 0}));
}

TEST(TranslateSenseTest, EveryRowAndTheUnknownCombinations)
{
    const struct {
        BYTE senseKey; // byte 2, flags included
        BYTE asc;
        BYTE ascq;
        ScannerErrorCode code;
        const char16_t* text;
    } cases[] = {
        {0x00, 0x00, 0x00, 0, u"NO SENSE"},
        {0x02, 0x00, 0x00, 2, u"NOT READY"},
        {0x02, 0x04, 0x01, 2, u"LOGICAL UNIT IS IN PROCESS OF BECOMING READY"},
        {0x02, 0x04, 0x80, 3, u"DOOR OPEN"},
        {0x02, 0x80, 0x01, 4, u"SCANNER STOPPED"},
        {0x02, 0x80, 0x02, 5, u"ADF STOPPED"},
        {0x03, 0x3A, 0x00, 6, u"MEDIUM NOT PRESENT"},
        {0x03, 0x80, 0x01, 7, u"JAMMING AT DOCUMENT LEAD"},
        {0x03, 0x80, 0x02, 7, u"JAMMING AT DOCUMENT DISCHARGE 1"},
        {0x03, 0x80, 0x04, 7, u"DOCUMENT INTERNAL REST"},
        {0x03, 0x80, 0x06, 7, u"JAMMING AT DOCUMENT FEED 1"},
        {0x03, 0x80, 0x07, 7, u"JAMMING AT DOCUMENT FEED 2"},
        {0x03, 0x80, 0x08, 7, u"JAMMING AT DOCUMENT FEED 3"},
        {0x03, 0x80, 0x09, 7, u"JAMMING AT DOCUMENT FEED 4"},
        {0x03, 0x80, 0x0B, 8, u"MINIMUM MEDIA ERROR"},
        {0x03, 0x80, 0x0C, 8, u"MEDIA LENGTH ERROR"},
        {0x03, 0x80, 0x0D, 9, u"DOUBLE FEED ERROR"},
        {0x03, 0x80, 0x0E, 10, u"BARCODE ERROR"},
        {0x04, 0x08, 0x80, 11, u"INTERNAL PARAMETER ERROR"},
        {0x04, 0x08, 0x81, 10, u"INTERNAL DMA ERROR"},
        {0x04, 0x08, 0x82, 10, u"INTERNAL COMMAND ERROR"},
        {0x04, 0x08, 0x83, 10, u"INTERNAL COMMUNICATION ERROR"},
        {0x04, 0x44, 0x80, 10, u"INTERNAL RAM ERROR"},
        {0x04, 0x44, 0x81, 12, u"INTERNAL EEPROM ERROR"},
        {0x04, 0x44, 0x82, 10, u"FPGA ERROR"},
        {0x04, 0x47, 0x00, 13, u"SCSI PARITY ERROR"},
        {0x04, 0x80, 0x01, 14, u"LAMP FAILURE WITHIN REGULAR TEMPETATURE"},
        {0x04, 0x80, 0x02, 15, u"DOCUMENT SIZE DETECT ERROR"},
        {0x04, 0x80, 0x04, 15, u"DOCUMENT HOPPER ERROR"},
        {0x04, 0x80, 0x05, 15, u"DOCUMENT SENSOR ADJUST ERROR"},
        {0x04, 0x80, 0x07, 16, u"CARRIAGE ERROR"},
        {0x05, 0x1A, 0x00, 11, u"PARAMETER LIST LENGTH ERROR"},
        {0x05, 0x20, 0x00, 17, u"INVALID COMMAND OPERATION CODE"},
        {0x05, 0x24, 0x00, 18, u"INVALID FIELD IN CDB"},
        {0x05, 0x25, 0x00, 19, u"LOGICAL UNIT NOT SUPPORTED"},
        {0x05, 0x26, 0x00, 20, u"INVALID FIELD IN PARAMETER LIST"},
        {0x05, 0x2C, 0x01, 21, u"TOO MANY WINDOWS SPECIFIED"},
        {0x05, 0x2C, 0x02, 21, u"INVALID COMBINATION OF WINDOWS SPECIFIED"},
        {0x05, 0x2C, 0x80, 22, u"OUT OF SCANNING AREA (NOT ENOUGH MEMORY)"},
        {0x05, 0x2C, 0x81, 19, u"NO BACK SCANNING UNIT"},
        {0x05, 0x2C, 0x82, 19, u"NO IMPRINTER UNIT"},
        {0x05, 0x3D, 0x00, 23, u"INVALID BITS IN IDENTIFY MESSAGE"},
        {0x06, 0x29, 0x00, 23, u"UNIT ATTENTION"},
        {0x0B, 0x1B, 0x00, 24, u"SYNCRONOUS DATA TRANSFER ERROR"},
        {0x0B, 0x43, 0x00, 23, u"MESSAGE ERROR"},
        {0x0B, 0x49, 0x00, 23, u"INVALID MESSAGE ERROR"},
        {0x0B, 0x80, 0x01, 24, u"IMAGE DATA TRANSFERRING ERROR"},
        // The key is the low four bits: ILI and EOM do not change it.
        {0x23, 0x3A, 0x00, 6, u"MEDIUM NOT PRESENT"},
        {0x60, 0x00, 0x00, 0, u"NO SENSE"},
        // No row.
        {0x03, 0x80, 0x03, 1, u"ERR UNKNOWN"},
        {0x00, 0x3A, 0x00, 1, u"ERR UNKNOWN"},
        {0x01, 0x00, 0x00, 1, u"ERR UNKNOWN"},
        {0x07, 0x00, 0x00, 1, u"ERR UNKNOWN"},
        {0x0C, 0x1B, 0x00, 1, u"ERR UNKNOWN"},
        {0x0F, 0x00, 0x00, 1, u"ERR UNKNOWN"},
    };
    CQBK24Interface translator;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.senseKey) << "/" << int(c.asc) << "/" << int(c.ascq));
        SenseData sense{};
        sense.SenseKey = c.senseKey;
        sense.SenseCode = c.asc;
        sense.SenseQualifier = c.ascq;
        EXPECT_EQ(translator.TranslateSense(sense), c.code);
        EXPECT_EQ(translator.GetErrorText(), u"NO SENSE"); // the cache is empty
        EXPECT_EQ(translator.TranslateSense(sense), c.code);
    }
}

} // namespace
