// Image transfers driven through Dispatch: the DIB of a native transfer,
// memory blocks reassembled, TIFF and BMP files read back, and the states
// after a failure or a cancel.
#include "platform/testing/TempSystemRoot.h"
#include "twainfw/TWAINMemory.h"
#include "twainfw/XferTestSource.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace Trellis {
namespace {

using testing::XferFixture;
using testing::XferTestSource;

std::uint32_t Le32(const BYTE* at)
{
    return at[0] | (std::uint32_t{at[1]} << 8) | (std::uint32_t{at[2]} << 16) | (std::uint32_t{at[3]} << 24);
}

std::uint16_t Le16(const BYTE* at) { return static_cast<std::uint16_t>(at[0] | (at[1] << 8)); }

// The whole DIB of a native handle: a plain pointer has no size of its own,
// so it is what the header describes (palette of 2^bits entries up to 8).
std::vector<BYTE> HandleBytes(TW_HANDLE handle)
{
    CTWAINHandleLock lock(handle);
    const BYTE* data = static_cast<const BYTE*>(lock.Data());
    if (!data)
        return {};
    auto get32 = [&](size_t at) {
        return std::uint32_t(data[at] | data[at + 1] << 8 | data[at + 2] << 16 | data[at + 3] << 24);
    };
    const std::uint32_t width = get32(4);
    const std::uint32_t height = get32(8);
    const std::uint32_t bits = data[14] | (data[15] << 8);
    const size_t palette = bits <= 8 ? size_t{4} << bits : 0;
    const size_t stride = ((size_t{width} * bits + 31) / 32) * 4;
    return std::vector<BYTE>(data, data + 40 + palette + stride * height);
}

// The DIB row of an image line: bottom-up, padded to 32 bits, colour in
// blue, green, red order.
std::vector<BYTE> ExpectedRow(const XferTestSource& ds, TW_INT32 line, size_t stride, bool rgb)
{
    std::vector<BYTE> row(stride, 0);
    std::vector<BYTE> raw = ds.Line(line);
    std::copy(raw.begin(), raw.end(), row.begin());
    if (rgb)
        for (TW_INT32 i = 0; i < ds.Width; ++i)
            std::swap(row[3 * i], row[3 * i + 2]);
    return row;
}

class TransferTest : public XferFixture {
protected:
    plat::testing::TempSystemRoot root;
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("twxfer_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());

    void SetUp() override
    {
        XferFixture::SetUp();
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Names the file, in the test's folder, that the next file transfer writes.
    void SetFile(XferTestSource& source, const std::string& name, TW_UINT16 format)
    {
        TW_SETUPFILEXFER setup{};
        std::string path = (dir / name).string();
        std::strncpy(setup.FileName, path.c_str(), sizeof(setup.FileName) - 1);
        setup.Format = format;
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup));
    }
    void SetFile(const std::string& name, TW_UINT16 format) { SetFile(ds, name, format); }

