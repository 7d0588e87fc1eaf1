// Pages acquired through the still-image driver as a WIA application gets
// them: the emulator program as the scanner, the hardware service out of
// process, the pipeline in this process, and wiascan's acquire command
// writing BMP files. Every file's header is checked field by field and every
// line against the emulator's page pattern.
#include "emulator/ImagePattern.h"
#include "emulator/testing/StatusAnswer.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/Sanitizers.h"
#include "tools/wiascan/BmpPageFiles.h"
#include "tools/wiascan/WiaScanCommands.h"
#include "tools/wiascan/testing/WiaServiceTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace {

using emulator::testing::StatusValue;
using wiascan::testing::WiaServiceTest;

// Most acquisitions here: 100 dpi, 8.5 in by 2 in. The scanner's lines hold
// a multiple of 16 pixels: 848, not the item's 850.
const std::vector<std::string> kSmallPage = {"dpi=100", "width=850", "height=200"};
constexpr LONG kPixels = 848;
constexpr LONG kLines = 200;
constexpr LONG kPixelsPerMetre = 3938; // 100 dpi

struct BmpFile {
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    std::vector<RGBQUAD> palette;
    std::vector<BYTE> bytes; // the whole file
};

BmpFile ReadBmp(const std::string& path)
{
    BmpFile bmp;
    std::ifstream in(path, std::ios::binary);
    bmp.bytes.assign(std::istreambuf_iterator<char>(in), {});
    if (bmp.bytes.size() < sizeof bmp.file + sizeof bmp.info)
        return bmp;
    std::memcpy(&bmp.file, bmp.bytes.data(), sizeof bmp.file);
    std::memcpy(&bmp.info, bmp.bytes.data() + sizeof bmp.file, sizeof bmp.info);
    const size_t entries = bmp.info.biBitCount <= 8 ? size_t{1} << bmp.info.biBitCount : 0;
    bmp.palette.resize(entries);
    const size_t at = sizeof bmp.file + sizeof bmp.info;
    if (entries > 0 && bmp.bytes.size() >= at + entries * sizeof(RGBQUAD))
        std::memcpy(bmp.palette.data(), bmp.bytes.data() + at, entries * sizeof(RGBQUAD));
    return bmp;
}

// A line of the pattern as a bitmap holds it: blue first, 0 = black.
std::vector<BYTE> BitmapLine(std::uint32_t sheet, std::uint32_t side, std::uint32_t y, int bits)
{
    std::vector<BYTE> line(static_cast<size_t>(kPixels) * static_cast<size_t>(bits) / 8);
    emulator::RenderPatternLine(sheet, side, y, kPixels, bits, line.data());
    if (bits == 1) {
        for (BYTE& b : line)
            b = static_cast<BYTE>(~b);
    } else if (bits == 24) {
        for (size_t i = 0; i + 2 < line.size(); i += 3)
            std::swap(line[i], line[i + 2]);
    }
    return line;
}

