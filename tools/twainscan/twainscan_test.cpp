// The installed data source as an outside application meets it: the
// emulator program as the scanner, devinstall putting the source into a
// data source manager's folder, and twainscan, which links nothing of ours
// but the manager, listing it and scanning into TIFF files read back here
// with libtiff.
#include "tools/twainscan/testing/InstalledSourceTest.h"

#include <tiffio.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;
using twainscan::testing::InstalledSourceTest;

struct TiffPage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t samples = 0;
    bool whole = false;  // every line decodes
};

TiffPage ReadTiff(const std::string& path)
{
    TiffPage page;
    std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.c_str(), "r"), &TIFFClose);
    if (!tiff)
        return page;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &page.width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &page.height);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &page.bitsPerSample);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &page.samples);
    std::unique_ptr<std::uint8_t, void (*)(void*)> line(static_cast<std::uint8_t*>(_TIFFmalloc(TIFFScanlineSize(tiff.get()))),
                                                        &_TIFFfree);
    page.whole = line != nullptr;
    for (std::uint32_t y = 0; page.whole && y < page.height; ++y)
        page.whole = TIFFReadScanline(tiff.get(), line.get(), y, 0) == 1;
    return page;
}

bool IsX86_64Elf(const std::string& path)
{
    unsigned char header[20] = {};
    std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(header), sizeof header);
    return header[0] == 0x7F && header[1] == 'E' && header[2] == 'L' && header[3] == 'F' && header[4] == 2 &&
           header[18] == 62;  // ELFCLASS64, EM_X86_64
}

TEST_F(InstalledSourceTest, TheInstalledSourceIsAListedRegularLibraryInTheManagersFolder)
{
    Install(1);
    const fs::path copy = ManagerFolder() / "RNX" / "QBK24_0000.ds";
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(copy))) << copy;
    EXPECT_TRUE(IsX86_64Elf(copy.string()));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(copy.parent_path() / "libplatform.so")));
    EXPECT_EQ(ReadDriverValue("TWAIN_DS_PATH"), copy.string());

    std::string output;
    ASSERT_EQ(TwainScan({"--list"}, &output), 0) << output;
    EXPECT_NE(output.find(": Quorvant / Quillbox / Quillbox K24 (protocol "), std::string::npos) << output;
}

struct ScanCase {
    const char* xfer;
    const char* pixel;
    std::uint16_t bitsPerSample;
    std::uint16_t samples;
};

const ScanCase kScanCases[] = {
    {"native", "bw", 1, 1},
    {"memory", "gray", 8, 1},
    {"file", "color", 8, 3},
};

TEST_F(InstalledSourceTest, TwainScanWritesEverySideOfEverySheetByEachMechanism)
{
    Install(0);
    for (const ScanCase& scan : kScanCases) {
        SCOPED_TRACE(scan.xfer);
        LoadSheets(2);
        const fs::path out = fs::path(m_root.Path()) / (std::string("out-") + scan.xfer);
        fs::create_directories(out);
        std::string output;
        ASSERT_EQ(TwainScan({"--xfer", scan.xfer, "--pixel", scan.pixel, "--dpi", "100", "--duplex", "--out",
                             out.string()},
                            &output),
                  0)
            << output;
        EXPECT_NE(output.find("4 pages scanned"), std::string::npos) << output;
        for (int number = 1; number <= 4; ++number) {
            SCOPED_TRACE(number);
            const std::string path = (out / ("page-00" + std::to_string(number) + ".tif")).string();
            EXPECT_NE(output.find("page " + std::to_string(number) + ": "), std::string::npos) << output;
            const TiffPage page = ReadTiff(path);
            EXPECT_TRUE(page.whole) << path;
            EXPECT_GT(page.width, 0u);
            EXPECT_GT(page.height, 0u);
            EXPECT_EQ(page.bitsPerSample, scan.bitsPerSample);
            EXPECT_EQ(page.samples, scan.samples);
        }
        EXPECT_FALSE(fs::exists(out / "page-005.tif"));
    }
}

TEST_F(InstalledSourceTest, AnEmptyFeederStopsTheScanWithItsReason)
{
    Install(0);
    std::string output;
    EXPECT_EQ(TwainScan({"--out", m_root.Path()}, &output), 1) << output;
    EXPECT_NE(output.find("twainscan: the source asked to be closed before any image was ready"), std::string::npos)
        << output;
    EXPECT_FALSE(fs::exists(fs::path(m_root.Path()) / "page-001.tif"));
}

} // namespace