    // A case's own source, set up as it wants, opened by the application
    // (state 4) and then enabled without a window (state 6).
    void OpenSource(XferTestSource& source)
    {
        TW_IDENTITY assigned = source.GetIdentity();
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    }
    void EnableSource(XferTestSource& source)
    {
        TW_USERINTERFACE ui{};
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
    }
};

struct NativeCase {
    const char* name;
    TW_UINT16 pixelType;
    TW_UINT16 bitDepth;
    TW_UINT16 flavor;
    std::uint32_t paletteEntries;
    // Entries 0, 1 and the last of the palette, as blue, green, red, 0.
    std::uint32_t first;
    std::uint32_t second;
    std::uint32_t last;
};

TEST_F(TransferTest, NativeTransferGivesABottomUpDibWithItsPalette)
{
    const NativeCase cases[] = {
        {"black-and-white chocolate", TWPT_BW, 1, TWPF_CHOCOLATE, 2, 0x000000, 0xFFFFFF, 0xFFFFFF},
        {"black-and-white vanilla", TWPT_BW, 1, TWPF_VANILLA, 2, 0xFFFFFF, 0x000000, 0x000000},
        {"grey vanilla", TWPT_GRAY, 8, TWPF_VANILLA, 256, 0xFFFFFF, 0xFEFEFE, 0x000000},
        {"grey chocolate", TWPT_GRAY, 8, TWPF_CHOCOLATE, 256, 0x000000, 0x010101, 0xFFFFFF},
        {"4-bit grey", TWPT_GRAY, 4, TWPF_CHOCOLATE, 16, 0x000000, 0x111111, 0xFFFFFF},
        {"colour", TWPT_RGB, 24, TWPF_CHOCOLATE, 0, 0, 0, 0},
    };
    for (const NativeCase& c : cases) {
        SCOPED_TRACE(c.name);
        XferTestSource& source = ds;
        Open();
        StartBatch(c.pixelType, c.bitDepth, c.flavor, TWSX_NATIVE);

        TW_HANDLE handle = nullptr;
        ASSERT_EQ(TWRC_XFERDONE, Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle));
        ASSERT_NE(nullptr, handle);
        std::vector<BYTE> dib = HandleBytes(handle);
        TWAINFreeHandle(handle);

        const size_t stride = (static_cast<size_t>(source.Width) * c.bitDepth + 31) / 32 * 4;
        const size_t header = 40 + 4 * c.paletteEntries;
        ASSERT_EQ(header + stride * source.Length, dib.size());
        EXPECT_EQ(40u, Le32(&dib[0]));
        EXPECT_EQ(37u, Le32(&dib[4]));
        EXPECT_EQ(5u, Le32(&dib[8]));
        EXPECT_EQ(1u, Le16(&dib[12]));
        EXPECT_EQ(c.bitDepth, Le16(&dib[14]));
        EXPECT_EQ(0u, Le32(&dib[16]));
        EXPECT_EQ(0u, Le32(&dib[20]));
        EXPECT_EQ(7874u, Le32(&dib[24])); // 200 dots per inch
        EXPECT_EQ(7874u, Le32(&dib[28]));
        EXPECT_EQ(c.paletteEntries, Le32(&dib[32]));
        EXPECT_EQ(0u, Le32(&dib[36]));
        if (c.paletteEntries) {
            EXPECT_EQ(c.first, Le32(&dib[40]));
            EXPECT_EQ(c.second, Le32(&dib[44]));
            EXPECT_EQ(c.last, Le32(&dib[40 + 4 * (c.paletteEntries - 1)]));
        }
        for (TW_INT32 line = 0; line < source.Length; ++line) {
            SCOPED_TRACE(line);
            const BYTE* row = &dib[header + (source.Length - 1 - line) * stride];
            EXPECT_EQ(ExpectedRow(source, line, stride, c.pixelType == TWPT_RGB), std::vector<BYTE>(row, row + stride));
        }

        EXPECT_EQ(0, EndXfer());
        EXPECT_EQ(5, ds.GetState());
        TW_USERINTERFACE ui{};
        ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
        TW_IDENTITY self = ds.GetIdentity();
        ASSERT_EQ(TWRC_SUCCESS, Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &self));
    }
}

TEST_F(TransferTest, NativeRowsTheDeviceNeverDeliveredAreWhiteAndExtraLinesAreDropped)
{
    struct Case {
        TW_INT32 produced;
        TW_UINT16 flavor;
        BYTE white;
    };
    for (const Case& c : {Case{3, TWPF_CHOCOLATE, 0xFF}, Case{3, TWPF_VANILLA, 0x00}, Case{9, TWPF_CHOCOLATE, 0}}) {
        SCOPED_TRACE(c.produced);
        XferTestSource source;
        source.Init(nullptr);
        source.LinesProduced = c.produced;
        ASSERT_NO_FATAL_FAILURE(OpenSource(source));
        source.SetPixelTypeCurrent(TWPT_GRAY);
        source.SetPixelFlavorCurrent(c.flavor);
        source.Pending = 1;
        ASSERT_NO_FATAL_FAILURE(EnableSource(source));

        TW_HANDLE handle = nullptr;
        ASSERT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle));
        std::vector<BYTE> dib = HandleBytes(handle);
        TWAINFreeHandle(handle);
        const size_t header = 40 + 1024;
        const size_t stride = 40;
        ASSERT_EQ(header + 5 * stride, dib.size());
        for (TW_INT32 line = 0; line < 5; ++line) {
            SCOPED_TRACE(line);
            const BYTE* row = &dib[header + (4 - line) * stride];
            std::vector<BYTE> expected =
                line < c.produced ? ExpectedRow(source, line, stride, false) : std::vector<BYTE>(stride, c.white);
            EXPECT_EQ(expected, std::vector<BYTE>(row, row + stride));
        }
    }
}

// Memory blocks reassembled row by row, for several buffer sizes.
struct MemoryCase {
    const char* name;
    TW_UINT16 pixelType;
    TW_UINT16 bitDepth;
    TW_INT32 width;
    TW_INT32 length;
    TW_INT32 produced;
    TW_UINT32 bufferSize;
    bool handle = false;       // the buffer is a handle to lock
    TW_UINT32 partialLine = 0; // bytes of a line the device stopped in
};