// The header field by field, then every line (bottom-up) against the page
// of that sheet and side.
void ExpectPage(const BmpFile& bmp, std::uint32_t sheet, std::uint32_t side, int bits, LONG lines = kLines)
{
    const LONG stride = (kPixels * bits + 31) / 32 * 4;
    const DWORD paletteBytes = bits <= 8 ? (1u << bits) * 4 : 0;
    const DWORD offBits = 14 + 40 + paletteBytes;
    EXPECT_EQ(+bmp.file.bfType, 0x4D42);
    EXPECT_EQ(+bmp.file.bfSize, offBits + static_cast<DWORD>(stride * lines));
    EXPECT_EQ(+bmp.file.bfSize, bmp.bytes.size());
    EXPECT_EQ(+bmp.file.bfReserved1, 0);
    EXPECT_EQ(+bmp.file.bfReserved2, 0);
    EXPECT_EQ(+bmp.file.bfOffBits, offBits);
    EXPECT_EQ(bmp.info.biSize, 40u);
    EXPECT_EQ(bmp.info.biWidth, kPixels);
    EXPECT_EQ(bmp.info.biHeight, lines);
    EXPECT_EQ(bmp.info.biPlanes, 1);
    EXPECT_EQ(bmp.info.biBitCount, bits);
    EXPECT_EQ(bmp.info.biCompression, BI_RGB);
    EXPECT_EQ(bmp.info.biSizeImage, static_cast<DWORD>(stride * lines));
    EXPECT_EQ(bmp.info.biXPelsPerMeter, kPixelsPerMetre);
    EXPECT_EQ(bmp.info.biYPelsPerMeter, kPixelsPerMetre);
    EXPECT_EQ(bmp.info.biClrUsed, paletteBytes / 4);
    EXPECT_EQ(bmp.info.biClrImportant, 0u);
    for (size_t i = 0; i < bmp.palette.size(); ++i) {
        const BYTE level = static_cast<BYTE>(i * 255 / (bmp.palette.size() - 1));
        const RGBQUAD& entry = bmp.palette[i];
        EXPECT_TRUE(entry.rgbRed == level && entry.rgbGreen == level && entry.rgbBlue == level &&
                    entry.rgbReserved == 0)
            << "palette entry " << i;
    }
    if (bmp.bytes.size() != bmp.file.bfSize)
        return;
    for (LONG row = 0; row < lines; ++row) {
        const std::uint32_t y = static_cast<std::uint32_t>(lines - 1 - row);
        const std::vector<BYTE> expected = BitmapLine(sheet, side, y, bits);
        const BYTE* line = bmp.bytes.data() + offBits + static_cast<size_t>(row) * static_cast<size_t>(stride);
        if (std::memcmp(line, expected.data(), expected.size()) != 0) {
            std::vector<BYTE> raw(line, line + expected.size());
            if (bits == 1) {
                for (BYTE& b : raw)
                    b = static_cast<BYTE>(~b);
            }
            const emulator::DecodedLine found = emulator::DecodePatternLine(raw.data(), kPixels, bits);
            ADD_FAILURE() << "sheet " << sheet << " side " << side << ": line " << y << " differs; it reads as "
                          << (found.valid ? "page " + std::to_string(found.page()) + " side " +
                                                std::to_string(found.side()) + " line " + std::to_string(found.line)
                                          : std::string("no line of the pattern"));
            return;
        }
    }
}

class WiaAcquireTest : public WiaServiceTest {
protected:
    struct Run {
        HRESULT result = E_UNEXPECTED;
        std::string output;
        std::vector<BmpFile> pages;
    };

    // The acquire command into a fresh folder, for a page of the given
    // settings; its pages in order.
    Run Acquire(std::vector<std::string> options, const std::vector<std::string>& page = kSmallPage)
    {
        const std::filesystem::path folder =
            std::filesystem::path(m_systemRoot.Path()) / ("scans" + std::to_string(++m_runs));
        std::filesystem::create_directories(folder);
        std::vector<std::string> words = {"acquire", folder.string()};
        // The items keep what the last run wrote: every run says its pages
        // and sides.
        for (const char* setting : {"pages=", "duplex="}) {
            if (std::none_of(options.begin(), options.end(),
                             [&](const std::string& o) { return o.rfind(setting, 0) == 0; }))
                words.push_back(std::string(setting) + "0");
        }
        words.insert(words.end(), options.begin(), options.end());
        words.insert(words.end(), page.begin(), page.end());
        Run run;
        run.result = wiascan::RunCommand(*m_host, words, &run.output);
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().string());
        std::sort(names.begin(), names.end());
        for (size_t i = 0; i < names.size(); ++i) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "page-%03zu.bmp", i + 1);
            EXPECT_EQ(std::filesystem::path(names[i]).filename().string(), expected) << "no part files are left";
            run.pages.push_back(ReadBmp(names[i]));
        }
        return run;
    }

    // Every progress line "page N: P%" of the output.
    static std::vector<int> Percents(const std::string& output)
    {
        std::vector<int> found;
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("page ", 0) == 0 && !line.empty() && line.back() == '%')
                found.push_back(std::stoi(line.substr(line.find(": ") + 2)));
        }
        return found;
    }

    // The answer of every transfer, from the lines "transfer N: 0xXXXXXXXX".
    static std::vector<HRESULT> Answers(const std::string& output)
    {
        std::vector<HRESULT> found;
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            const size_t at = line.find(": 0x");
            if (line.rfind("transfer ", 0) == 0 && at != std::string::npos)
                found.push_back(static_cast<HRESULT>(std::stoul(line.substr(at + 2), nullptr, 16)));
        }
        return found;
    }

    int m_runs = 0;
};

