#include "halservice/scanner/testing/ScanJobFixture.h"

#include "emulator/ImagePattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using hal::testing::Band;
using hal::testing::Job;
using hal::testing::ScanJobFixture;

// 1 in x 0.5 in at 100 dpi: 96 pixels by 50 lines.
ConfigScanArgs SmallPage(LONG bitsPerPixel, LONG compression, bool duplex, LONG pages)
{
    ConfigScanArgs s{};
    s.Width = 1000;
    s.Height = 500;
    s.DPI = 100;
    s.BitsPerPixel = bitsPerPixel;
    s.Compression = compression;
    s.Duplex = duplex ? 1 : 0;
    s.Pages = pages;
    return s;
}
constexpr DWORD kPixels = 96;
constexpr DWORD kLines = 50;

DWORD LineBytes(LONG bitsPerPixel)
{
    return bitsPerPixel == 1 ? kPixels / 8 : bitsPerPixel == 8 ? kPixels : kPixels * 3;
}

struct JobCase {
    std::string name;
    LONG bits;
    LONG compression;
    bool duplex;
    std::uint32_t sheets;
    LONG pages;                    // sides requested, 0 all
    std::uint32_t maxBytesPerRead; // 0: the scanner sends all it is asked for
    DWORD bufferSize;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> expected; // (sheet, side) of each page
    size_t sheetsLeft = 0;
};

class ImageProductionTest : public ScanJobFixture {
public:
    // Runs STOP ADF through the pass-through request, as a client would.
    void StopFeeder()
    {
        BYTE cdb[10] = {0xE1, 0, 0x8B};
        LONG status = 1;
        FuncArgs args{};
        args.DoSCSICmd.lSizeCDB = sizeof cdb;
        args.DoSCSICmd.pBufCDB = cdb;
        args.DoSCSICmd.lpStatus = &status;
        Run(REQ_DO_SCSI_CMD, args);
        EXPECT_EQ(status, 0);
    }
    void LetTransfersTimeOut() { m_advanceTransferWaits = true; }

protected:
    // Every uncompressed line of a page carries the pattern of its sheet and
    // side, in order from line 0.
    static void ExpectPatternLines(const std::vector<BYTE>& page, LONG bits, std::uint32_t sheet, std::uint32_t side,
                                   DWORD lines)
    {
        const DWORD lineBytes = LineBytes(bits);
        ASSERT_EQ(page.size(), size_t{lineBytes} * lines);
        for (DWORD y = 0; y < lines; ++y) {
            const auto decoded = emulator::DecodePatternLine(page.data() + size_t{y} * lineBytes, kPixels, bits);
            ASSERT_TRUE(decoded.valid) << "line " << y;
            EXPECT_EQ(decoded.code, emulator::PatternCode(sheet, side)) << "line " << y;
            EXPECT_EQ(decoded.line, y % 256);
        }
    }
};