TEST_F(TransferTest, MemoryBlocksReassembleToTheImage)
{
    const MemoryCase cases[] = {
        // 1700 one-bit pixels: raw lines of 213 bytes, rows of 216.
        {"1-bit, 1700 wide, two rows a block", TWPT_BW, 1, 1700, 7, -1, 0x8000},
        {"grey, one block", TWPT_GRAY, 8, 37, 5, -1, 0x10000},
        {"colour, rows fill blocks exactly", TWPT_RGB, 24, 100, 700, -1, 0x8000},
        {"colour, odd rows", TWPT_RGB, 24, 333, 90, -1, 0x8000},
        {"device ends early", TWPT_GRAY, 8, 4000, 30, 20, 0x8000},
        {"device ends one row early", TWPT_GRAY, 8, 4000, 30, 29, 0x8000},
        {"device runs on", TWPT_GRAY, 8, 4000, 30, 45, 0x8000},
        {"buffers given as handles", TWPT_RGB, 24, 333, 90, -1, 0x9000, true},
        {"device stops inside a line", TWPT_GRAY, 8, 4000, 30, 5, 0x8000, false, 1000},
    };
    for (const MemoryCase& c : cases) {
        SCOPED_TRACE(c.name);
        XferTestSource source;
        source.Init(nullptr);
        source.Width = c.width;
        source.Length = c.length;
        source.LinesProduced = c.produced;
        source.PartialLineBytes = c.partialLine;
        ASSERT_NO_FATAL_FAILURE(OpenSource(source));
        source.SetPixelTypeCurrent(c.pixelType);
        source.SetBitDepthCurrent(c.bitDepth);
        source.SetXferMechCurrent(TWSX_MEMORY);
        source.Pending = 1;
        ASSERT_NO_FATAL_FAILURE(EnableSource(source));
        TW_SETUPMEMXFER setup{};
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup));

        const TW_UINT32 raw = static_cast<TW_UINT32>(source.RawLineLength());
        const TW_UINT32 padded = (raw + 3) / 4 * 4;
        std::vector<BYTE> buffer(c.bufferSize);
        TW_HANDLE bufferHandle = c.handle ? TWAINAllocHandle(c.bufferSize) : nullptr;
        std::vector<BYTE> image;
        TW_UINT32 rowsSeen = 0;
        int rc = TWRC_SUCCESS;
        int blocks = 0;
        while (rc == TWRC_SUCCESS && blocks < 1000) {
            TW_IMAGEMEMXFER xfer{};
            xfer.Memory.Flags = TWMF_APPOWNS | (c.handle ? TWMF_HANDLE : TWMF_POINTER);
            xfer.Memory.Length = c.bufferSize;
            xfer.Memory.TheMem = c.handle ? bufferHandle : buffer.data();
            rc = source.Dispatch(&app, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
            if (c.handle) {
                CTWAINHandleLock lock(bufferHandle);
                std::memcpy(buffer.data(), lock.Data(), c.bufferSize);
            }
            ASSERT_TRUE(rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) << rc;
            ++blocks;
            EXPECT_EQ(7, source.GetState());
            EXPECT_EQ(padded, TW_UINT32{xfer.BytesPerRow});
            EXPECT_EQ(TW_UINT32(c.width), TW_UINT32{xfer.Columns});
            EXPECT_EQ(rowsSeen, TW_UINT32{xfer.YOffset});
            EXPECT_EQ(0u, TW_UINT32{xfer.XOffset});
            EXPECT_EQ(TW_UINT32{xfer.Rows} * padded, TW_UINT32{xfer.BytesWritten});
            EXPECT_LE(TW_UINT32{xfer.Rows}, c.bufferSize / padded);
            rowsSeen += xfer.Rows;
            image.insert(image.end(), buffer.begin(), buffer.begin() + xfer.BytesWritten);
        }
        if (bufferHandle)
            TWAINFreeHandle(bufferHandle);
        EXPECT_EQ(TWRC_XFERDONE, rc);
        EXPECT_TRUE(source.IsXferDone());
        ASSERT_EQ(TW_UINT32(c.length), rowsSeen);
        ASSERT_EQ(size_t{padded} * c.length, image.size());
        const TW_INT32 delivered = c.produced < 0 ? c.length : std::min(c.produced, c.length);
        for (TW_INT32 line = 0; line < c.length; ++line) {
            std::vector<BYTE> expected(padded, 0xFF); // white, chocolate
            if (line < delivered) {
                std::fill(expected.begin(), expected.end(), 0);
                std::vector<BYTE> sent = source.Line(line);
                std::copy(sent.begin(), sent.end(), expected.begin());
            }
            ASSERT_EQ(expected, std::vector<BYTE>(image.begin() + line * padded, image.begin() + (line + 1) * padded))
                << "line " << line;
        }
    }
}