// Each transfer's answer is what an application goes by: S_OK for more to
// come, and the end of the job where it ends (the end of the media, or, for
// file transfers of one page each, the empty feeder found by the next one).
TEST_F(WiaAcquireTest, PagesOfEveryKindMatchTheScannersPattern)
{
    constexpr HRESULT kEnd = WIA_STATUS_END_OF_MEDIA;
    constexpr HRESULT kEmpty = WIA_ERROR_PAPER_EMPTY;
    // clang-format off
    struct Case {
        const char* what;
        std::vector<std::string> options;
        int sheets;
        std::vector<HRESULT> answers;  // of the transfers, in order
        HRESULT result;
        bool duplex;
        int bits;
        size_t pages;
    } cases[] = {
        {"callback, all pages, colour", {"callback", "type=color"}, 2, {kEnd}, kEnd, false, 24, 2},
        {"callback, duplex, grey", {"callback", "type=gray", "duplex=1"}, 2, {kEnd}, kEnd, true, 8, 4},
        {"callback, two of three pages, black and white", {"callback", "type=bw", "pages=2"}, 3, {S_OK}, S_OK,
         false, 1, 2},
        {"callback, one duplex sheet of two", {"callback", "type=color", "duplex=1", "pages=1"}, 2, {S_OK, kEnd},
         kEnd, true, 24, 2},
        {"callback, the driver's own buffer", {"callback", "type=gray", "driver-buffer"}, 1, {kEnd}, kEnd, false, 8,
         1},
        {"files, all pages, black and white", {"file", "type=bw"}, 2, {S_OK, S_OK, kEmpty}, kEnd, false, 1, 2},
        {"files, duplex, colour: each back a page like any other", {"file", "type=color", "duplex=1"}, 3,
         {S_OK, S_OK, S_OK, S_OK, S_OK, S_OK, kEmpty}, kEnd, true, 24, 6},
        {"files, one duplex sheet of two, grey", {"file", "type=gray", "duplex=1", "pages=1"}, 2, {S_OK, kEnd},
         kEnd, true, 8, 2},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ControlScanner("load " + std::to_string(c.sheets));
        const Run run = Acquire(c.options);
        EXPECT_EQ(Answers(run.output), c.answers) << run.output;
        EXPECT_EQ(run.result, c.result) << run.output;
        ASSERT_EQ(run.pages.size(), c.pages) << run.output;
        for (size_t i = 0; i < run.pages.size(); ++i) {
            SCOPED_TRACE("page " + std::to_string(i + 1));
            const auto sheet = static_cast<std::uint32_t>(c.duplex ? i / 2 : i);
            ExpectPage(run.pages[i], sheet, c.duplex ? static_cast<std::uint32_t>(i % 2) : 0, c.bits);
        }
        for (int percent : Percents(run.output))
            EXPECT_LE(percent, c.options[0] == std::string("file") ? 100 : 95) << run.output;
    }
}

// A scanner's READ may end anywhere, inside a line too. Whatever byte
// counts the reads end at, each transfer's page has every line as scanned.
// One test for each transfer, so that they run side by side: every read
// that ends short makes the service wait for data (500 ms).
class WiaShortReadTest : public WiaAcquireTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(WiaShortReadTest, ReadsEndingAtOddByteCountsGiveEveryLineAsScanned)
{
    // 60 lines of 106, 848 and 2544 bytes, asked for at most 64 KiB at a time.
    const std::vector<std::string> page = {"dpi=100", "width=850", "height=60"};
    const struct {
        const char* tymed;
        const char* type;
        int bits;
        const char* maxRead;
    } cases[] = {
        {"callback", "bw", 1, "2001"}, {"callback", "gray", 8, "20001"}, {"callback", "color", 24, "60001"},
        {"file", "bw", 1, "2543"},     {"file", "gray", 8, "16963"},     {"file", "color", 24, "55001"},
    };
    for (const auto& c : cases) {
        if (GetParam() != c.tymed)
            continue;
        SCOPED_TRACE(std::string(c.type) + ", at most " + c.maxRead + " bytes a read");
        ControlScanner(std::string("max-read ") + c.maxRead);
        ControlScanner("load 1");
        const long cappedBefore = StatusValue(ControlScanner("status"), "capped-reads");
        const Run run = Acquire({c.tymed, std::string("type=") + c.type}, page);
        EXPECT_EQ(run.result, WIA_STATUS_END_OF_MEDIA) << run.output;
        EXPECT_GT(StatusValue(ControlScanner("status"), "capped-reads"), cappedBefore) << "no read ended short";
        ASSERT_EQ(run.pages.size(), 1u) << run.output;
        ExpectPage(run.pages[0], 0, 0, c.bits, 60);
    }
}

