// twainscan's page writer on its own: pages of each pixel type go to the
// file in strips of tens of kilobytes, one write each (not a write per
// row), and read back with libtiff row for row.
#include "tools/twainscan/TiffPageWriter.h"

#include <tiffio.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Write calls this process has made (all of them: the test is one thread).
long WriteCalls()
{
    std::ifstream io("/proc/self/io");
    for (std::string name; io >> name;) {
        long value = 0;
        io >> value;
        if (name == "syscw:")
            return value;
    }
    return -1;
}

// A row of the page as the file holds it: bytes that differ from row to row.
std::vector<std::uint8_t> FileRow(size_t bytes, std::uint32_t y)
{
    std::vector<std::uint8_t> row(bytes);
    for (size_t x = 0; x < bytes; ++x)
        row[x] = static_cast<std::uint8_t>(x * 7 + y * 13);
    return row;
}

struct WriterCase {
    const char* name;
    int bitsPerPixel;
    bool bgr;
};

class TiffPageWriterTest : public ::testing::TestWithParam<WriterCase> {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "qbk24-tiffwriter.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    fs::path m_folder;
};

TEST_P(TiffPageWriterTest, RowsGoOutAStripAtATimeAndReadBackAsWritten)
{
    const WriterCase& page = GetParam();
    // A4 at 300 dpi wide; a fifth of its length.
    constexpr std::uint32_t kWidth = 2480;
    constexpr std::uint32_t kRows = 700;
    const size_t rowBytes = (kWidth * static_cast<size_t>(page.bitsPerPixel) + 7) / 8;
    const std::string path = (m_folder / "page.tif").string();

    twainscan::TiffPageWriter writer(path);
    twainscan::PageFormat format;
    format.width = kWidth;
    format.bitsPerPixel = page.bitsPerPixel;
    format.bgr = page.bgr;
    format.xResolution = format.yResolution = 300;
    ASSERT_TRUE(writer.Open(format));
    const long writesBefore = WriteCalls();
    for (std::uint32_t y = 0; y < kRows; ++y) {
        std::vector<std::uint8_t> row = FileRow(rowBytes, y);
        if (page.bgr) {
            for (size_t x = 0; x + 2 < rowBytes; x += 3)
                std::swap(row[x], row[x + 2]);
        }
        ASSERT_TRUE(writer.WriteRows(row.data(), row.size(), 1));
    }
    ASSERT_TRUE(writer.Finish());
    // At least 64 KiB of the file per write (black and white is encoded, so
    // its file is not its rows' size), and the header and the directory.
    const auto fileBytes = static_cast<long>(fs::file_size(path));
    EXPECT_LE(WriteCalls() - writesBefore, fileBytes / (64 * 1024) + 4) << fileBytes << " bytes";
    EXPECT_FALSE(fs::exists(path + ".part"));

    std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.c_str(), "r"), &TIFFClose);
    ASSERT_TRUE(tiff);
    std::uint32_t width = 0, length = 0, rowsPerStrip = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &length);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    EXPECT_EQ(width, kWidth);
    ASSERT_EQ(length, kRows);
    EXPECT_GE(rowsPerStrip * rowBytes, 64u * 1024);
    ASSERT_EQ(static_cast<size_t>(TIFFScanlineSize(tiff.get())), rowBytes);
    std::vector<std::uint8_t> row(rowBytes);
    for (std::uint32_t y = 0; y < kRows; ++y) {
        ASSERT_EQ(TIFFReadScanline(tiff.get(), row.data(), y, 0), 1) << "row " << y;
        ASSERT_EQ(row, FileRow(rowBytes, y)) << "row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(PixelTypes, TiffPageWriterTest,
                         ::testing::Values(WriterCase{"bw", 1, false}, WriterCase{"gray", 8, false},
                                           WriterCase{"rgb", 24, false}, WriterCase{"bgr", 24, true}),
                         [](const ::testing::TestParamInfo<WriterCase>& testInfo) { return testInfo.param.name; });

} // namespace