TEST_F(TransferTest, CompressedMemoryBlocksCarryTheDataAsItCame)
{
    Open();
    ds.SetXferMechCurrent(TWSX_MEMORY);
    ds.SetCompressionCurrent(TWCP_GROUP4);
    ds.CompressedData.resize(70000);
    for (size_t i = 0; i < ds.CompressedData.size(); ++i)
        ds.CompressedData[i] = static_cast<BYTE>(i * 13 + 5);
    StartBatch(TWPT_BW, 1, TWPF_CHOCOLATE, TWSX_MEMORY);

    std::vector<BYTE> buffer(0x8000);
    std::vector<BYTE> data;
    int rc = TWRC_SUCCESS;
    for (int blocks = 0; rc == TWRC_SUCCESS && blocks < 10; ++blocks) {
        TW_IMAGEMEMXFER xfer{};
        xfer.Memory.Length = static_cast<TW_UINT32>(buffer.size());
        xfer.Memory.TheMem = buffer.data();
        rc = Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
        EXPECT_EQ(TWCP_GROUP4, xfer.Compression);
        EXPECT_EQ(0xFFFFFFFFu, TW_UINT32{xfer.Rows});
        EXPECT_EQ(0xFFFFFFFFu, TW_UINT32{xfer.YOffset});
        EXPECT_EQ(37u, TW_UINT32{xfer.Columns});
        data.insert(data.end(), buffer.begin(), buffer.begin() + xfer.BytesWritten);
    }
    EXPECT_EQ(TWRC_XFERDONE, rc);
    EXPECT_EQ(ds.CompressedData, data);
    // The device is never handed the application's small buffer: it may
    // write up to 65,000 bytes of compressed data whatever it is given.
    for (TW_UINT32 size : ds.RequestSizes)
        EXPECT_GE(size, 65000u);
}

TEST_F(TransferTest, BmpFileHoldsTheFileHeaderAndTheDib)
{
    struct Case {
        TW_UINT16 pixelType;
        TW_UINT16 bitDepth;
        std::uint32_t offBits;
    };
    for (const Case& c : {Case{TWPT_BW, 1, 62}, Case{TWPT_GRAY, 8, 1078}, Case{TWPT_RGB, 24, 54}}) {
        SCOPED_TRACE(c.offBits);
        XferTestSource source;
        source.Init(nullptr);
        ASSERT_NO_FATAL_FAILURE(OpenSource(source));
        source.SetPixelTypeCurrent(c.pixelType);
        source.SetBitDepthCurrent(c.bitDepth);
        source.SetXferMechCurrent(TWSX_FILE);
        source.Pending = 2;
        const std::string path = (dir / "image.bmp").string();
        ASSERT_NO_FATAL_FAILURE(SetFile(source, "image.bmp", TWFF_BMP));
        ASSERT_NO_FATAL_FAILURE(EnableSource(source));

        // The same image once natively and once as a file.
        source.SetXferMechCurrent(TWSX_NATIVE);
        TW_HANDLE handle = nullptr;
        ASSERT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle));
        std::vector<BYTE> dib = HandleBytes(handle);
        TWAINFreeHandle(handle);
        TW_PENDINGXFERS pending{};
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
        source.SetXferMechCurrent(TWSX_FILE);
        TW_UINT32 unused = 0;
        ASSERT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));

        std::ifstream in(path, std::ios::binary);
        std::vector<BYTE> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(14 + dib.size(), file.size());
        EXPECT_EQ('B', file[0]);
        EXPECT_EQ('M', file[1]);
        EXPECT_EQ(file.size(), Le32(&file[2]));
        EXPECT_EQ(0u, Le32(&file[6]));
        EXPECT_EQ(c.offBits, Le32(&file[10]));
        EXPECT_EQ(dib, std::vector<BYTE>(file.begin() + 14, file.end()));
    }
}

// A TIFF page read back with libtiff.
struct TiffPage {
    uint32_t width = 0;
    uint32_t length = 0;
    uint16_t bits = 0;
    uint16_t samples = 0;
    uint16_t photometric = 0;
    std::vector<std::vector<BYTE>> rows;
};

std::vector<TiffPage> ReadTiff(const std::string& path)
{
    std::vector<TiffPage> pages;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff)
        return pages;
    do {
        TiffPage page;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &page.width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &page.length);
        TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &page.bits);
        TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &page.samples);
        TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &page.photometric);
        std::vector<BYTE> row(static_cast<size_t>(TIFFScanlineSize(tiff)));
        for (uint32_t r = 0; r < page.length; ++r) {
            if (TIFFReadScanline(tiff, row.data(), r) < 0)
                break;
            page.rows.push_back(row);
        }
        pages.push_back(page);
    } while (TIFFReadDirectory(tiff));
    TIFFClose(tiff);
    return pages;
}

TEST_F(TransferTest, TiffFileTransfersWriteOnePageOrAppendToAMultipageFile)
{
    struct Case {
        bool multipage;
        int images;
        size_t pagesInFile;
    };
    for (const Case& c : {Case{false, 1, 1}, Case{false, 3, 1}, Case{true, 3, 3}}) {
        SCOPED_TRACE(::testing::Message() << "multipage " << c.multipage << ", images " << c.images);
        XferTestSource source;
        source.Init(nullptr);
        ASSERT_NO_FATAL_FAILURE(OpenSource(source));
        source.SetPixelTypeCurrent(TWPT_RGB);
        source.SetXferMechCurrent(TWSX_FILE);
        source.SetMultipageTIFF(c.multipage);
        source.Pending = static_cast<TW_UINT16>(c.images);
        const std::string path = (dir / "scan.tif").string();
        ASSERT_NO_FATAL_FAILURE(SetFile(source, "scan.tif", TWFF_TIFF));
        ASSERT_NO_FATAL_FAILURE(EnableSource(source));

        for (int i = 0; i < c.images; ++i) {
            TW_UINT32 unused = 0;
            ASSERT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));
            TW_PENDINGXFERS pending{};
            ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
        }
        EXPECT_EQ(5, source.GetState());

        std::vector<TiffPage> pages = ReadTiff(path);
        ASSERT_EQ(c.pagesInFile, pages.size());
        for (const TiffPage& page : pages) {
            EXPECT_EQ(37u, page.width);
            EXPECT_EQ(5u, page.length);
            EXPECT_EQ(8u, page.bits);
            EXPECT_EQ(3u, page.samples);
            EXPECT_EQ(PHOTOMETRIC_RGB, page.photometric);
            ASSERT_EQ(5u, page.rows.size());
            for (TW_INT32 line = 0; line < 5; ++line)
                EXPECT_EQ(source.Line(line), page.rows[line]) << "line " << line;
        }
    }
}