INSTANTIATE_TEST_SUITE_P(EachTransfer, WiaShortReadTest, ::testing::Values("callback", "file"),
                         [](const ::testing::TestParamInfo<std::string>& testInfo) { return testInfo.param; });

TEST_F(WiaAcquireTest, OneDuplexSheetTakesTwoTransfers)
{
    ControlScanner("load 2");
    const Run run = Acquire({"callback", "type=gray", "duplex=1", "pages=1"});
    EXPECT_NE(run.output.find("transfer 1: 0x00000000\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("transfer 2: 0x00210001 (end of media)\n"), std::string::npos) << run.output;
    ASSERT_EQ(run.pages.size(), 2u);
    // The next sheet is still in the feeder, and the next transfer scans it.
    const Run next = Acquire({"callback", "type=gray", "duplex=1", "pages=1"});
    ASSERT_EQ(next.pages.size(), 2u) << next.output;
    ExpectPage(next.pages[0], 1, 0, 8);
    ExpectPage(next.pages[1], 1, 1, 8);
}

// A client may take the front of a one-sheet duplex job and leave without
// the back. The next client's one-sheet job is its own: configured anew, it
// starts with a front.
TEST_F(WiaAcquireTest, AClientLeavingAfterTheFrontLeavesTheNextClientsJobWhole)
{
    ControlScanner("load 3");
    ASSERT_EQ(S_OK, Write(m_root, {{WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER | DUPLEX}, {WIA_DPS_PAGES, 1}}));
    ASSERT_EQ(S_OK, Write(m_feeder, {{WIA_IPS_XRES, 100}, {WIA_IPS_YRES, 100}}));
    ASSERT_EQ(S_OK, Write(m_feeder, {{WIA_IPS_XEXTENT, 850},
                                     {WIA_IPS_YEXTENT, 200},
                                     {WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE},
                                     {WIA_IPA_TYMED, TYMED_CALLBACK}}));
    {
        const std::string folder = m_systemRoot.Path() + "/front";
        std::filesystem::create_directories(folder);
        wiascan::BmpPageFiles files(folder, [](const std::string&) {});
        wiascan::CallbackPages callback(files);
        MINIDRV_TRANSFER_CONTEXT context{};
        ASSERT_EQ(S_OK, wiasGetImageInformation(m_feeder->Context(), WIAS_INIT_CONTEXT, &context));
        std::vector<BYTE> buffer(65536);
        context.pIWiaMiniDrvCallBack = &callback;
        context.bTransferDataCB = TRUE;
        context.hFile = -1;
        context.pTransferBuffer = buffer.data();
        context.lBufferSize = static_cast<LONG>(buffer.size());
        context.bClassDrvAllocBuf = TRUE;
        ASSERT_EQ(S_OK, m_host->Transfer(*m_feeder, &context));
        ASSERT_EQ(files.Pages(), 1);
    }
    ASSERT_EQ(S_OK, m_host->Disconnect());
    ASSERT_EQ(S_OK, m_host->Connect());

    const Run next = Acquire({"callback", "type=gray", "duplex=1", "pages=1"});
    EXPECT_EQ(Answers(next.output), (std::vector<HRESULT>{S_OK, WIA_STATUS_END_OF_MEDIA})) << next.output;
    ASSERT_EQ(next.pages.size(), 2u) << next.output;
    ExpectPage(next.pages[0], 1, 0, 8);
    ExpectPage(next.pages[1], 1, 1, 8);
}

TEST_F(WiaAcquireTest, FaultsReachTheApplicationWithTheWholePagesOnly)
{
    struct Case {
        const char* what;
        std::vector<std::string> setup;
        std::vector<std::string> options;
        HRESULT result;
        size_t pages;
    } cases[] = {
        {"empty feeder", {"load 0"}, {"callback"}, WIA_ERROR_PAPER_EMPTY, 0},
        {"empty feeder, file", {"load 0"}, {"file"}, WIA_ERROR_PAPER_EMPTY, 0},
        {"jam in the second page", {"load 3", "fault jam sheet=1 offset=2000"}, {"callback"}, WIA_ERROR_PAPER_JAM, 1},
        {"jam in the second file", {"load 3", "fault jam sheet=1 offset=2000"}, {"file"}, WIA_ERROR_PAPER_JAM, 1},
        {"jam in the first page", {"load 3", "fault jam sheet=0 offset=2000"}, {"callback"}, WIA_ERROR_PAPER_JAM, 0},
        {"cover opened in the second page",
         {"load 3", "fault cover-open sheet=1 offset=2000"},
         {"callback"},
         WIA_ERROR_COVER_OPEN,
         1},
        // The driver does not ask the scanner to detect double feeds.
        {"double feed goes through",
         {"load 2", "fault double-feed sheet=1 offset=2000"},
         {"callback"},
         WIA_STATUS_END_OF_MEDIA,
         2},
        {"cancelled at the second page", {"load 3"}, {"callback", "cancel=2"}, S_FALSE, 1},
        {"a file page larger than the buffer", {"load 1"}, {"file", "type=color", "buffer=100000"}, E_OUTOFMEMORY, 0},
        {"a buffer of no bytes", {"load 1"}, {"callback", "buffer=0"}, E_OUTOFMEMORY, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& line : c.setup)
            ControlScanner(line);
        const Run run = Acquire(c.options);
        EXPECT_EQ(run.result, c.result) << run.output;
        ASSERT_EQ(run.pages.size(), c.pages) << run.output;
        for (size_t i = 0; i < run.pages.size(); ++i)
            ExpectPage(run.pages[i], static_cast<std::uint32_t>(i), 0, 1);
        ControlScanner("cover closed");
    }
}

TEST_F(WiaAcquireTest, TheProgramScansIntoFilesShowingProgress)
{
    ControlScanner("load 1");
    const std::string folder = m_systemRoot.Path() + "/program";
    std::filesystem::create_directories(folder);
    std::vector<std::string> command = {QBK_WIASCAN, "acquire", folder, "file", "type=color", "duplex=1"};
    command.insert(command.end(), kSmallPage.begin(), kSmallPage.end());
    plat::testing::ChildProcess program(command, plat::testing::ChildPipes::WithErrors);
    const std::string output = program.RestOfOutput();
    ASSERT_EQ(program.Wait(), 0) << output;
    // Not a terminal: a progress line at each quarter of a page at most.
    std::istringstream lines(output);
    int progressLines = 0;
    for (std::string line; std::getline(lines, line);)
        progressLines += line.rfind("scanning page ", 0) == 0 ? 1 : 0;
    EXPECT_GE(progressLines, 2) << output;
    EXPECT_LE(progressLines, 8) << output;
    EXPECT_NE(output.find("scanning page 1: 100%"), std::string::npos) << output;
    EXPECT_NE(output.find("2 pages scanned into " + folder + ": page-001.bmp to page-002.bmp\n"), std::string::npos)
        << output;
    EXPECT_NE(output.find("acquire: 0x00210001 (end of media)"), std::string::npos) << output;
    ExpectPage(ReadBmp(folder + "/page-001.bmp"), 0, 0, 24);
    ExpectPage(ReadBmp(folder + "/page-002.bmp"), 0, 1, 24);
}

// Ctrl-C (or SIGTERM) while pages come in: the callback cancels the
// transfer (S_FALSE), the program ends with status 130, the pages already
// whole stay, no part of a page is left, and the next run scans.
TEST_F(WiaAcquireTest, AnInterruptCancelsTheTransferKeepingTheWholePages)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        ControlScanner("load 4");
        const std::string folder = m_systemRoot.Path() + "/interrupted" + std::to_string(signal);
        std::filesystem::create_directories(folder);
        std::vector<std::string> command = {QBK_WIASCAN,  "acquire",  folder,   "callback",
                                            "type=color", "duplex=0", "pages=0"};
        command.insert(command.end(), kSmallPage.begin(), kSmallPage.end());
        plat::testing::ChildProcess program(command, plat::testing::ChildPipes::WithErrors);
        const std::string seen = program.ReadThrough("scanning page 2:");
        ASSERT_NE(seen.find("scanning page 2:"), std::string::npos) << seen;
        program.Signal(signal);
        const std::string rest = program.RestOfOutput();
        EXPECT_EQ(program.Wait(), 130) << seen << rest;
        EXPECT_NE(rest.find("wiascan: interrupted"), std::string::npos) << rest;
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            files.push_back(entry.path().filename().string());
        std::sort(files.begin(), files.end());
        ASSERT_FALSE(files.empty());
        EXPECT_LT(files.size(), 4u) << "the transfer went on";
        for (size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(files[i], "page-00" + std::to_string(i + 1) + ".bmp") << "no part file is left";
            ExpectPage(ReadBmp(folder + "/" + files[i]), static_cast<std::uint32_t>(i), 0, 24);
        }
    }
    ControlScanner("load 1");
    const std::string folder = m_systemRoot.Path() + "/after";
    std::filesystem::create_directories(folder);
    std::vector<std::string> command = {QBK_WIASCAN, "acquire", folder, "callback", "type=color", "duplex=0"};
    command.insert(command.end(), kSmallPage.begin(), kSmallPage.end());
    std::string output;
    EXPECT_EQ(plat::testing::RunProgram(command, &output), 0) << output;
}

