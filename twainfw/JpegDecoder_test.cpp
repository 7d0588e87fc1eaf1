#include "twainfw/JpegDecoder.h"

#include "platform/testing/TempSystemRoot.h"
#include "platform/ui/UiScript.h"
#include "twainfw/CWin32Exception.h"
#include "twainfw/JpegDecoderRecord.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace Trellis;

namespace {

// A test image: rows 0-7 red, rows 8-15 blue; or, for one component, a
// gray level per row band.
struct JpegSpec {
    int width = 101;
    int height = 16;
    int components = 3;
    bool progressive = false;
    int densityUnit = 1;
    int density = 300;
    const char* comment = nullptr;
};

void Pixel(const JpegSpec& spec, int row, int column, JSAMPLE* out)
{
    (void)column;
    if (spec.components == 1) {
        out[0] = static_cast<JSAMPLE>(row < spec.height / 2 ? 40 : 200);
        return;
    }
    const bool top = row < spec.height / 2;
    out[0] = top ? 255 : 0;
    out[1] = 0;
    out[2] = top ? 0 : 255;
}

// Compresses with the library itself; `tables` (when given) receives a
// tables-only stream and the image stream is then abbreviated.
std::vector<BYTE> MakeJpeg(const JpegSpec& spec, std::vector<BYTE>* tables = nullptr)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    cinfo.image_width = static_cast<JDIMENSION>(spec.width);
    cinfo.image_height = static_cast<JDIMENSION>(spec.height);
    cinfo.input_components = spec.components;
    cinfo.in_color_space = spec.components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    cinfo.density_unit = static_cast<UINT8>(spec.densityUnit);
    cinfo.X_density = static_cast<UINT16>(spec.density);
    cinfo.Y_density = static_cast<UINT16>(spec.density);
    if (spec.progressive) {
        jpeg_simple_progression(&cinfo);
    }

    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (tables) {
        jpeg_mem_dest(&cinfo, &buffer, &size);
        jpeg_write_tables(&cinfo);
        tables->assign(buffer, buffer + size);
        std::free(buffer);
        buffer = nullptr;
        size = 0;
        jpeg_suppress_tables(&cinfo, TRUE);
    }
    jpeg_mem_dest(&cinfo, &buffer, &size);
    jpeg_start_compress(&cinfo, tables ? FALSE : TRUE);
    if (spec.comment) {
        jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(spec.comment),
                          static_cast<unsigned>(std::strlen(spec.comment)));
    }
    std::vector<JSAMPLE> row(static_cast<size_t>(spec.width * spec.components));
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < spec.width; ++x) {
            Pixel(spec, static_cast<int>(cinfo.next_scanline), x, &row[static_cast<size_t>(x * spec.components)]);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<BYTE> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

std::vector<BYTE> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::vector<BYTE>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

DWORD U16(const BYTE* b) { return static_cast<DWORD>(b[0] | b[1] << 8); }

DWORD U32(const BYTE* b) { return U16(b) | U16(b + 2) << 16; }

std::vector<BYTE> BlockBytes(HGLOBAL block)
{
    const BYTE* memory = static_cast<const BYTE*>(GlobalLock(block));
    std::vector<BYTE> bytes(memory, memory + GlobalSize(block));
    GlobalUnlock(block);
    return bytes;
}

HGLOBAL BlockOf(const std::vector<BYTE>& bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!bytes.empty()) {
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    return block;
}

// The bitmap's pixel rows as the caller would read them.
struct Bitmap {
    DWORD width = 0;
    DWORD height = 0;
    DWORD bits = 0;
    DWORD xPerMetre = 0;
    DWORD colours = 0;
    DWORD imageSize = 0;
    std::vector<BYTE> palette;
    std::vector<BYTE> pixels;

    const BYTE* Row(DWORD i) const { return &pixels[i * ((width * bits / 8 + 3) & ~3u)]; }
};

Bitmap ParseDib(const BYTE* info, size_t size)
{
    Bitmap bmp;
    EXPECT_EQ(U32(info), 40u);
    bmp.width = U32(info + 4);
    bmp.height = U32(info + 8);
    EXPECT_EQ(U16(info + 12), 1u);
    bmp.bits = U16(info + 14);
    EXPECT_EQ(U32(info + 16), 0u);
    bmp.imageSize = U32(info + 20);
    bmp.xPerMetre = U32(info + 24);
    EXPECT_EQ(U32(info + 28), bmp.xPerMetre);
    bmp.colours = U32(info + 32);
    EXPECT_EQ(U32(info + 36), 0u);
    bmp.palette.assign(info + 40, info + 40 + bmp.colours * 4);
    bmp.pixels.assign(info + 40 + bmp.colours * 4, info + size);
    EXPECT_EQ(bmp.pixels.size(), bmp.imageSize);
    return bmp;
}

int g_Warnings = 0;
void CountWarning(const char*) { ++g_Warnings; }

std::vector<int> g_Percents;
int g_CancelAtCall = -1;
int RecordProgress(int percent)
{
    g_Percents.push_back(percent);
    return static_cast<int>(g_Percents.size()) == g_CancelAtCall ? 0 : 1;
}

int g_Passes = 0;
int g_CancelAtPass = -1;
int CountPass(int pass)
{
    g_Passes = pass;
    return pass == g_CancelAtPass ? 0 : 1;
}

class JpegDecoderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_Warnings = 0;
        g_Percents.clear();
        g_CancelAtCall = -1;
        g_Passes = 0;
        g_CancelAtPass = -1;
        m_OldHandler = SetJpegWarningHandler(CountWarning);
    }
    void TearDown() override { SetJpegWarningHandler(m_OldHandler); }

    std::string PathOf(const std::string& name) const { return m_Root.Path() + "/" + name; }

    std::string WriteJpeg(const std::string& name, const JpegSpec& spec)
    {
        WriteFile(PathOf(name), MakeJpeg(spec));
        return PathOf(name);
    }

    static JpegOptions BitmapOrder(bool flip, bool swap)
    {
        JpegOptions options;
        options.flags = JPEG_OPTION_ROW_ORDER;
        options.flipRows = flip ? 1 : 0;
        options.swapRedBlue = swap ? 1 : 0;
        return options;
    }

    plat::testing::TempSystemRoot m_Root;
    JpegWarningHandler m_OldHandler = nullptr;
    char m_Error[512] = {};
};