// A device that stops early, or inside a line, or runs on: the page holds
// exactly the lines its tags give, those never delivered white.
TEST_F(TransferTest, TiffPagesHoldTheirLengthWhateverTheDeviceDelivered)
{
    const struct {
        const char* name;
        TW_INT32 produced;
        TW_UINT32 partialLine;
    } cases[] = {
        {"whole", -1, 0},
        {"ends early", 3, 0},
        {"stops inside a line", 2, 50},
        {"runs on", 9, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        XferTestSource source;
        source.Init(nullptr);
        source.LinesProduced = c.produced;
        source.PartialLineBytes = c.partialLine;
        ASSERT_NO_FATAL_FAILURE(OpenSource(source));
        source.SetPixelTypeCurrent(TWPT_RGB);
        source.SetXferMechCurrent(TWSX_FILE);
        source.Pending = 1;
        ASSERT_NO_FATAL_FAILURE(SetFile(source, "short.tif", TWFF_TIFF));
        ASSERT_NO_FATAL_FAILURE(EnableSource(source));
        TW_UINT32 unused = 0;
        ASSERT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));

        const std::vector<TiffPage> pages = ReadTiff((dir / "short.tif").string());
        ASSERT_EQ(1u, pages.size());
        ASSERT_EQ(5u, pages[0].length);
        ASSERT_EQ(5u, pages[0].rows.size());
        const TW_INT32 delivered = c.produced < 0 ? 5 : std::min(c.produced, 5);
        for (TW_INT32 line = 0; line < 5; ++line) {
            const std::vector<BYTE> expected =
                line < delivered ? source.Line(line) : std::vector<BYTE>(source.Line(line).size(), 0xFF);
            EXPECT_EQ(expected, pages[0].rows[line]) << "line " << line;
        }
    }
}

// A TIFF row holds its pixels and nothing more: the padding of the
// device's lines stays out of the file.
TEST_F(TransferTest, TiffRowsLeaveOutThePaddingOfTheDevicesLines)
{
    for (const TW_UINT16 pixelType : {TW_UINT16{TWPT_BW}, TW_UINT16{TWPT_RGB}}) {
        SCOPED_TRACE(pixelType);
        XferTestSource source;
        source.Init(nullptr);
        source.LineAlignment = 4;
        ASSERT_NO_FATAL_FAILURE(OpenSource(source));
        source.SetPixelTypeCurrent(pixelType);
        source.SetXferMechCurrent(TWSX_FILE);
        ASSERT_NO_FATAL_FAILURE(SetFile(source, "padded.tif", TWFF_TIFF));
        ASSERT_NO_FATAL_FAILURE(EnableSource(source));
        TW_UINT32 unused = 0;
        ASSERT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));

        const std::vector<TiffPage> pages = ReadTiff((dir / "padded.tif").string());
        ASSERT_EQ(1u, pages.size());
        ASSERT_EQ(5u, pages[0].rows.size());
        const size_t rowBytes = pixelType == TWPT_RGB ? 111 : 5;
        for (TW_INT32 line = 0; line < 5; ++line) {
            std::vector<BYTE> expected = source.Line(line);
            ASSERT_GT(expected.size(), rowBytes);
            expected.resize(rowBytes);
            EXPECT_EQ(expected, pages[0].rows[line]) << "line " << line;
        }
    }
}