// Faults of the scanner as a user of the program meets them, each set
// through the emulator's control command, for each transfer (side by side).
// Each ends with the fault named in words and exit 1; a callback page the
// fault cut short is named with the line it got to (a file transfer's page
// reaches no file before it is whole); only whole pages are left under page
// names, each once; and the next scan works.
class WiaProgramFaultTest : public WiaAcquireTest, public ::testing::WithParamInterface<std::string> {
protected:
    // Grey pages of 848 by 600 lines, 508800 bytes, more than one band of
    // 64 KiB, so that a fault can strike after some of a page has come.
    // `output` holds the error output too, where a failure to start is told.
    int AcquireProgram(const std::string& folder, std::string* output)
    {
        std::filesystem::create_directories(folder);
        plat::testing::ChildProcess program({QBK_WIASCAN, "acquire", folder, GetParam(), "type=gray", "duplex=0",
                                             "pages=0", "dpi=100", "width=850", "height=600"},
                                            plat::testing::ChildPipes::WithErrors);
        *output = program.RestOfOutput();
        return program.Wait();
    }

    // A control line through the emulator program, which reaches the
    // scanner unplugged too.
    void Control(const std::string& line)
    {
        std::vector<std::string> args = {QBK_EMULATOR, "control", "--serial", "wia01"};
        std::istringstream words(line);
        for (std::string word; words >> word;)
            args.push_back(word);
        std::string answer;
        EXPECT_EQ(plat::testing::RunProgram(args, &answer), 0) << line << ": " << answer;
    }

