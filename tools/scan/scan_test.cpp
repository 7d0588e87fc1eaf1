// The whole chain across processes on a fresh system root: the emulator
// program as the plugged-in scanner, devinstall installing it through the
// co-installer (the hardware service registered as a service), a scan
// through the image pipeline with the service started out of process, and
// the removal. Also the Netpbm files the scan tool writes.
#include "emulator/ImagePattern.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"
#include "tools/scan/NetpbmFile.h"
#include "tools/scan/PageFiles.h"
#include "tools/scan/PagePattern.h"
#include "tools/scan/PipelineScan.h"
#include "tools/scan/ScanReport.h"
#include "tools/scan/ServiceSession.h"
#include "tools/scan/testing/EndToEnd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace scan::testing;

TEST_F(ScanEndToEndTest, InstalledScannerScansEverySideOfEverySheetThroughThePipeline)
{
    ChildProcess emulator({QBK_EMULATOR, "--sheets", "2", "--serial", "e2e01"});
    ASSERT_TRUE(emulator.Started());
    ASSERT_EQ(emulator.ReadLine().rfind("device ", 0), 0u);
    ASSERT_EQ(emulator.ReadLine().rfind("ready ", 0), 0u);

    std::string installed;
    ASSERT_EQ(RunProgram({QBK_DEVINSTALL, "install"}, &installed), 0) << installed;
    const std::string halPath = ReadDriverValue(installed, "HAL_PATH");
    const std::string halClass = ReadDriverValue(installed, "HAL_CLSID");
    ASSERT_TRUE(fs::is_regular_file(halPath)) << installed;
    ASSERT_EQ(halClass.size(), 38u) << installed;

    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    CLSID serviceClass{};
    ASSERT_EQ(CLSIDFromString(Utf8ToUtf16(halClass).c_str(), &serviceClass), S_OK);
    scan::ScanSettings settings;
    settings.width = 2000;
    settings.height = 3000;
    settings.dpi = 100;
    settings.bitsPerPixel = 8;
    settings.duplex = true;
    CollectedPages collected;
    scan::ScanResult result;
    bool answered = false;
    {
        scan::ServiceSession session;
        ASSERT_EQ(session.Open(serviceClass), scan::ServiceSession::Opened::Ready);
        result = scan::ScanThroughPipeline(session.Service(), settings, collected);
        answered = session.Close();
    }
    CoUninitialize();
    ASSERT_TRUE(result.Succeeded()) << result.failedStep << " 0x" << std::hex << result.result;
    EXPECT_TRUE(answered);
    EXPECT_EQ(result.configuredStatus, 0);

    // Front and back of each sheet in feeding order, every line once and in
    // order; only the last page ends the session.
    ASSERT_EQ(collected.pages.size(), 4u);
    EXPECT_EQ(result.pages, 4);
    EXPECT_EQ(collected.abandoned, 0);
    for (size_t i = 0; i < collected.pages.size(); ++i) {
        SCOPED_TRACE("page " + std::to_string(i + 1));
        const CollectedPages::Page& page = collected.pages[i];
        EXPECT_EQ(page.format.width, result.configuredWidth);
        EXPECT_EQ(page.height, result.configuredHeight);
        EXPECT_EQ(page.format.bitsPerPixel, 8);
        EXPECT_EQ(page.bytes.size(), page.format.LineBytes() * static_cast<size_t>(page.height));
        ASSERT_TRUE(page.pattern.valid);
        EXPECT_EQ(page.pattern.sheet, i / 2);
        EXPECT_EQ(page.pattern.side, i % 2);
        EXPECT_TRUE(page.pattern.linesInOrder) << "first line out of pattern: " << page.pattern.firstBadLine;
        EXPECT_EQ(page.level, i + 1 == collected.pages.size() ? 6 : 2);
    }

    std::string removed;
    ASSERT_EQ(RunProgram({QBK_DEVINSTALL, "remove"}, &removed), 0) << removed;
    EXPECT_FALSE(fs::exists(halPath));
    EXPECT_NE(removed.find("service " + fs::path(halPath).stem().string() + " deleted"), std::string::npos) << removed;
}