TEST_F(ImageProductionTest, JobsDeliverEveryPageInOrderWithItsLevels)
{
    const std::vector<JobCase> cases = {
        {"simplex 24 bit, every sheet", 24, 0, false, 2, 0, 0, 2880, {{0, 0}, {1, 0}}},
        {"simplex 8 bit, 2 of 5 sheets", 8, 0, false, 5, 2, 0, 960, {{0, 0}, {1, 0}}, 3},
        {"simplex, a buffer larger than the page", 24, 0, false, 2, 0, 0, 65536, {{0, 0}, {1, 0}}},
        {"simplex 8 bit, short reads", 8, 0, false, 2, 0, 500, 960, {{0, 0}, {1, 0}}},
        {"duplex 24 bit, every sheet", 24, 0, true, 3, 0, 0, 2880, {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}},
        {"duplex 8 bit, 4 sides of 5 sheets", 8, 0, true, 5, 4, 0, 960, {{0, 0}, {0, 1}, {1, 0}, {1, 1}}, 3},
        {"duplex, one side: its back is dropped", 24, 0, true, 2, 1, 0, 2880, {{0, 0}}, 1},
        {"duplex, three sides", 24, 0, true, 2, 3, 0, 2880, {{0, 0}, {0, 1}, {1, 0}}},
        {"duplex 24 bit, short reads fill the page buffer",
         24,
         0,
         true,
         2,
         0,
         1000,
         2880,
         {{0, 0}, {0, 1}, {1, 0}, {1, 1}}},
        {"duplex 1 bit, short reads of part lines", 1, 0, true, 2, 0, 100, 120, {{0, 0}, {0, 1}, {1, 0}, {1, 1}}},
        {"JPEG simplex 24 bit", 24, 1, false, 2, 0, 0, 4096, {{0, 0}, {1, 0}}},
        {"JPEG duplex 8 bit, short reads", 8, 1, true, 2, 0, 700, 1000, {{0, 0}, {0, 1}, {1, 0}, {1, 1}}},
        {"MMR duplex 1 bit", 1, 2, true, 2, 0, 0, 256, {{0, 0}, {0, 1}, {1, 0}, {1, 1}}},
    };
    bool started = false;
    for (const JobCase& c : cases) {
        SCOPED_TRACE(c.name);
        emulator::ScannerConfig config;
        config.maxBytesPerRead = c.maxBytesPerRead;
        if (started)
            Restart(config);
        else
            Start(config);
        started = true;
        m_scanner->LoadSheets(c.sheets);
        Configure(SmallPage(c.bits, c.compression, c.duplex, c.pages));
        const auto front = m_scanner->Window(false);
        const auto back = m_scanner->Window(true);
        ASSERT_TRUE(front.has_value());
        ASSERT_EQ(back.has_value(), c.duplex);

        const Job job = ProduceJob(c.bufferSize);
        EXPECT_EQ(job.lastStatus, 0);
        ASSERT_EQ(job.pages.size(), c.expected.size());
        // Level 1 inside a page, 2 at the end of each page, 6 at the end.
        ASSERT_FALSE(job.levels.empty());
        EXPECT_EQ(job.levels.back(), 6);
        EXPECT_EQ(static_cast<size_t>(std::count(job.levels.begin(), job.levels.end(), 2)), c.expected.size() - 1);
        EXPECT_EQ(static_cast<size_t>(std::count(job.levels.begin(), job.levels.end(), 1)),
                  job.levels.size() - c.expected.size());
        if (c.compression == 0) {
            for (DWORD size : job.bandSizes)
                EXPECT_EQ(size % LineBytes(c.bits), 0u) << "bands are whole lines";
        }
        for (size_t i = 0; i < c.expected.size(); ++i) {
            const auto [sheet, side] = c.expected[i];
            SCOPED_TRACE("page " + std::to_string(i));
            EXPECT_EQ(job.pages[i], ExpectedPage(side ? *back : *front, sheet, side));
            if (c.compression == 0)
                ExpectPatternLines(job.pages[i], c.bits, sheet, side, kLines);
        }
        // The job's end releases the windows.
        EXPECT_FALSE(m_scanner->Window(false).has_value());
        EXPECT_EQ(CommandCodes().back(), 0x24);
        EXPECT_EQ(m_scanner->SheetsInFeeder(), c.sheetsLeft);
    }
}