    // The service serves the scanner again once it has seen it come back:
    // asked with an empty feeder until it says so, not an off-line scanner.
    void WaitUntilTheScannerServes()
    {
        Control("load 0");
        std::string output;
        for (int attempt = 0; attempt < 300; ++attempt) {
            if (AcquireProgram(m_systemRoot.Path() + "/probe", &output) == 1 &&
                output.find("acquire: 0x80210003 (paper empty)") != std::string::npos)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        FAIL() << "the scanner is not served again: " << output;
    }
};

TEST_P(WiaProgramFaultTest, EachFaultIsNamedAndOnlyWholePagesStay)
{
    const bool callback = GetParam() == "callback";
    const struct {
        const char* name;
        std::vector<std::string> setup; // control lines
        const char* said;               // a line of the output
        const char* cut;                // the line naming the page cut short (callback)
        size_t pages;                   // whole pages left
        std::vector<std::string> after; // control lines that end the fault
    } cases[] = {
        {"jam mid-page", {"load 2", "fault jam sheet=1 offset=100000"}, "acquire: 0x80210002 (paper jam)", "", 1, {}},
        {"cover opened mid-page",
         {"load 2", "fault cover-open sheet=1 offset=100000"},
         "acquire: 0x80210016 (cover open)",
         "page 2 cut short at line 77: 0x80210016 (cover open); not kept",
         1,
         {"cover closed"}},
        {"stalled READ",
         {"load 2", "fault stall-in opcode=0x28 sheet=1 offset=100000"},
         "acquire: 0x80210001 (scanner error)",
         "page 2 cut short at line 77: 0x80210001 (scanner error); not kept",
         1,
         {}},
        {"unplugged mid-page",
         {"load 2", "fault unplug sheet=1 offset=100000"},
         "acquire: 0x80210005 (scanner off-line)",
         "",
         1,
         {"replug"}},
        {"no paper at the start", {"load 0"}, "acquire: 0x80210003 (paper empty)", "", 0, {}},
        {"unplugged before the scan",
         {"load 2", "unplug"},
         "wiascan: the scanner is not on line: is it plugged in and switched on? (IStiUSD::Initialize failed: "
         "0x80004005)",
         "",
         0,
         {"replug"}},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& line : c.setup)
            Control(line);
        const std::string folder = m_systemRoot.Path() + "/fault" + std::to_string(++run);
        std::string output;
        EXPECT_EQ(AcquireProgram(folder, &output), 1) << output;
        EXPECT_NE(output.find(c.said + std::string("\n")), std::string::npos) << output;
        const bool cut = callback && *c.cut;
        if (cut) {
            EXPECT_NE(output.find(c.cut + std::string("\n")), std::string::npos) << output;
        }
        EXPECT_EQ(output.find("cut short") != std::string::npos, cut) << output;
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            files.push_back(entry.path().filename().string());
        std::sort(files.begin(), files.end());
        ASSERT_EQ(files.size(), c.pages) << output;
        for (size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(files[i], "page-00" + std::to_string(i + 1) + ".bmp");
            ExpectPage(ReadBmp(folder + "/" + files[i]), static_cast<std::uint32_t>(i), 0, 8, 600);
        }
        for (const std::string& line : c.after)
            Control(line);
        if (!c.after.empty())
            WaitUntilTheScannerServes();
    }
    Control("load 1");
    std::string output;
    EXPECT_EQ(AcquireProgram(m_systemRoot.Path() + "/after", &output), 0) << output;
    ExpectPage(ReadBmp(m_systemRoot.Path() + "/after/page-001.bmp"), 0, 0, 8, 600);
}