TEST_F(JpegDecoderTest, BmpFileOfA24BitJpegIsBottomUpBgrWithPaddedRows)
{
    const std::string jpeg = WriteJpeg("in.jpg", JpegSpec{});
    const std::string bmpPath = PathOf("out.bmp");
    const JpegOptions options = BitmapOrder(true, true);
    ASSERT_EQ(
        JpegFileToBmpFile(jpeg.c_str(), bmpPath.c_str(), &options, RecordProgress, nullptr, m_Error, sizeof m_Error), 1)
        << m_Error;

    const std::vector<BYTE> file = ReadFile(bmpPath);
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(U32(&file[2]), 54u + 304 * 16);
    EXPECT_EQ(U32(&file[6]), 0u);
    EXPECT_EQ(U32(&file[10]), 54u);
    EXPECT_EQ(file.size(), 54u + 304 * 16);

    const Bitmap bmp = ParseDib(&file[14], file.size() - 14);
    EXPECT_EQ(bmp.width, 101u);
    EXPECT_EQ(bmp.height, 16u);
    EXPECT_EQ(bmp.bits, 24u);
    EXPECT_EQ(bmp.imageSize, 304u * 16); // 303 bytes a row, rounded up
    EXPECT_EQ(bmp.xPerMetre, 11700u);
    EXPECT_EQ(bmp.colours, 0u);

    // The first stored row is the JPEG's last (blue), stored blue, green, red.
    const BYTE* first = bmp.Row(0);
    EXPECT_GT(first[0], 230);
    EXPECT_LT(first[2], 25);
    const BYTE* last = bmp.Row(15);
    EXPECT_LT(last[0], 25);
    EXPECT_GT(last[2], 230);
    EXPECT_EQ(first[303], 0); // padding

    // Progress rises to 100, the second half belonging to the post-processing.
    ASSERT_FALSE(g_Percents.empty());
    EXPECT_TRUE(std::is_sorted(g_Percents.begin(), g_Percents.end()));
    EXPECT_EQ(g_Percents.back(), 100);
    EXPECT_TRUE(std::any_of(g_Percents.begin(), g_Percents.end(), [](int p) { return p > 0 && p <= 50; }));
    EXPECT_TRUE(std::any_of(g_Percents.begin(), g_Percents.end(), [](int p) { return p > 50 && p < 100; }));
    EXPECT_EQ(g_Warnings, 0);
}

TEST_F(JpegDecoderTest, DibInMemoryKeepsJpegRowOrderAndReplacesTheCallersBlock)
{
    JpegSpec spec;
    spec.densityUnit = 0;
    const std::string jpeg = WriteJpeg("in.jpg", spec);
    HGLOBAL old = GlobalAlloc(GMEM_MOVEABLE, 16);
    HGLOBAL dib = old;
    const JpegOptions options = BitmapOrder(false, false); // a memory transfer's choice
    ASSERT_EQ(JpegFileToDib(jpeg.c_str(), &dib, &options, nullptr, nullptr, m_Error, sizeof m_Error), 1) << m_Error;
    ASSERT_NE(dib, nullptr);

    const std::vector<BYTE> bytes = BlockBytes(dib);
    EXPECT_EQ(bytes.size(), 40u + 304 * 16);
    const Bitmap bmp = ParseDib(bytes.data(), bytes.size());
    EXPECT_EQ(bmp.xPerMetre, 0u);
    EXPECT_GT(bmp.Row(0)[0], 230); // red, in red-green-blue order, on top
    EXPECT_LT(bmp.Row(0)[2], 25);
    EXPECT_GT(bmp.Row(15)[2], 230);
    GlobalFree(dib);
}