// A scanner's READ may end anywhere, inside a line too: whatever the reads
// bring, every page is the one a scanner sending all it is asked for gives,
// and every uncompressed band is whole lines.
TEST_F(ImageProductionTest, ReadsEndingAnywhereGiveThePagesOfWholeReads)
{
    struct Kind {
        std::string name;
        LONG bits;
        LONG compression;
        bool duplex;
    };
    const std::vector<Kind> kinds = {
        {"bw simplex", 1, 0, false},      {"bw duplex", 1, 0, true},
        {"gray simplex", 8, 0, false},    {"gray duplex", 8, 0, true},
        {"colour simplex", 24, 0, false}, {"colour duplex", 24, 0, true},
        {"JPEG gray duplex", 8, 1, true}, {"JPEG colour simplex", 24, 1, false},
        {"MMR bw duplex", 1, 2, true},
    };
    // 0.32 in x 0.1 in at 100 dpi: 32 pixels by 10 lines, small enough for
    // reads of one byte.
    ConfigScanArgs settings = SmallPage(1, 0, false, 0);
    settings.Width = 320;
    settings.Height = 100;
    constexpr DWORD kPagePixels = 32;
    constexpr DWORD kPageLines = 10;
    auto scan = [&](const Kind& kind, std::uint32_t maxBytesPerRead, std::uint32_t sheets, DWORD bufferSize) {
        emulator::ScannerConfig config;
        config.maxBytesPerRead = maxBytesPerRead;
        Restart(config);
        m_scanner->LoadSheets(sheets);
        settings.BitsPerPixel = kind.bits;
        settings.Compression = kind.compression;
        settings.Duplex = kind.duplex ? 1 : 0;
        Configure(settings);
        return ProduceJob(bufferSize, 100000);
    };
    Start();
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const DWORD lineBytes = kPagePixels * static_cast<DWORD>(kind.bits) / 8;
        // Several bands a page, and room for more than one read's worth.
        const DWORD bufferSize = std::max<DWORD>(lineBytes * 7, 100);
        const Job whole = scan(kind, 0, 2, bufferSize);
        ASSERT_EQ(whole.lastStatus, 0);
        ASSERT_EQ(whole.pages.size(), kind.duplex ? 4u : 2u);
        // Reads of one byte, one sheet of them, only where there are lines
        // to cut: each costs a wait for buffered data.
        std::vector<std::pair<std::uint32_t, std::uint32_t>> reads = {
            {13, 2}, {lineBytes - 1, 2}, {lineBytes + 1, 2}, {3 * lineBytes, 2}};
        if (kind.compression == 0)
            reads.emplace_back(1, 1);
        for (const auto& [maxRead, sheets] : reads) {
            SCOPED_TRACE("at most " + std::to_string(maxRead) + " bytes a read");
            const Job job = scan(kind, maxRead, sheets, bufferSize);
            EXPECT_GT(m_scanner->CappedReads(), 0u) << "no read ended short";
            EXPECT_EQ(job.lastStatus, 0);
            EXPECT_EQ(job.levels.back(), 6);
            ASSERT_EQ(job.pages.size(), whole.pages.size() * sheets / 2);
            for (size_t i = 0; i < job.pages.size(); ++i) {
                SCOPED_TRACE("page " + std::to_string(i));
                EXPECT_TRUE(job.pages[i] == whole.pages[i]) << "the page differs from the one of whole reads";
                if (kind.compression != 0)
                    continue;
                const auto sheet = static_cast<std::uint32_t>(kind.duplex ? i / 2 : i);
                const auto side = static_cast<std::uint32_t>(kind.duplex ? i % 2 : 0);
                ASSERT_EQ(job.pages[i].size(), size_t{lineBytes} * kPageLines);
                for (DWORD y = 0; y < kPageLines; ++y) {
                    const BYTE* line = job.pages[i].data() + size_t{y} * lineBytes;
                    const auto decoded = emulator::DecodePatternLine(line, kPagePixels, kind.bits);
                    ASSERT_TRUE(decoded.valid) << "line " << y;
                    EXPECT_EQ(decoded.code, emulator::PatternCode(sheet, side)) << "line " << y;
                    EXPECT_EQ(decoded.line, y) << "line " << y;
                }
            }
            if (kind.compression == 0) {
                for (DWORD size : job.bandSizes)
                    ASSERT_EQ(size % lineBytes, 0u) << "bands are whole lines";
            }
        }
    }
}

TEST_F(ImageProductionTest, FirstBandStartsTheScanOnlyWithPaperInTheFeeder)
{
    Start();
    Configure(SmallPage(24, 0, false, 0));
    m_scanner->Log().Clear();
    const Band band = Produce(2880);
    EXPECT_EQ(band.status, 2);
    EXPECT_TRUE(band.bytes.empty());
    // READ of the document status only; no SCAN.
    EXPECT_EQ(CommandCodes(), (std::vector<BYTE>{0x28}));

    // A scan that cannot start tells why.
    m_scanner->LoadSheets(1);
    Configure(SmallPage(24, 0, false, 0));
    m_scanner->SetCoverOpen(true);
    m_scanner->Log().Clear();
    const Band refused = Produce(2880);
    EXPECT_EQ(refused.status, 7);
    EXPECT_TRUE(refused.bytes.empty());
    EXPECT_EQ(CommandCodes(), (std::vector<BYTE>{0x28, 0x1B, 0x03}));
    m_scanner->SetCoverOpen(false);

    Configure(SmallPage(24, 0, false, 0));
    m_scanner->Log().Clear();
    const Band first = Produce(2880);
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.level, 1);
    EXPECT_EQ(first.bytes.size(), 2880u);
    const auto codes = CommandCodes();
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes[0], 0x28);
    EXPECT_EQ(codes[1], 0x1B);
}