// An accessor that refuses while a TIFF page is being described fails that
// transfer only: the retried image is the file's one sound page.
TEST_F(TransferTest, ARefusedTagValueLeavesNoPageBehind)
{
    for (bool multipage : {false, true}) {
        SCOPED_TRACE(::testing::Message() << "multipage " << multipage);
        XferTestSource source;
        source.Init(nullptr);
        ASSERT_NO_FATAL_FAILURE(OpenSource(source));
        source.SetPixelTypeCurrent(TWPT_GRAY);
        source.SetXferMechCurrent(TWSX_FILE);
        source.SetMultipageTIFF(multipage);
        source.Pending = 1;
        const std::string path = (dir / "refused.tif").string();
        ASSERT_NO_FATAL_FAILURE(SetFile(source, "refused.tif", TWFF_TIFF));
        ASSERT_NO_FATAL_FAILURE(EnableSource(source));

        TW_UINT32 unused = 0;
        source.AuthorFails = true;
        EXPECT_EQ(TWRC_FAILURE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));
        EXPECT_EQ(6, source.GetState());
        source.AuthorFails = false;
        ASSERT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));
        TW_PENDINGXFERS pending{};
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
        EXPECT_EQ(5, source.GetState());

        std::vector<TiffPage> pages = ReadTiff(path);
        ASSERT_EQ(1u, pages.size());
        ASSERT_EQ(5u, pages[0].rows.size());
        for (TW_INT32 line = 0; line < 5; ++line)
            EXPECT_EQ(source.Line(line), pages[0].rows[line]) << "line " << line;
    }
}

TEST_F(TransferTest, AMultipageFileEndsWhenTheNextImageNamesAnotherFile)
{
    Open();
    ds.SetMultipageTIFF(true);
    ds.SetXferMechCurrent(TWSX_FILE);
    SetFile("first.tif", TWFF_TIFF);
    StartBatch(TWPT_GRAY, 8, TWPF_CHOCOLATE, TWSX_FILE, 3);
    TW_UINT32 unused = 0;
    ASSERT_EQ(TWRC_XFERDONE, Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));
    ASSERT_EQ(2, EndXfer());
    ASSERT_EQ(TWRC_XFERDONE, Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));
    ASSERT_EQ(1, EndXfer());
    SetFile("second.tif", TWFF_TIFF);
    ASSERT_EQ(TWRC_XFERDONE, Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));
    EXPECT_EQ(2u, ReadTiff((dir / "first.tif").string()).size());
    ASSERT_EQ(0, EndXfer());
    EXPECT_EQ(1u, ReadTiff((dir / "second.tif").string()).size());
}

// The tags a page carries besides its pixels: which value is black, the
// resolution in the file's unit, and who made the image when.
TEST_F(TransferTest, TiffTagsDescribeThePage)
{
    struct Case {
        TW_UINT16 flavor;
        TW_UINT16 units;
        uint16_t photometric;
        uint16_t resolutionUnit;
        float resolution; // 200 dots per inch in the unit, whole
    };
    const Case cases[] = {
        {TWPF_CHOCOLATE, TWUN_INCHES, PHOTOMETRIC_MINISBLACK, RESUNIT_INCH, 200.0f},
        {TWPF_VANILLA, TWUN_INCHES, PHOTOMETRIC_MINISWHITE, RESUNIT_INCH, 200.0f},
        {TWPF_CHOCOLATE, TWUN_CENTIMETERS, PHOTOMETRIC_MINISBLACK, RESUNIT_CENTIMETER, 78.0f},
        {TWPF_CHOCOLATE, TWUN_PIXELS, PHOTOMETRIC_MINISBLACK, RESUNIT_NONE, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "flavor " << c.flavor << ", units " << c.units);
        XferTestSource source;
        source.Init(nullptr);
        ASSERT_NO_FATAL_FAILURE(OpenSource(source));
        source.SetPixelFlavorCurrent(c.flavor);
        source.SetUnitsCurrent(c.units);
        source.SetXferMechCurrent(TWSX_FILE);
        source.Pending = 1;
        const std::string path = (dir / "bw.tif").string();
        ASSERT_NO_FATAL_FAILURE(SetFile(source, "bw.tif", TWFF_TIFF));
        ASSERT_NO_FATAL_FAILURE(EnableSource(source));
        TW_UINT32 unused = 0;
        ASSERT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));

        std::vector<TiffPage> pages = ReadTiff(path);
        ASSERT_EQ(1u, pages.size());
        EXPECT_EQ(1u, pages[0].bits);
        EXPECT_EQ(1u, pages[0].samples);
        EXPECT_EQ(c.photometric, pages[0].photometric);
        ASSERT_EQ(5u, pages[0].rows.size());
        EXPECT_EQ(source.Line(4), pages[0].rows[4]);

        TIFF* tiff = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(nullptr, tiff);
        uint16_t resolutionUnit = 0;
        float xResolution = 0, yResolution = 0;
        uint32_t rowsPerStrip = 0;
        char* artist = nullptr;
        char* make = nullptr;
        char* model = nullptr;
        char* dateTime = nullptr;
        TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &resolutionUnit);
        TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xResolution);
        TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yResolution);
        TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_ARTIST, &artist));
        ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_MAKE, &make));
        ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_MODEL, &model));
        ASSERT_TRUE(TIFFGetField(tiff, TIFFTAG_DATETIME, &dateTime));
        EXPECT_EQ(c.resolutionUnit, resolutionUnit);
        EXPECT_NEAR(c.resolution, xResolution, 0.01);
        EXPECT_NEAR(c.resolution, yResolution, 0.01);
        EXPECT_EQ(5u, rowsPerStrip);
        EXPECT_STREQ("Test Maker Test Scanner", artist);
        EXPECT_STREQ("Test Maker", make);
        EXPECT_STREQ("Test Scanner", model);
        std::string expectedDate = source.GetTimeDateText();
        std::replace(expectedDate.begin(), expectedDate.end(), '/', ':');
        EXPECT_EQ(expectedDate, dateTime);
        EXPECT_EQ(std::string::npos, std::string(dateTime).find('/'));
        TIFFClose(tiff);
    }
}