TEST_F(JpegDecoderTest, PixelsPerMetreFollowTheJfifDensityUnit)
{
    struct Case {
        int unit;
        int density;
        DWORD perMetre;
    };
    const Case cases[] = {{1, 300, 11700}, {2, 118, 11800}, {0, 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        JpegSpec spec;
        spec.densityUnit = c.unit;
        spec.density = c.density;
        const std::string jpeg = WriteJpeg("d.jpg", spec);
        HGLOBAL dib = nullptr;
        ASSERT_EQ(JpegFileToDib(jpeg.c_str(), &dib, nullptr, nullptr, nullptr, m_Error, sizeof m_Error), 1);
        const std::vector<BYTE> bytes = BlockBytes(dib);
        EXPECT_EQ(U32(&bytes[24]), c.perMetre);
        GlobalFree(dib);
    }
}

TEST_F(JpegDecoderTest, GrayOutputIsAnEightBitPaletteImage)
{
    JpegSpec spec;
    spec.components = 1;
    spec.width = 9;
    const std::string jpeg = WriteJpeg("gray.jpg", spec);
    const std::string bmpPath = PathOf("gray.bmp");
    JpegOptions options = BitmapOrder(true, true);
    options.flags |= JPEG_OPTION_COLORSPACE;
    options.outColorSpace = JPEG_COLORSPACE_GRAY;
    JpegInfo info;
    ASSERT_EQ(DecodeJpegToDib(jpeg.c_str(), nullptr, JPEG_INPUT_FILE, const_cast<char*>(bmpPath.c_str()),
                              JPEG_OUTPUT_BMP_FILE, &options, &info, nullptr, nullptr, m_Error, sizeof m_Error),
              1)
        << m_Error;

    const std::vector<BYTE> file = ReadFile(bmpPath);
    EXPECT_EQ(U32(&file[10]), 54u + 1024);
    const Bitmap bmp = ParseDib(&file[14], file.size() - 14);
    EXPECT_EQ(bmp.bits, 8u);
    EXPECT_EQ(bmp.colours, 256u);
    EXPECT_EQ(bmp.imageSize, 12u * 16); // 9 bytes a row, rounded up
    // A gray ramp: entry i is i, i, i, 0.
    for (int i : {0, 40, 200, 255}) {
        EXPECT_EQ(bmp.palette[i * 4 + 0], i);
        EXPECT_EQ(bmp.palette[i * 4 + 2], i);
        EXPECT_EQ(bmp.palette[i * 4 + 3], 0);
    }
    EXPECT_NEAR(bmp.Row(0)[0], 200, 3); // bottom band first, not swapped
    EXPECT_NEAR(bmp.Row(15)[0], 40, 3);

    EXPECT_EQ(info.width, 9u);
    EXPECT_EQ(info.components, 1u);
    EXPECT_TRUE(info.hasPalette);
    EXPECT_EQ(info.paletteLength, 256u);
    ASSERT_NE(info.palette, nullptr);
    EXPECT_EQ(BlockBytes(info.palette), bmp.palette);
    EXPECT_EQ(info.xDensity, 300);
    EXPECT_EQ(info.densityUnit, 1);
    GlobalFree(info.palette);
}

TEST_F(JpegDecoderTest, KeptMarkersAndPixelRowsOnly)
{
    JpegSpec spec;
    spec.comment = "scanned";
    const std::vector<BYTE> jpeg = MakeJpeg(spec);
    HGLOBAL input = BlockOf(jpeg);
    HGLOBAL pixels = nullptr;
    JpegInfo info;
    info.saveMarkers = TRUE;
    ASSERT_EQ(DecodeJpegToDib(&input, nullptr, JPEG_INPUT_MEMORY, &pixels, JPEG_OUTPUT_PIXELS, nullptr, &info, nullptr,
                              nullptr, m_Error, sizeof m_Error),
              1)
        << m_Error;
    EXPECT_EQ(GlobalSize(pixels), 304u * 16);
    ASSERT_NE(info.markers, nullptr);
    const std::vector<BYTE> markers = BlockBytes(info.markers);
    // APP0 (JFIF) first, then the comment.
    ASSERT_GE(markers.size(), 5u);
    EXPECT_EQ(markers[0], JPEG_APP0);
    const size_t comment = 5 + U32(&markers[1]);
    ASSERT_EQ(markers.size(), comment + 5 + 7);
    EXPECT_EQ(markers[comment], JPEG_COM);
    EXPECT_EQ(std::string(markers.begin() + static_cast<long>(comment) + 5, markers.end()), "scanned");
    GlobalFree(info.markers);
    GlobalFree(pixels);
    GlobalFree(input);
}

TEST_F(JpegDecoderTest, TablesAndDataFromSeparateStreams)
{
    std::vector<BYTE> tables;
    const std::vector<BYTE> data = MakeJpeg(JpegSpec{}, &tables);
    const std::vector<BYTE> whole = MakeJpeg(JpegSpec{});

    HGLOBAL reference = nullptr;
    HGLOBAL wholeBlock = BlockOf(whole);
    ASSERT_EQ(DecodeJpegToDib(&wholeBlock, nullptr, JPEG_INPUT_MEMORY, &reference, JPEG_OUTPUT_DIB, nullptr, nullptr,
                              nullptr, nullptr, m_Error, sizeof m_Error),
              1)
        << m_Error;

    // In memory.
    HGLOBAL tablesBlock = BlockOf(tables), dataBlock = BlockOf(data), fromMemory = nullptr;
    ASSERT_EQ(DecodeJpegToDib(&tablesBlock, &dataBlock, JPEG_INPUT_TABLES_MEMORY, &fromMemory, JPEG_OUTPUT_DIB, nullptr,
                              nullptr, nullptr, nullptr, m_Error, sizeof m_Error),
              1)
        << m_Error;
    EXPECT_EQ(BlockBytes(fromMemory), BlockBytes(reference));

    // In files.
    WriteFile(PathOf("tables.jpg"), tables);
    WriteFile(PathOf("data.jpg"), data);
    const std::string tablesPath = PathOf("tables.jpg"), dataPath = PathOf("data.jpg");
    HGLOBAL fromFiles = nullptr;
    ASSERT_EQ(DecodeJpegToDib(tablesPath.c_str(), dataPath.c_str(), JPEG_INPUT_TABLES_FILE, &fromFiles, JPEG_OUTPUT_DIB,
                              nullptr, nullptr, nullptr, nullptr, m_Error, sizeof m_Error),
              1)
        << m_Error;
    EXPECT_EQ(BlockBytes(fromFiles), BlockBytes(reference));

    // A whole image where only tables are expected.
    HGLOBAL wrong = nullptr;
    EXPECT_EQ(DecodeJpegToDib(&wholeBlock, &dataBlock, JPEG_INPUT_TABLES_MEMORY, &wrong, JPEG_OUTPUT_DIB, nullptr,
                              nullptr, nullptr, nullptr, m_Error, sizeof m_Error),
              0);
    EXPECT_STREQ(m_Error, "Bad input data, cannot read JPEG header");
    EXPECT_EQ(wrong, nullptr);

    for (HGLOBAL block : {reference, wholeBlock, tablesBlock, dataBlock, fromMemory, fromFiles}) {
        GlobalFree(block);
    }
}

TEST_F(JpegDecoderTest, ProgressiveJpegIsDecodedPassByPassToTheSameImage)
{
    JpegSpec spec;
    spec.progressive = true;
    const std::string jpeg = WriteJpeg("prog.jpg", spec);

    HGLOBAL once = nullptr;
    ASSERT_EQ(JpegFileToDib(jpeg.c_str(), &once, nullptr, nullptr, nullptr, m_Error, sizeof m_Error), 1) << m_Error;
    EXPECT_EQ(g_Passes, 0); // without a pass callback: one ordinary pass

    HGLOBAL passes = nullptr;
    ASSERT_EQ(JpegFileToDib(jpeg.c_str(), &passes, nullptr, RecordProgress, CountPass, m_Error, sizeof m_Error), 1)
        << m_Error;
    EXPECT_GT(g_Passes, 1);
    EXPECT_EQ(BlockBytes(passes), BlockBytes(once));
    EXPECT_EQ(g_Percents.back(), 100);

    // A pass callback that stops the decoding leaves no block behind.
    g_CancelAtPass = 2;
    HGLOBAL stopped = nullptr;
    EXPECT_EQ(JpegFileToDib(jpeg.c_str(), &stopped, nullptr, nullptr, CountPass, m_Error, sizeof m_Error), 0);
    EXPECT_STREQ(m_Error, "Process canceled");
    EXPECT_EQ(stopped, nullptr);
    GlobalFree(once);
    GlobalFree(passes);
}

TEST_F(JpegDecoderTest, ProgressCallbackCancelsAtAnyPoint)
{
    const std::string jpeg = WriteJpeg("in.jpg", JpegSpec{});
    const std::string bmpPath = PathOf("out.bmp");
    const JpegOptions options = BitmapOrder(true, true);
    // First call (inside the library) and a late one (post-processing).
    for (int cancelAt : {1, 20}) {
        SCOPED_TRACE(cancelAt);
        g_Percents.clear();
        g_CancelAtCall = cancelAt;
        EXPECT_EQ(JpegFileToBmpFile(jpeg.c_str(), bmpPath.c_str(), &options, RecordProgress, nullptr, m_Error,
                                    sizeof m_Error),
                  0);
        EXPECT_STREQ(m_Error, "Process canceled");
        EXPECT_EQ(static_cast<int>(g_Percents.size()), cancelAt);
        EXPECT_FALSE(std::filesystem::exists(bmpPath));
    }
}

TEST_F(JpegDecoderTest, FailuresGiveTheirTextAndLeaveNoOutput)
{
    const std::vector<BYTE> good = MakeJpeg(JpegSpec{});
    WriteFile(PathOf("good.jpg"), good);
    WriteFile(PathOf("junk.jpg"), std::vector<BYTE>(300, 0x5A));
    std::vector<BYTE> twelveBit = good;
    // The frame header's sample precision: 12 bits is not decodable here.
    for (size_t i = 0; i + 4 < twelveBit.size(); ++i) {
        if (twelveBit[i] == 0xFF && twelveBit[i + 1] == 0xC0) {
            twelveBit[i + 4] = 12;
            break;
        }
    }
    WriteFile(PathOf("twelve.jpg"), twelveBit);
    std::filesystem::create_directory(PathOf("dir.bmp"));

    struct Case {
        const char* name;
        std::string input;
        std::string output;
        const char* text; // exact text, or the start of the library's message
    };
    const Case cases[] = {
        {"missing input", PathOf("none.jpg"), PathOf("a.bmp"), "Cannot open input file"},
        {"not a jpeg", PathOf("junk.jpg"), PathOf("a.bmp"), "Not a JPEG file"},
        {"bad precision", PathOf("twelve.jpg"), PathOf("a.bmp"), "Unsupported JPEG data precision 12"},
        {"output not writable", PathOf("good.jpg"), PathOf("no-folder/a.bmp"), "Cannot open output file"},
        {"output is a folder", PathOf("good.jpg"), PathOf("dir.bmp"), "Cannot open output file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(m_Error, 0, sizeof m_Error);
        EXPECT_EQ(
            JpegFileToBmpFile(c.input.c_str(), c.output.c_str(), nullptr, nullptr, nullptr, m_Error, sizeof m_Error),
            0);
        EXPECT_EQ(std::string(m_Error).rfind(c.text, 0), 0u) << m_Error;
        if (std::string(c.name) != "output is a folder") {
            EXPECT_FALSE(std::filesystem::exists(c.output));
        }
    }

    // The same failures into memory: the caller's handle ends up empty.
    HGLOBAL dib = GlobalAlloc(GMEM_MOVEABLE, 8);
    EXPECT_EQ(JpegFileToDib(PathOf("junk.jpg").c_str(), &dib, nullptr, nullptr, nullptr, m_Error, sizeof m_Error), 0);
    EXPECT_EQ(dib, nullptr);

    // The information record is cleared, but a block it held before stays
    // the caller's.
    HGLOBAL callersBlock = GlobalAlloc(GMEM_MOVEABLE, 4);
    JpegInfo info;
    info.saveMarkers = TRUE;
    info.width = 77;
    info.palette = callersBlock;
    const std::string junkPath = PathOf("junk.jpg");
    EXPECT_EQ(DecodeJpegToDib(junkPath.c_str(), nullptr, JPEG_INPUT_FILE, &dib, JPEG_OUTPUT_DIB, nullptr, &info,
                              nullptr, nullptr, m_Error, sizeof m_Error),
              0);
    EXPECT_EQ(info.width, 0u);
    EXPECT_EQ(info.palette, nullptr);
    EXPECT_TRUE(info.saveMarkers);
    EXPECT_EQ(GlobalSize(callersBlock), 4u);
    GlobalFree(callersBlock);

    // Calls the routine cannot serve.
    const std::string goodPath = PathOf("good.jpg");
    EXPECT_EQ(JpegFileToDib(goodPath.c_str(), nullptr, nullptr, nullptr, nullptr, m_Error, sizeof m_Error), 0);
    EXPECT_STREQ(m_Error, "Invalid function call parameter");
    EXPECT_EQ(JpegFileToDib(nullptr, &dib, nullptr, nullptr, nullptr, m_Error, sizeof m_Error), 0);
    EXPECT_STREQ(m_Error, "Invalid function call parameter");
    EXPECT_EQ(DecodeJpegToDib(goodPath.c_str(), nullptr, 4, &dib, JPEG_OUTPUT_DIB, nullptr, nullptr, nullptr, nullptr,
                              m_Error, sizeof m_Error),
              0);
    EXPECT_STREQ(m_Error, "Unsupported input/output requested");
    EXPECT_EQ(DecodeJpegToDib(goodPath.c_str(), nullptr, JPEG_INPUT_TABLES_FILE, &dib, JPEG_OUTPUT_DIB, nullptr,
                              nullptr, nullptr, nullptr, m_Error, sizeof m_Error),
              0);
    EXPECT_STREQ(m_Error, "Invalid function call parameter");

    JpegOptions tables;
    tables.flags = JPEG_OPTION_QUANT_TABLES;
    EXPECT_EQ(JpegFileToDib(goodPath.c_str(), &dib, &tables, nullptr, nullptr, m_Error, sizeof m_Error), 0);
    EXPECT_STREQ(m_Error, "Invalid parameter: null Quant table pointer");
    tables.flags = JPEG_OPTION_HUFF_TABLES;
    EXPECT_EQ(JpegFileToDib(goodPath.c_str(), &dib, &tables, nullptr, nullptr, m_Error, sizeof m_Error), 0);
    EXPECT_STREQ(m_Error, "Invalid parameter: null Huffman table pointer");

    // The text is cut to the caller's buffer.
    char small[8];
    EXPECT_EQ(JpegFileToDib(PathOf("none.jpg").c_str(), &dib, nullptr, nullptr, nullptr, small, sizeof small), 0);
    EXPECT_STREQ(small, "Cannot ");
}

TEST_F(JpegDecoderTest, MemoryInput)
{
    const std::vector<BYTE> jpeg = MakeJpeg(JpegSpec{});

    // A stream cut in its scan data ends at the inserted end-of-image
    // marker: the image is delivered whole, with the library's warning.
    size_t scan = 0;
    while (scan + 1 < jpeg.size() && !(jpeg[scan] == 0xFF && jpeg[scan + 1] == 0xDA)) {
        ++scan;
    }
    const size_t cut = scan + (jpeg.size() - scan) / 2;
    HGLOBAL truncated = BlockOf(std::vector<BYTE>(jpeg.begin(), jpeg.begin() + static_cast<long>(cut)));
    HGLOBAL dib = nullptr;
    ASSERT_EQ(DecodeJpegToDib(&truncated, nullptr, JPEG_INPUT_MEMORY, &dib, JPEG_OUTPUT_DIB, nullptr, nullptr, nullptr,
                              nullptr, m_Error, sizeof m_Error),
              1)
        << m_Error;
    EXPECT_GT(g_Warnings, 0);
    EXPECT_EQ(GlobalSize(dib), 40u + 304 * 16);
    GlobalFree(dib);
    dib = nullptr;

    // Only the header survives: the decoder fails cleanly.
    HGLOBAL header = BlockOf(std::vector<BYTE>(jpeg.begin(), jpeg.begin() + 20));
    EXPECT_EQ(DecodeJpegToDib(&header, nullptr, JPEG_INPUT_MEMORY, &dib, JPEG_OUTPUT_DIB, nullptr, nullptr, nullptr,
                              nullptr, m_Error, sizeof m_Error),
              0);
    EXPECT_EQ(dib, nullptr);

    // An empty block has nothing to read.
    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(DecodeJpegToDib(&empty, nullptr, JPEG_INPUT_MEMORY, &dib, JPEG_OUTPUT_DIB, nullptr, nullptr, nullptr,
                              nullptr, m_Error, sizeof m_Error),
              0);
    EXPECT_STREQ(m_Error, "Memory read error");
    EXPECT_EQ(dib, nullptr);

    for (HGLOBAL block : {truncated, header, empty}) {
        GlobalFree(block);
    }
}

// A fault inside the library (here: the memory source copying from a page
// that cannot be read) ends the decoding like a failure, with the fault's
// text, after the box that asks whether to debug it; answering Yes throws
// the fault on instead. No output is left either way.
TEST_F(JpegDecoderTest, AProcessorFaultInsideTheLibraryBecomesItsException)
{
    const std::vector<BYTE> jpeg = MakeJpeg(JpegSpec{});
    // Large enough to be pages of its own, with a page the first read of
    // the source reaches made unreadable.
    const size_t size = 4u << 20;
    std::vector<BYTE> bytes(size, 0);
    std::copy(jpeg.begin(), jpeg.end(), bytes.begin());
    HGLOBAL input = BlockOf(bytes);
    BYTE* memory = static_cast<BYTE*>(GlobalLock(input));
    const long page = sysconf(_SC_PAGESIZE);
    BYTE* unreadable =
        reinterpret_cast<BYTE*>((reinterpret_cast<uintptr_t>(memory) + 64 * 1024) & ~uintptr_t(page - 1));
    ASSERT_EQ(0, mprotect(unreadable, static_cast<size_t>(page), PROT_NONE));

    plat::ui::ScopedUiScript script;
    plat::ui::ScriptMessageBoxAnswer(IDNO);
    plat::ui::ScriptMessageBoxAnswer(IDYES);
    HGLOBAL dib = nullptr;
    EXPECT_EQ(0, DecodeJpegToDib(&input, nullptr, JPEG_INPUT_MEMORY, &dib, JPEG_OUTPUT_DIB, nullptr, nullptr, nullptr,
                                 nullptr, m_Error, sizeof m_Error));
    EXPECT_STREQ("Win32 exception: ACCESS VIOLATION (0xC0000005)", m_Error);
    EXPECT_EQ(nullptr, dib);
    try {
        DecodeJpegToDib(&input, nullptr, JPEG_INPUT_MEMORY, &dib, JPEG_OUTPUT_DIB, nullptr, nullptr, nullptr, nullptr,
                        m_Error, sizeof m_Error);
        ADD_FAILURE() << "the fault was not thrown on";
    } catch (const CWin32Exception& fault) {
        EXPECT_EQ(EXCEPTION_ACCESS_VIOLATION, fault.GetCode());
        EXPECT_EQ(2, fault.GetLevel());
    }
    EXPECT_EQ(nullptr, dib);

    const std::vector<plat::ui::MessageBoxRecord> boxes = plat::ui::TakeMessageBoxLog();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(u"Error", boxes[0].caption);
    EXPECT_EQ(u"Win32 exception: ACCESS VIOLATION (0xC0000005)\n\nException level: ERROR\n\nTry to debug?",
              boxes[0].text);
    EXPECT_EQ(MB_YESNO | MB_ICONSTOP | MB_SYSTEMMODAL, boxes[0].type);

    mprotect(unreadable, static_cast<size_t>(page), PROT_READ | PROT_WRITE);
    GlobalUnlock(input);
    GlobalFree(input);
}

// The library's warnings are shown in a box over the active window while
// decoding goes on.
TEST(JpegWarningBox, WarningsAreShownAndDecodingGoesOn)
{
    const std::vector<BYTE> jpeg = MakeJpeg(JpegSpec{});
    size_t scan = 0;
    while (scan + 1 < jpeg.size() && !(jpeg[scan] == 0xFF && jpeg[scan + 1] == 0xDA)) {
        ++scan;
    }
    HGLOBAL truncated =
        BlockOf(std::vector<BYTE>(jpeg.begin(), jpeg.begin() + static_cast<long>(scan + (jpeg.size() - scan) / 2)));
    plat::ui::ScopedUiScript script;
    HGLOBAL dib = nullptr;
    char error[512] = {};
    ASSERT_EQ(1, DecodeJpegToDib(&truncated, nullptr, JPEG_INPUT_MEMORY, &dib, JPEG_OUTPUT_DIB, nullptr, nullptr,
                                 nullptr, nullptr, error, sizeof error))
        << error;
    const std::vector<plat::ui::MessageBoxRecord> boxes = plat::ui::TakeMessageBoxLog();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(u"JPEG Warning", boxes[0].caption);
    EXPECT_FALSE(boxes[0].text.empty());
    EXPECT_EQ(MB_ICONINFORMATION, boxes[0].type);
    GlobalFree(dib);
    GlobalFree(truncated);
}

} // namespace

namespace {

// The stream's own tables, as a caller would hand them in.
struct StreamTables {
    JpegQuantTable quant[4] = {};
    JpegHuffTable dc[4] = {};
    JpegHuffTable ac[4] = {};
};

StreamTables ReadTables(const std::vector<BYTE>& jpeg)
{
    StreamTables t;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    for (int i = 0; i < 4; ++i) {
        // Slots the stream leaves empty get copies of its first table.
        const JQUANT_TBL* q = cinfo.quant_tbl_ptrs[i] ? cinfo.quant_tbl_ptrs[i] : cinfo.quant_tbl_ptrs[0];
        for (int k = 0; k < 64; ++k) {
            t.quant[i].values[k] = q->quantval[k];
        }
        const JHUFF_TBL* dc = cinfo.dc_huff_tbl_ptrs[i] ? cinfo.dc_huff_tbl_ptrs[i] : cinfo.dc_huff_tbl_ptrs[0];
        const JHUFF_TBL* ac = cinfo.ac_huff_tbl_ptrs[i] ? cinfo.ac_huff_tbl_ptrs[i] : cinfo.ac_huff_tbl_ptrs[0];
        std::memcpy(t.dc[i].bits, dc->bits, sizeof t.dc[i].bits);
        std::memcpy(t.dc[i].values, dc->huffval, sizeof t.dc[i].values);
        std::memcpy(t.ac[i].bits, ac->bits, sizeof t.ac[i].bits);
        std::memcpy(t.ac[i].values, ac->huffval, sizeof t.ac[i].values);
    }
    jpeg_destroy_decompress(&cinfo);
    return t;
}

class JpegOptionsTest : public JpegDecoderTest {
protected:
    std::vector<BYTE> Decode(const JpegOptions* options)
    {
        HGLOBAL input = BlockOf(m_Jpeg);
        HGLOBAL dib = nullptr;
        const int result = DecodeJpegToDib(&input, nullptr, JPEG_INPUT_MEMORY, &dib, JPEG_OUTPUT_DIB, options, nullptr,
                                           nullptr, nullptr, m_Error, sizeof m_Error);
        GlobalFree(input);
        EXPECT_EQ(result, 1) << m_Error;
        std::vector<BYTE> bytes = dib ? BlockBytes(dib) : std::vector<BYTE>();
        GlobalFree(dib);
        return bytes;
    }

    std::vector<BYTE> m_Jpeg = MakeJpeg(JpegSpec{});
};

TEST_F(JpegOptionsTest, CallersTablesReplaceThoseOfTheStream)
{
    const std::vector<BYTE> reference = Decode(nullptr);
    StreamTables tables = ReadTables(m_Jpeg);
    JpegOptions options;
    options.flags = JPEG_OPTION_QUANT_TABLES | JPEG_OPTION_HUFF_TABLES;
    for (int i = 0; i < 4; ++i) {
        options.quantTables[i] = &tables.quant[i];
        options.dcTables[i] = &tables.dc[i];
        options.acTables[i] = &tables.ac[i];
    }
    // Luminance tables 0, chrominance tables 1, as the stream has them.
    const DWORD component[4] = {0, 1, 1, 0};
    std::memcpy(options.quantTableOfComponent, component, sizeof component);
    std::memcpy(options.dcTableOfComponent, component, sizeof component);
    std::memcpy(options.acTableOfComponent, component, sizeof component);
    EXPECT_EQ(Decode(&options), reference);

    // Other quantization changes the picture.
    for (WORD& value : tables.quant[1].values) {
        value = static_cast<WORD>(value * 2);
    }
    EXPECT_NE(Decode(&options), reference);

    options.quantTableOfComponent[1] = 4;
    HGLOBAL input = BlockOf(m_Jpeg);
    HGLOBAL dib = nullptr;
    EXPECT_EQ(DecodeJpegToDib(&input, nullptr, JPEG_INPUT_MEMORY, &dib, JPEG_OUTPUT_DIB, &options, nullptr, nullptr,
                              nullptr, m_Error, sizeof m_Error),
              0);
    EXPECT_STREQ(m_Error, "Invalid function call parameter");
    GlobalFree(input);
}

TEST_F(JpegOptionsTest, ScaleAndCallersColourMap)
{
    JpegOptions half;
    half.flags = JPEG_OPTION_SCALE;
    half.scaleNumerator = 1;
    half.scaleDenominator = 2;
    const std::vector<BYTE> scaled = Decode(&half);
    ASSERT_GE(scaled.size(), 40u);
    EXPECT_EQ(U32(&scaled[4]), 51u);
    EXPECT_EQ(U32(&scaled[8]), 8u);
    EXPECT_EQ(U32(&scaled[20]), 156u * 8); // 153 bytes a row, rounded up

    // Two colours of the caller's: every pixel becomes an index into them.
    BYTE map[3][256] = {};
    map[0][0] = 255; // entry 0 red
    map[2][1] = 255; // entry 1 blue
    JpegOptions quantized = BitmapOrder(true, true);
    quantized.flags |= JPEG_OPTION_QUANTIZE;
    quantized.quantize = 1;
    quantized.ditherMode = 0;
    quantized.colorMap = &map[0][0];
    quantized.colorMapCount = 2;
    const std::vector<BYTE> dib = Decode(&quantized);
    ASSERT_GE(dib.size(), 48u);
    const Bitmap bmp = ParseDib(dib.data(), dib.size());
    EXPECT_EQ(bmp.bits, 8u);
    EXPECT_EQ(bmp.colours, 2u);
    EXPECT_EQ(bmp.palette, (std::vector<BYTE>{0, 0, 255, 0, 255, 0, 0, 0}));
    EXPECT_EQ(bmp.Row(0)[0], 1);  // flipped: the blue bottom first
    EXPECT_EQ(bmp.Row(15)[0], 0); // and no byte swapping of indices
    EXPECT_EQ(bmp.Row(15)[2], 0);
}

} // namespace

namespace {

// Damaged streams of every kind: each call ends in success or in a failure
// with a text and no block, never in a crash (the sanitizer build watches
// memory and the jumps out of the library).
TEST_F(JpegDecoderTest, DamagedStreamsNeverCrash)
{
    JpegSpec spec;
    spec.progressive = true;
    const std::vector<BYTE> progressive = MakeJpeg(spec);
    const std::vector<BYTE> baseline = MakeJpeg(JpegSpec{});
    int failures = 0;
    for (const std::vector<BYTE>* original : {&baseline, &progressive}) {
        for (size_t at = 0; at < original->size(); at += 7) {
            for (int variant = 0; variant < 2; ++variant) {
                std::vector<BYTE> damaged = *original;
                if (variant == 0) {
                    damaged[at] = static_cast<BYTE>(damaged[at] ^ (0x5A + at));
                } else {
                    damaged.resize(at + 1);
                }
                HGLOBAL input = BlockOf(damaged);
                HGLOBAL dib = nullptr;
                m_Error[0] = '\0';
                const int result = DecodeJpegToDib(&input, nullptr, JPEG_INPUT_MEMORY, &dib, JPEG_OUTPUT_DIB, nullptr,
                                                   nullptr, nullptr, CountPass, m_Error, sizeof m_Error);
                if (result == 0) {
                    ++failures;
                    EXPECT_EQ(dib, nullptr);
                    EXPECT_NE(m_Error[0], '\0');
                } else {
                    ASSERT_NE(dib, nullptr);
                    GlobalFree(dib);
                }
                GlobalFree(input);
            }
        }
    }
    EXPECT_GT(failures, 0);
}

} // namespace