struct FaultCase {
    std::string name;
    std::function<void(ConfigScanArgs&)> settings;
    // Runs after the first band of the job.
    std::function<void(ImageProductionTest&, emulator::EmulatedScanner&)> fault;
    LONG status;
};

TEST_F(ImageProductionTest, FaultsGiveTheStatusOfTheirSense)
{
    auto sheetFault = [](emulator::FaultKind kind, std::uint8_t ascq = 0x01) {
        return [=](ImageProductionTest&, emulator::EmulatedScanner& scanner) {
            emulator::Fault f;
            f.kind = kind;
            f.sheet = 0;
            f.offset = 5000;
            f.jamQualifier = ascq;
            scanner.InjectFault(f);
        };
    };
    auto none = [](ConfigScanArgs&) {};
    const std::vector<FaultCase> cases = {
        {"jam at the lead", none, sheetFault(emulator::FaultKind::Jam, 0x01), 8},
        {"jam at feed 4", none, sheetFault(emulator::FaultKind::Jam, 0x09), 8},
        {"page resting inside", none, sheetFault(emulator::FaultKind::Jam, 0x04), 5},
        {"double feed", [](ConfigScanArgs& s) { s.DFD = 1; }, sheetFault(emulator::FaultKind::DoubleFeed), 3},
        {"skew", [](ConfigScanArgs& s) { s.StopSkew = 1; }, sheetFault(emulator::FaultKind::Skew), 9},
        {"cover opened", none,
         [](ImageProductionTest&, emulator::EmulatedScanner& scanner) { scanner.SetCoverOpen(true); }, 7},
        {"feeder stopped by the user", none,
         [](ImageProductionTest& test, emulator::EmulatedScanner&) { test.StopFeeder(); }, 4},
        {"read never answered", none,
         [](ImageProductionTest& test, emulator::EmulatedScanner& scanner) {
             test.LetTransfersTimeOut();
             emulator::Fault f;
             f.kind = emulator::FaultKind::Timeout;
             f.opcode = 0x28;
             scanner.InjectFault(f);
         },
         1},
        {"read aborted on a halted pipe", none,
         [](ImageProductionTest&, emulator::EmulatedScanner& scanner) {
             emulator::Fault f;
             f.kind = emulator::FaultKind::StallIn;
             f.opcode = 0x28;
             scanner.InjectFault(f);
         },
         1},
    };
    bool started = false;
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (started)
            Restart();
        else
            Start();
        started = true;
        m_scanner->LoadSheets(2);
        ConfigScanArgs settings = SmallPage(24, 0, false, 0);
        c.settings(settings);
        Configure(settings);
        const Band first = Produce(2880);
        ASSERT_EQ(first.status, 0);
        ASSERT_EQ(first.bytes.size(), 2880u);
        c.fault(*this, *m_scanner);
        const Job rest = ProduceJob(2880);
        EXPECT_EQ(rest.lastStatus, c.status);
        EXPECT_TRUE(rest.pages.size() <= 1);
    }
}

TEST_F(ImageProductionTest, BufferSmallerThanALineFailsWithoutTouchingTheJob)
{
    Start();
    m_scanner->LoadSheets(1);
    Configure(SmallPage(24, 0, false, 0));
    m_scanner->Log().Clear();
    const Band band = Produce(LineBytes(24) - 1);
    EXPECT_EQ(band.status, 1);
    EXPECT_TRUE(band.bytes.empty());
    EXPECT_TRUE(CommandCodes().empty());

    // The job is still there for a buffer that fits.
    const Job job = ProduceJob(LineBytes(24) * 7);
    EXPECT_EQ(job.lastStatus, 0);
    ASSERT_EQ(job.pages.size(), 1u);
    ExpectPatternLines(job.pages[0], 24, 0, 0, kLines);
}

TEST_F(ImageProductionTest, ProductionWithoutAConfiguredJobFails)
{
    Start();
    m_scanner->LoadSheets(1);
    const Band band = Produce(65536);
    EXPECT_EQ(band.status, 1);
    EXPECT_TRUE(band.bytes.empty());
    EXPECT_TRUE(CommandCodes().empty());
}