INSTANTIATE_TEST_SUITE_P(EachTransfer, WiaProgramFaultTest, ::testing::Values("callback", "file"),
                         [](const ::testing::TestParamInfo<std::string>& testInfo) { return testInfo.param; });

// The program keeps one transfer buffer, or the one page a file transfer
// takes, never its pages: five sheets take no more memory than one.
TEST_F(WiaAcquireTest, TheProgramsMemoryIsFlatInThePages)
{
    if (plat::testing::kAddressSanitizer)
        GTEST_SKIP() << "freed memory stays in the sanitizer's quarantine";
    // Letter in colour at 200 dpi: pages of 11.2 MB.
    const auto peakKiB = [&](const std::string& kind, int sheets) {
        ControlScanner("load " + std::to_string(sheets));
        const std::string folder = m_systemRoot.Path() + "/flat-" + kind + std::to_string(sheets);
        std::filesystem::create_directories(folder);
        plat::testing::ChildProcess program({QBK_WIASCAN, "acquire", folder, kind, "type=color", "duplex=1", "pages=0",
                                             "dpi=200", "width=1700", "height=2200"},
                                            plat::testing::ChildPipes::WithErrors);
        const std::string output = program.RestOfOutput();
        rusage usage{};
        EXPECT_EQ(program.Wait(&usage), 0) << output;
        EXPECT_NE(output.find(std::to_string(2 * sheets) + " pages scanned into "), std::string::npos) << output;
        return usage.ru_maxrss;
    };
    // A band cached in the heap of a second thread that happened to take
    // one moves a run's peak by up to about 5 MiB; far below a page, of
    // which five sheets hold eight more than one sheet.
    constexpr long kBandSlackKiB = 8 * 1024;
    for (const std::string kind : {"callback", "file"}) {
        SCOPED_TRACE(kind);
        const long oneSheet = peakKiB(kind, 1);
        const long fiveSheets = peakKiB(kind, 5);
        EXPECT_LT(fiveSheets - oneSheet, kBandSlackKiB)
            << "one sheet " << oneSheet << " KiB, five " << fiveSheets << " KiB";
    }
}

} // namespace