// With an undefined image size the image is as long as the device made it,
// and each mechanism takes the size the device tells at the end.
TEST_F(TransferTest, UndefinedImageSizeTakesTheLinesTheDeviceMade)
{
    for (TW_UINT16 mech : {TWSX_NATIVE, TWSX_MEMORY, TWSX_FILE}) {
        SCOPED_TRACE(mech);
        XferTestSource source;
        source.Init(nullptr);
        source.UndefinedSize = true;
        source.LinesProduced = 7;
        ASSERT_NO_FATAL_FAILURE(OpenSource(source));
        source.SetPixelTypeCurrent(TWPT_BW);
        source.SetXferMechCurrent(mech);
        source.Pending = 1;
        const std::string path = (dir / "undefined.tif").string();
        if (mech == TWSX_FILE) {
            ASSERT_NO_FATAL_FAILURE(SetFile(source, "undefined.tif", TWFF_TIFF));
        }
        ASSERT_NO_FATAL_FAILURE(EnableSource(source));
        TW_IMAGEINFO info{};
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
        EXPECT_EQ(-1, info.ImageLength);

        std::vector<std::vector<BYTE>> rows; // top-down, 8-byte rows
        if (mech == TWSX_NATIVE) {
            TW_HANDLE handle = nullptr;
            ASSERT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle));
            std::vector<BYTE> dib = HandleBytes(handle);
            TWAINFreeHandle(handle);
            ASSERT_EQ(48u + 7 * 8, dib.size());
            EXPECT_EQ(37u, Le32(&dib[4]));
            EXPECT_EQ(7u, Le32(&dib[8]));
            for (int r = 6; r >= 0; --r)
                rows.emplace_back(dib.begin() + 48 + r * 8, dib.begin() + 48 + (r + 1) * 8);
        } else if (mech == TWSX_MEMORY) {
            std::vector<BYTE> buffer(0x8000);
            TW_IMAGEMEMXFER xfer{};
            xfer.Memory.Length = static_cast<TW_UINT32>(buffer.size());
            xfer.Memory.TheMem = buffer.data();
            ASSERT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer));
            ASSERT_EQ(7u, TW_UINT32{xfer.Rows});
            for (int r = 0; r < 7; ++r)
                rows.emplace_back(buffer.begin() + r * 8, buffer.begin() + (r + 1) * 8);
        } else {
            TW_UINT32 unused = 0;
            ASSERT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));
            std::vector<TiffPage> pages = ReadTiff(path);
            ASSERT_EQ(1u, pages.size());
            EXPECT_EQ(37u, pages[0].width);
            EXPECT_EQ(7u, pages[0].length);
            for (std::vector<BYTE> row : pages[0].rows) {
                row.resize(8, 0);
                rows.push_back(row);
            }
        }
        ASSERT_EQ(7u, rows.size());
        for (TW_INT32 line = 0; line < 7; ++line) {
            std::vector<BYTE> expected = source.Line(line);
            expected.resize(8, 0);
            EXPECT_EQ(expected, rows[line]) << "line " << line;
        }
    }
}