TEST_F(ImageProductionTest, SimplexPagesLongerThanTheWindowAreCutToThePageSize)
{
    Start();
    // Length control: the page follows the 0.8 in sheet (80 lines), while
    // the job's page is the window's 50 lines.
    m_scanner->LoadSheets(2, emulator::Sheet{800, 7});
    ConfigScanArgs settings = SmallPage(8, 0, false, 0);
    settings.LengthControl = 1;
    Configure(settings);
    const Job job = ProduceJob(LineBytes(8) * 30);
    EXPECT_EQ(job.lastStatus, 0);
    ASSERT_EQ(job.pages.size(), 2u);
    for (std::uint32_t sheet = 0; sheet < 2; ++sheet)
        ExpectPatternLines(job.pages[sheet], 8, sheet, 0, kLines);
}

TEST_F(ImageProductionTest, DuplexBackPagesLongerThanThePageBufferWaitInTheScanner)
{
    emulator::ScannerConfig config;
    config.maxBytesPerRead = 1000; // every front read ends short
    Start(config);
    // Length control with 4 in sheets: pages of 400 lines, far more than
    // the 50-line page the buffer for held back data is sized for.
    m_scanner->LoadSheets(2, emulator::Sheet{4000, 7});
    ConfigScanArgs settings = SmallPage(24, 0, true, 0);
    settings.LengthControl = 1;
    Configure(settings);
    const auto front = m_scanner->Window(false);
    const auto back = m_scanner->Window(true);
    ASSERT_TRUE(front && back);

    const Job job = ProduceJob(LineBytes(24) * 10, 5000);
    EXPECT_EQ(job.lastStatus, 0);
    ASSERT_EQ(job.pages.size(), 4u);
    for (std::uint32_t i = 0; i < 4; ++i) {
        SCOPED_TRACE("page " + std::to_string(i));
        EXPECT_EQ(job.pages[i], ExpectedPage(i % 2 ? *back : *front, i / 2, i % 2, 400));
    }
}

} // namespace

// The configuration makes the first read of a job wait for buffered data;
// once a read has come back whole, the bands that follow are read at once,
// without a buffer query or a pause.
TEST_F(ImageProductionTest, FirstPageReadsItsBandsWithoutWaitingOnceDataFlows)
{
    const std::vector<std::pair<std::string, bool>> cases = {{"simplex", false}, {"duplex", true}};
    bool started = false;
    for (const auto& [name, duplex] : cases) {
        SCOPED_TRACE(name);
        if (started)
            Restart();
        else
            Start();
        started = true;
        m_scanner->LoadSheets(2);
        Configure(SmallPage(24, 0, duplex, 0));
        const DWORD bandBytes = LineBytes(24) * 10; // five bands per page

        m_scanner->Log().Clear();
        const ULONGLONG before = m_clock->NowMs();
        const Band first = Produce(bandBytes);
        ASSERT_EQ(first.level, 1);
        const auto firstCodes = CommandCodes();
        EXPECT_EQ(std::count(firstCodes.begin(), firstCodes.end(), BYTE{0x34}), 1)
            << "the first band waits once for buffered data";
        const ULONGLONG afterFirst = m_clock->NowMs();
        EXPECT_GT(afterFirst, before);

        for (int i = 1; i < 4; ++i) {
            m_scanner->Log().Clear();
            const Band band = Produce(bandBytes);
            SCOPED_TRACE("band " + std::to_string(i));
            EXPECT_EQ(band.level, 1);
            EXPECT_EQ(band.bytes.size(), bandBytes);
            const auto codes = CommandCodes();
            EXPECT_EQ(codes, (std::vector<BYTE>{0x28})) << "one READ, no buffer query";
        }
        EXPECT_EQ(m_clock->NowMs(), afterFirst) << "no time passed after the first band";
        // A simplex page ends with the next-sheet check, as before; a duplex
        // front page is followed by its back page.
        m_scanner->Log().Clear();
        EXPECT_EQ(Produce(bandBytes).level, 2);
        const auto last = CommandCodes();
        EXPECT_EQ(std::find(last.begin(), last.end(), BYTE{0x34}) != last.end(), !duplex);
    }
}