TEST(NetpbmFileTest, APageIsWrittenAsItsLinesComeAndItsHeightWhenWhole)
{
    plat::testing::TempSystemRoot root;
    struct Case {
        LONG bits;
        LONG width;
        const char* header;
        const char* extension;
    };
    const Case cases[] = {
        {1, 13, "P4\n13          3\n", "pbm"},
        {8, 5, "P5\n5          3\n255\n", "pgm"},
        {24, 4, "P6\n4          3\n255\n", "ppm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        const scan::PageFormat format{c.width, c.bits, 100};
        std::vector<BYTE> lines;
        for (size_t i = 0; i < format.LineBytes() * 3; ++i)
            lines.push_back(static_cast<BYTE>(i * 7));
        EXPECT_EQ(scan::NetpbmExtension(c.bits), c.extension);
        const std::string path = root.Path() + "/page." + c.extension;
        scan::NetpbmWriter writer;
        ASSERT_TRUE(writer.Open(path, format));
        ASSERT_TRUE(writer.Write(lines.data(), 1));
        ASSERT_TRUE(writer.Write(lines.data() + format.LineBytes(), 2));
        ASSERT_TRUE(writer.Finish());
        std::ifstream file(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text, std::string(c.header) + std::string(lines.begin(), lines.end()));

        // A page that will not be whole leaves no file, nor does one without lines.
        ASSERT_TRUE(writer.Open(path + ".cut", format));
        ASSERT_TRUE(writer.Write(lines.data(), 1));
        writer.Abandon();
        EXPECT_FALSE(fs::exists(path + ".cut"));
        ASSERT_TRUE(writer.Open(path + ".empty", format));
        EXPECT_FALSE(writer.Finish());
        EXPECT_FALSE(fs::exists(path + ".empty"));
    }
    scan::NetpbmWriter writer;
    EXPECT_EQ(scan::NetpbmExtension(4), "");
    EXPECT_FALSE(writer.Open(root.Path() + "/four.pgm", scan::PageFormat{8, 4, 100}));
    EXPECT_FALSE(fs::exists(root.Path() + "/four.pgm"));
}

// A page that begins in the emulator's pattern and then leaves it came
// corrupted; the first such page is kept to be told, pages without the
// pattern are none of it.
TEST(PageFilesTest, TheFirstPageThatLeavesThePatternIsKept)
{
    plat::testing::TempSystemRoot root;
    const scan::PageFormat format{64, 8, 100};
    auto line = [&](std::uint32_t sheet, std::uint32_t y) {
        std::vector<BYTE> bytes(format.LineBytes());
        emulator::RenderPatternLine(sheet, 0, y, 64, 8, bytes.data());
        return bytes;
    };
    scan::PageFiles pages(root.Path(), nullptr);
    // Sheet 0 in order, sheet 1 from line 2 on a line behind, then sheet 2
    // a line behind too, and a page of no pattern.
    const std::vector<std::vector<std::uint32_t>> lines = {{0, 1, 2, 3}, {0, 1, 1, 2}, {0, 0, 1, 2}};
    for (std::uint32_t sheet = 0; sheet < lines.size(); ++sheet) {
        ASSERT_TRUE(pages.BeginPage(format));
        for (std::uint32_t y : lines[sheet])
            ASSERT_TRUE(pages.AddLines(line(sheet, y).data(), 1));
        ASSERT_TRUE(pages.EndPage(2));
        EXPECT_EQ(pages.FirstCorruptedPage().number, sheet == 0 ? 0 : 2);
    }
    EXPECT_EQ(pages.FirstCorruptedPage().firstBadLine, 2);
    const std::vector<BYTE> blank(format.LineBytes() * 4, 0x80);
    ASSERT_TRUE(pages.BeginPage(format));
    ASSERT_TRUE(pages.AddLines(blank.data(), 4));
    ASSERT_TRUE(pages.EndPage(6));
    EXPECT_EQ(pages.FirstCorruptedPage().number, 2);
}

TEST(ScanReportTest, AFailedScanIsNamedByWhatWentWrong)
{
    auto outcome = [](HRESULT result, LONG status, bool answered, bool present) {
        scan::ScanOutcome o;
        o.result.result = result;
        o.result.failedStep = "produce";
        o.result.status = status;
        o.serviceAnswered = answered;
        o.scannerPresent = present;
        return o;
    };
    const struct {
        scan::ScanOutcome outcome;
        const char* text;
    } cases[] = {
        {outcome(S_OK, 0, true, true), ""},
        {outcome(S_OK, 8, true, true), "jam (status 8)"},
        {outcome(S_OK, 3, true, true), "double feed (status 3)"},
        {outcome(S_OK, 7, true, true), "cover open (status 7)"},
        {outcome(S_OK, 2, true, true), "no paper (status 2)"},
        {outcome(S_OK, 9, true, true), "skewed page (status 9)"},
        {outcome(S_OK, 1, true, true), "scanner error (status 1)"},
        {outcome(S_OK, 42, true, true), "scanner error (status 42)"},
        // The scanner gone explains its band's error; the service gone explains everything.
        {outcome(S_OK, 1, true, false), "scanner unplugged"},
        {outcome(E_UNEXPECTED, 0, true, false), "scanner unplugged"},
        {outcome(E_UNEXPECTED, 0, false, true), "service gone"},
        {outcome(E_UNEXPECTED, 0, true, true), "produce failed: 0x8000FFFF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scan::FailureText(c.outcome), c.text);
}

} // namespace