// A failing or cancelled read, a format no transfer writes and a buffer
// without room for a row: each transfer ends, nothing leaks, and the
// source is back in 6 for native and file transfers. A file transfer that
// fails, at its first read or inside the page, leaves the file named as it
// was before and nothing beside it.
TEST_F(TransferTest, FailuresAndCancelsReturnToTransferReady)
{
    struct Case {
        const char* name;
        TW_UINT16 dat;
        TW_UINT16 xferMech;
        TW_UINT16 format;
        int failOnRead;
        int cancelOnRead;
        int rc;
        TW_UINT16 condition;
        int state;
    };
    const Case cases[] = {
        {"native, read fails", DAT_IMAGENATIVEXFER, TWSX_NATIVE, TWFF_BMP, 1, 0, TWRC_FAILURE, TWCC_OPERATIONERROR, 6},
        {"native, cancelled", DAT_IMAGENATIVEXFER, TWSX_NATIVE, TWFF_BMP, 0, 1, TWRC_CANCEL, TWCC_SUCCESS, 6},
        {"BMP, read fails", DAT_IMAGEFILEXFER, TWSX_FILE, TWFF_BMP, 1, 0, TWRC_FAILURE, TWCC_OPERATIONERROR, 6},
        {"TIFF, read fails", DAT_IMAGEFILEXFER, TWSX_FILE, TWFF_TIFF, 1, 0, TWRC_FAILURE, TWCC_OPERATIONERROR, 6},
        {"TIFF, read fails mid-page", DAT_IMAGEFILEXFER, TWSX_FILE, TWFF_TIFF, 2, 0, TWRC_FAILURE, TWCC_OPERATIONERROR,
         6},
        {"BMP, read fails mid-page", DAT_IMAGEFILEXFER, TWSX_FILE, TWFF_BMP, 2, 0, TWRC_FAILURE, TWCC_OPERATIONERROR,
         6},
        {"TIFF, cancelled", DAT_IMAGEFILEXFER, TWSX_FILE, TWFF_TIFF, 0, 1, TWRC_CANCEL, TWCC_SUCCESS, 6},
        {"memory, read fails", DAT_IMAGEMEMXFER, TWSX_MEMORY, TWFF_BMP, 1, 0, TWRC_FAILURE, TWCC_OPERATIONERROR, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XferTestSource source;
        source.Init(nullptr);
        source.Length = 40000; // more lines than one read takes
        source.FailOnRead = c.failOnRead;
        source.CancelOnRead = c.cancelOnRead;
        ASSERT_NO_FATAL_FAILURE(OpenSource(source));
        source.SetXferMechCurrent(c.xferMech);
        const std::filesystem::path earlier = dir / "failed.img";
        if (c.xferMech == TWSX_FILE) {
            std::ofstream(earlier) << "earlier";
            ASSERT_NO_FATAL_FAILURE(SetFile(source, "failed.img", c.format));
        }
        source.Pending = 1;
        ASSERT_NO_FATAL_FAILURE(EnableSource(source));

        std::vector<BYTE> buffer(0x8000);
        TW_IMAGEMEMXFER xfer{};
        xfer.Memory.Length = static_cast<TW_UINT32>(buffer.size());
        xfer.Memory.TheMem = buffer.data();
        TW_HANDLE handle = reinterpret_cast<TW_HANDLE>(1);
        void* data = c.dat == DAT_IMAGEMEMXFER ? static_cast<void*>(&xfer) : static_cast<void*>(&handle);
        EXPECT_EQ(c.rc, source.Dispatch(&app, DG_IMAGE, c.dat, MSG_GET, data));
        EXPECT_EQ(c.state, source.GetState());
        if (c.dat == DAT_IMAGENATIVEXFER) {
            EXPECT_EQ(nullptr, handle);
        }
        TW_STATUS status{};
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &status));
        EXPECT_EQ(c.condition, status.ConditionCode);
        if (c.xferMech == TWSX_FILE) {
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
            EXPECT_EQ(std::filesystem::file_size(earlier), 7u);
            std::filesystem::remove(earlier);
        }
        // The batch can still be ended: from 7 by ending the transfer.
        TW_PENDINGXFERS pending{};
        const TW_UINT16 end = c.state == 7 ? MSG_ENDXFER : MSG_RESET;
        EXPECT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_PENDINGXFERS, end, &pending));
        EXPECT_EQ(5, source.GetState());
    }
}

TEST_F(TransferTest, TransfersThatCannotBeDoneAreRefused)
{
    Open();
    // A format no file transfer writes.
    ds.SetImageFileFormatCurrent(TWFF_BMP);
    StartBatch(TWPT_GRAY, 8, TWPF_CHOCOLATE, TWSX_FILE);
    TW_SETUPFILEXFER setup = ds.GetSetupFileXfer();
    setup.Format = TWFF_PNG;
    ds.SetSetupFileXfer(setup);
    TW_UINT32 unused = 0;
    EXPECT_EQ(TWRC_FAILURE, Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));
    EXPECT_EQ(TWCC_BADVALUE, Status());
    EXPECT_EQ(6, ds.GetState());

    // A BMP file where none can be written.
    std::strcpy(setup.FileName, (dir / "no such folder" / "x.bmp").string().c_str());
    setup.Format = TWFF_BMP;
    ds.SetSetupFileXfer(setup);
    EXPECT_EQ(TWRC_FAILURE, Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));
    EXPECT_EQ(TWCC_FILEWRITEERROR, Status());
    EXPECT_EQ(6, ds.GetState());
    setup.Format = TWFF_TIFF;
    ds.SetSetupFileXfer(setup);
    EXPECT_EQ(TWRC_FAILURE, Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, &unused));
    EXPECT_EQ(TWCC_FILEWRITEERROR, Status());
    EXPECT_EQ(6, ds.GetState());

    // A memory buffer without room for one row of the image.
    ds.SetXferMechCurrent(TWSX_MEMORY);
    ds.Width = 40000;
    std::vector<BYTE> buffer(0x8000);
    TW_IMAGEMEMXFER xfer{};
    xfer.Memory.Length = static_cast<TW_UINT32>(buffer.size());
    xfer.Memory.TheMem = buffer.data();
    EXPECT_EQ(TWRC_FAILURE, Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer));
    EXPECT_EQ(TWCC_BADVALUE, Status());
}

} // namespace
} // namespace Trellis
