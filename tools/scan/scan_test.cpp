// The whole chain across processes on a fresh system root: the emulator
// program as the plugged-in scanner, devinstall installing it through the
// co-installer (the hardware service registered as a service), a scan
// through the image pipeline with the service started out of process, and
// the removal. Also the Netpbm files the scan tool writes.
#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"
#include "tools/scan/NetpbmFile.h"
#include "tools/scan/PagePattern.h"
#include "tools/scan/PipelineScan.h"
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
    scan::ScanSettings settings;
    settings.width = 2000;
    settings.height = 3000;
    settings.dpi = 100;
    settings.bitsPerPixel = 8;
    settings.duplex = true;
    std::vector<scan::ScannedPage> announced;
    const scan::ScanResult result = scan::ScanThroughPipeline(
        Utf8ToUtf16(halClass), settings, [&](const scan::ScannedPage& page) { announced.push_back(page); });
    CoUninitialize();
    ASSERT_EQ(result.result, S_OK) << result.failure;
    EXPECT_EQ(result.configuredStatus, 0);

    // Front and back of each sheet in feeding order, every line once and in
    // order; only the last page ends the session.
    ASSERT_EQ(result.pages.size(), 4u);
    EXPECT_EQ(announced.size(), 4u);
    for (size_t i = 0; i < result.pages.size(); ++i) {
        SCOPED_TRACE("page " + std::to_string(i + 1));
        const scan::ScannedPage& page = result.pages[i];
        EXPECT_EQ(page.width, result.configuredWidth);
        EXPECT_EQ(page.height, result.configuredHeight);
        EXPECT_EQ(page.bitsPerPixel, 8);
        EXPECT_EQ(page.bytes.size(), page.LineBytes() * static_cast<size_t>(page.height));
        const scan::PagePattern pattern = scan::ReadPagePattern(page);
        ASSERT_TRUE(pattern.valid);
        EXPECT_EQ(pattern.sheet, i / 2);
        EXPECT_EQ(pattern.side, i % 2);
        EXPECT_TRUE(pattern.linesInOrder) << "first line out of pattern: " << pattern.firstBadLine;
        EXPECT_EQ(page.endLevel, i + 1 == result.pages.size() ? 6 : 2);
    }

    std::string removed;
    ASSERT_EQ(RunProgram({QBK_DEVINSTALL, "remove"}, &removed), 0) << removed;
    EXPECT_FALSE(fs::exists(halPath));
    EXPECT_NE(removed.find("service " + fs::path(halPath).stem().string() + " deleted"), std::string::npos)
        << removed;
}

TEST(NetpbmFileTest, EachDepthGetsItsHeaderAndTheLinesAsTheyAre)
{
    plat::testing::TempSystemRoot root;
    struct Case {
        LONG bits;
        LONG width;
        const char* header;
        const char* extension;
    };
    const Case cases[] = {
        {1, 13, "P4\n13 3\n", "pbm"},
        {8, 5, "P5\n5 3\n255\n", "pgm"},
        {24, 4, "P6\n4 3\n255\n", "ppm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        scan::ScannedPage page;
        page.width = c.width;
        page.height = 3;
        page.bitsPerPixel = c.bits;
        for (size_t i = 0; i < page.LineBytes() * 3; ++i)
            page.bytes.push_back(static_cast<BYTE>(i * 7));
        EXPECT_EQ(scan::NetpbmExtension(c.bits), c.extension);
        const std::string path = root.Path() + "/page." + c.extension;
        ASSERT_TRUE(scan::WriteNetpbm(path, page));
        std::ifstream file(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text, std::string(c.header) + std::string(page.bytes.begin(), page.bytes.end()));

        // Bytes that do not make up the stated lines are refused.
        page.bytes.pop_back();
        EXPECT_FALSE(scan::WriteNetpbm(path + ".short", page));
        EXPECT_FALSE(fs::exists(path + ".short"));
    }
    scan::ScannedPage fourBit;
    fourBit.width = 8;
    fourBit.height = 1;
    fourBit.bitsPerPixel = 4;
    fourBit.bytes.assign(4, 0);
    EXPECT_EQ(scan::NetpbmExtension(4), "");
    EXPECT_FALSE(scan::WriteNetpbm(root.Path() + "/four.pgm", fourBit));
}

} // namespace
