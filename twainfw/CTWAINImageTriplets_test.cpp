// The image-data triplets answered byte for byte: image information,
// layout, palettes, extended image information and the JPEG hand-off.
#include "platform/testing/TempSystemRoot.h"
#include "twainfw/CountingManagerMemory.h"
#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINMemory.h"
#include "twainfw/XferTestSource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <malloc.h>
#include <jpeglib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace Trellis {
namespace {

using testing::XferFixture;
using testing::XferTestSource;

template <typename T>
std::vector<BYTE> Bytes(const T& value)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&value);
    return std::vector<BYTE>(p, p + sizeof(T));
}

class ImageTripletTest : public XferFixture {
protected:
    plat::testing::TempSystemRoot root;
};

TEST_F(ImageTripletTest, ImageInfoDescribesTheComingImage)
{
    Open();
    TW_IMAGEINFO info{};
    EXPECT_EQ(TWRC_FAILURE, Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
    EXPECT_EQ(TWCC_SEQERROR, Status());

    StartBatch(TWPT_RGB, 24, TWPF_CHOCOLATE, TWSX_NATIVE);
    std::memset(&info, 0xAB, sizeof(info));
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
    TW_IMAGEINFO expected{};
    expected.XResolution = FloatToFix32(200.0f);
    expected.YResolution = FloatToFix32(200.0f);
    expected.ImageWidth = 37;
    expected.ImageLength = 5;
    expected.SamplesPerPixel = 3;
    expected.BitsPerSample[0] = expected.BitsPerSample[1] = expected.BitsPerSample[2] = 8;
    expected.BitsPerPixel = 24;
    expected.Planar = 0;
    expected.PixelType = TWPT_RGB;
    expected.Compression = TWCP_NONE;
    EXPECT_EQ(Bytes(expected), Bytes(info));

    EXPECT_EQ(TWRC_FAILURE, Call(DG_IMAGE, DAT_IMAGEINFO, MSG_SET, &info));
    EXPECT_EQ(TWCC_BADPROTOCOL, Status());
}

TEST_F(ImageTripletTest, ImageLayoutAnswersAndChecksTheFrame)
{
    Open();
    TW_IMAGELAYOUT layout;
    std::memset(&layout, 0xAB, sizeof(layout));
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout));
    TW_IMAGELAYOUT expected{};
    expected.Frame = CTWAINFrame(0, 0, 8.5f, 14.0f);
    expected.DocumentNumber = expected.PageNumber = expected.FrameNumber = 1;
    EXPECT_EQ(Bytes(expected), Bytes(layout));

    TW_IMAGELAYOUT set = expected;
    set.Frame = CTWAINFrame(1, 1, 5, 6);
    set.PageNumber = 3;
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &set));
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETCURRENT, &layout));
    EXPECT_EQ(Bytes(set), Bytes(layout));
    ASSERT_EQ(TWRC_SUCCESS, Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT, &layout));
    EXPECT_EQ(Bytes(expected), Bytes(layout));

    set.Frame = CTWAINFrame(0, 0, 9.0f, 6); // wider than the glass
    EXPECT_EQ(TWRC_FAILURE, Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &set));
    EXPECT_EQ(TWCC_BADVALUE, Status());
}

// DAT_PALETTE8 is admitted only for palette images; the kept palettes of
// black-and-white and grey are reached through the operations.
class PaletteSource : public XferTestSource {
public:
    void InitPixelTypes(CTWAINEnumeration& values) override
    {
        XferTestSource::InitPixelTypes(values);
        if (OfferPalette)
            values.Add(CTWAINOneValue(TWPT_PALETTE));
    }
    void InitBitDepths(TW_UINT16 pixelType, CTWAINEnumeration& values) override
    {
        if (pixelType == TWPT_PALETTE)
            values.Add(CTWAINOneValue(TW_UINT16{8}), true, true);
        else
            XferTestSource::InitBitDepths(pixelType, values);
    }
    bool OfferPalette = false;
};

TEST_F(ImageTripletTest, Palette8IsRefusedUnlessThePixelTypeIsPalette)
{
    struct Case {
        bool offered;
        TW_UINT16 condition;
    };
    for (const Case& c : {Case{false, TWCC_BADPROTOCOL}, Case{true, TWCC_SEQERROR}}) {
        PaletteSource source;
        source.OfferPalette = c.offered;
        source.Init(nullptr);
        TW_IDENTITY assigned = source.GetIdentity();
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
        source.SetPixelTypeCurrent(TWPT_GRAY);
        for (TW_UINT16 msg : {MSG_GET, MSG_GETDEFAULT, MSG_SET, MSG_RESET}) {
            TW_PALETTE8 palette{};
            EXPECT_EQ(TWRC_FAILURE, source.Dispatch(&app, DG_IMAGE, DAT_PALETTE8, msg, &palette));
            TW_STATUS status{};
            ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &status));
            EXPECT_EQ(c.condition, status.ConditionCode) << "message " << msg;
        }
    }

    // For palette images the framework keeps none of its own.
    PaletteSource source;
    source.OfferPalette = true;
    source.Init(nullptr);
    TW_IDENTITY assigned = source.GetIdentity();
    ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    source.SetPixelTypeCurrent(TWPT_PALETTE);
    TW_PALETTE8 palette{};
    EXPECT_EQ(TWRC_FAILURE, source.Dispatch(&app, DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette));
    TW_STATUS status{};
    ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &status));
    EXPECT_EQ(TWCC_BADVALUE, status.ConditionCode);
    // A palette set for a palette image is kept nowhere.
    palette.NumColors = 7;
    EXPECT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_IMAGE, DAT_PALETTE8, MSG_SET, &palette));
}

TEST_F(ImageTripletTest, KeptPalettesFollowThePixelType)
{
    Open();
    EXPECT_EQ(1028u, sizeof(TW_PALETTE8));
    TW_PALETTE8 bw{};
    bw.NumColors = 2;
    bw.Colors[1] = TW_ELEMENT8{1, 255, 255, 255};
    TW_PALETTE8 gray{};
    gray.NumColors = 256;
    gray.PaletteType = TWPA_GRAY;
    gray.Colors[255] = TW_ELEMENT8{255, 9, 9, 9};

    ds.SetPixelTypeCurrent(TWPT_BW);
    EXPECT_EQ(Bytes(TW_PALETTE8{}), Bytes(ds.GetPalette8()));
    EXPECT_EQ(Bytes(TW_PALETTE8{}), Bytes(ds.GetDefaultPalette8()));
    ds.SetPixelTypeCurrent(TWPT_RGB);
    EXPECT_THROW(ds.GetPalette8(), CTWAINException);
    EXPECT_THROW(ds.GetDefaultPalette8(), CTWAINException);
    EXPECT_THROW(ds.ResetPalette8(), CTWAINException);

    // A reset brings back the default of the current pixel type only.
    ds.KeepPalettes(bw, gray);
    ds.SetPixelTypeCurrent(TWPT_GRAY);
    EXPECT_EQ(Bytes(gray), Bytes(ds.GetPalette8()));
    EXPECT_EQ(Bytes(TW_PALETTE8{}), Bytes(ds.ResetPalette8()));
    EXPECT_EQ(Bytes(TW_PALETTE8{}), Bytes(ds.GetPalette8()));
    ds.SetPixelTypeCurrent(TWPT_BW);
    EXPECT_EQ(Bytes(bw), Bytes(ds.GetPalette8()));
}

// A source that reads two barcodes and one patch code.
class BarcodeSource : public XferTestSource {
public:
    void BeginExtImageInfo(TW_UINT32 maxItems) override { Calls.push_back("begin " + std::to_string(maxItems)); }
    void EndExtImageInfo() override { Calls.push_back("end"); }
    bool HandleExtImageInfoItem(TW_INFO& info) override
    {
        // The first barcode's Y is the source's own.
        if (info.InfoID == TWEI_BARCODEY && !m_handledY) {
            m_handledY = true;
            info.ItemType = TWTY_UINT32;
            info.NumItems = 1;
            info.Item = 77;
            info.ReturnCode = TWRC_SUCCESS;
            return true;
        }
        if (info.InfoID != TWEI_DESKEWSTATUS)
            return false;
        info.ItemType = TWTY_UINT32;
        info.NumItems = 1;
        info.Item = TWDSK_SUCCESS;
        info.ReturnCode = TWRC_SUCCESS;
        return true;
    }
    TW_UINT32 GetBarcodeX(TW_UINT32 number, TW_UINT16& returnCode) override
    {
        Calls.push_back("x " + std::to_string(number));
        returnCode = number <= 2 ? TWRC_SUCCESS : TWRC_DATANOTAVAILABLE;
        return 100 * number;
    }
    std::string GetBarcodeText(TW_UINT32 number, TW_UINT16& returnCode) override
    {
        Calls.push_back("text " + std::to_string(number));
        returnCode = number <= 2 ? TWRC_SUCCESS : TWRC_DATANOTAVAILABLE;
        return number == 1 ? std::string(100, 'a') : std::string(300, 'b');
    }
    TW_UINT32 GetBarcodeCount(TW_UINT16& returnCode) override
    {
        Calls.push_back("count");
        returnCode = TWRC_SUCCESS;
        return 2;
    }
    TW_UINT32 GetBarcodeY(TW_UINT32 number, TW_UINT16& returnCode) override
    {
        Calls.push_back("y " + std::to_string(number));
        returnCode = TWRC_SUCCESS;
        return 500;
    }
    TW_UINT32 GetPatchCode(TW_UINT16& returnCode) override
    {
        returnCode = TWRC_SUCCESS;
        return TWPCH_PATCH3;
    }
    std::vector<std::string> Calls;

private:
    bool m_handledY = false;
};

// TW_EXTIMAGEINFO with room for n records.
struct ExtImageInfoRequest {
    explicit ExtImageInfoRequest(std::vector<std::pair<TW_UINT16, TW_UINTPTR>> records)
        : bytes(offsetof(TW_EXTIMAGEINFO, Info) + records.size() * sizeof(TW_INFO))
    {
        Header()->NumInfos = static_cast<TW_UINT32>(records.size());
        for (size_t i = 0; i < records.size(); ++i) {
            Info(i).InfoID = records[i].first;
            Info(i).Item = records[i].second;
        }
    }
    TW_EXTIMAGEINFO* Header() { return reinterpret_cast<TW_EXTIMAGEINFO*>(bytes.data()); }
    TW_INFO& Info(size_t i)
    {
        return *reinterpret_cast<TW_INFO*>(bytes.data() + offsetof(TW_EXTIMAGEINFO, Info) + i * sizeof(TW_INFO));
    }
    std::vector<BYTE> bytes;
};

TEST_F(ImageTripletTest, ExtImageInfoAnswersEachRecordAfterTheTransfer)
{
    BarcodeSource source;
    source.Init(nullptr);
    TW_IDENTITY assigned = source.GetIdentity();
    ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    source.Pending = 1;
    TW_USERINTERFACE ui{};
    ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));

    ExtImageInfoRequest request({{TWEI_BARCODECOUNT, 4},
                                 {TWEI_BARCODEX, 0},
                                 {TWEI_BARCODETEXT, 0},
                                 {TWEI_BARCODEX, 0},
                                 {TWEI_BARCODETEXT, 0},
                                 {TWEI_BARCODEX, 0},
                                 {TWEI_BARCODETEXT, 0},
                                 {TWEI_PATCHCODE, 0},
                                 {TWEI_DESKEWSTATUS, 0},
                                 {TWEI_SPECKLESREMOVED, 0},
                                 {TWEI_BARCODEY, 0},
                                 {TWEI_BARCODEY, 0}});

    // Before the image has been transferred: a sequence error.
    EXPECT_EQ(TWRC_FAILURE, source.Dispatch(&app, DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, request.Header()));
    EXPECT_EQ((std::vector<std::string>{"end"}), source.Calls);
    TW_HANDLE handle = nullptr;
    ASSERT_EQ(TWRC_XFERDONE, source.Dispatch(&app, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle));
    TWAINFreeHandle(handle);
    source.Calls.clear();
    EXPECT_EQ(TWRC_FAILURE, source.Dispatch(&app, DG_IMAGE, DAT_EXTIMAGEINFO, MSG_SET, request.Header()));
    EXPECT_EQ((std::vector<std::string>{"end"}), source.Calls);
    source.Calls.clear();

    ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, request.Header()));
    EXPECT_EQ(
        (std::vector<std::string>{"begin 4", "x 1", "text 1", "x 2", "text 2", "x 3", "text 3", "y 2", "count", "end"}),
        source.Calls);

    struct Expected {
        TW_UINT16 itemType;
        TW_UINT16 numItems;
        TW_UINT16 returnCode;
        TW_UINTPTR item; // not checked for text records
    };
    const std::map<size_t, Expected> expected = {
        {0, {TWTY_UINT32, 1, TWRC_SUCCESS, 2}},
        {1, {TWTY_UINT32, 1, TWRC_SUCCESS, 100}},
        {2, {TWTY_STR255, 1, TWRC_SUCCESS, 0}},
        {3, {TWTY_UINT32, 1, TWRC_SUCCESS, 200}},
        {4, {TWTY_STR255, 1, TWRC_SUCCESS, 0}},
        {5, {TWTY_UINT32, 0, TWRC_DATANOTAVAILABLE, 0}},
        {6, {TWTY_STR255, 0, TWRC_DATANOTAVAILABLE, 0}},
        {7, {TWTY_UINT32, 1, TWRC_SUCCESS, TWPCH_PATCH3}},
        {8, {TWTY_UINT32, 1, TWRC_SUCCESS, TWDSK_SUCCESS}},
        {9, {0, 0, TWRC_INFONOTSUPPORTED, 0}},
        {10, {TWTY_UINT32, 1, TWRC_SUCCESS, 77}},
        {11, {TWTY_UINT32, 1, TWRC_SUCCESS, 500}},
    };
    for (const auto& [index, e] : expected) {
        SCOPED_TRACE(index);
        // A copy: the packed record's fields are not aligned for a reference.
        const TW_INFO info = request.Info(index);
        EXPECT_EQ(e.itemType, info.ItemType);
        EXPECT_EQ(e.numItems, info.NumItems);
        EXPECT_EQ(e.returnCode, info.ReturnCode);
        if (e.itemType != TWTY_STR255) {
            EXPECT_EQ(e.item, TW_UINTPTR{info.Item});
        }
    }

    // The texts arrive whole in their 256-byte blocks, cut to 255.
    const std::pair<size_t, std::string> texts[] = {{2, std::string(100, 'a')}, {4, std::string(255, 'b')}};
    for (const auto& [index, text] : texts) {
        TW_HANDLE block = reinterpret_cast<TW_HANDLE>(request.Info(index).Item);
        ASSERT_NE(nullptr, block);
        EXPECT_GE(malloc_usable_size(block), 256u);
        {
            CTWAINHandleLock lock(block);
            EXPECT_EQ(text, std::string(static_cast<const char*>(lock.Data())));
        }
        TWAINFreeHandle(block);
    }
    EXPECT_EQ(0u, TW_UINTPTR{request.Info(6).Item});
}

// A small JPEG written with the library itself.
void WriteJpeg(const std::string& path, int width, int height)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    // Top half red, bottom half green.
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const bool top = cinfo.next_scanline < cinfo.image_height / 2;
        for (int x = 0; x < width; ++x) {
            row[3 * x] = top ? 255 : 0;
            row[3 * x + 1] = top ? 0 : 255;
            row[3 * x + 2] = 0;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
}

// A folder of this test's own, so that runs side by side do not share files;
// removed with what it holds.
class PrivateFolder {
public:
    PrivateFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "twxfer_jpeg.XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~PrivateFolder()
    {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

TEST_F(ImageTripletTest, JpegHandOffFollowsTheTransferMechanism)
{
    const PrivateFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::filesystem::path& dir = folder.Path();
    const std::string jpeg = (dir / "in.jpg").string();
    WriteJpeg(jpeg, 16, 16);
    Open();

    // The first pixel of the first stored row: for native the bottom of
    // the picture (green) in blue, green, red order; for memory the top
    // (red) in red, green, blue order.
    struct Case {
        TW_UINT16 xferMech;
        BYTE pixel[3];
    };
    for (const Case& c : {Case{TWSX_NATIVE, {0, 255, 0}}, Case{TWSX_MEMORY, {255, 0, 0}}}) {
        SCOPED_TRACE(c.xferMech);
        ds.SetXferMechCurrent(c.xferMech);
        TW_HANDLE bitmap = nullptr;
        std::string error;
        ASSERT_TRUE(ds.DecodeJPEGToBitmap(jpeg, &bitmap, nullptr, error)) << error;
        ASSERT_NE(nullptr, bitmap);
        {
            CTWAINHandleLock lock(bitmap);
            const BYTE* dib = static_cast<const BYTE*>(lock.Data());
            const std::uint32_t headerSize = dib[0] | (dib[1] << 8);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(c.pixel[i], dib[headerSize + i], 40) << "byte " << i;
        }
        TWAINFreeHandle(bitmap);
    }

    // With the manager's memory functions the bitmap is a block of the
    // manager's, which the application frees through it.
    const TW_ENTRYPOINT entry = testing::CountingManagerMemory::EntryPoint();
    SetDSMMemoryFunctions(&entry);
    testing::CountingManagerMemory::allocated = 0;
    {
        TW_HANDLE bitmap = nullptr;
        std::string error;
        ASSERT_TRUE(ds.DecodeJPEGToBitmap(jpeg, &bitmap, nullptr, error)) << error;
        EXPECT_EQ(1, testing::CountingManagerMemory::allocated);
        EXPECT_EQ(40, static_cast<const BYTE*>(bitmap)[0]); // the info header's size
        testing::CountingManagerMemory::Free(bitmap);
    }
    SetDSMMemoryFunctions(nullptr);

    // A file transfer decodes into the file of the set-up.
    ds.SetXferMechCurrent(TWSX_FILE);
    TW_SETUPFILEXFER setup{};
    std::strcpy(setup.FileName, (dir / "out.bmp").string().c_str());
    setup.Format = TWFF_BMP;
    ds.SetSetupFileXfer(setup);
    std::string error;
    ASSERT_TRUE(ds.DecodeJPEGToBitmap(jpeg, nullptr, nullptr, error)) << error;
    std::ifstream in(setup.FileName, std::ios::binary);
    std::vector<char> bmp((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ('B', bmp[0]);
    EXPECT_EQ('M', bmp[1]);

    // A file that is no JPEG: false and the decoder's text.
    const std::string bad = (dir / "bad.jpg").string();
    std::ofstream(bad) << "not a picture";
    TW_HANDLE bitmap = nullptr;
    error.clear();
    ds.SetXferMechCurrent(TWSX_NATIVE);
    EXPECT_FALSE(ds.DecodeJPEGToBitmap(bad, &bitmap, nullptr, error));
    EXPECT_EQ(nullptr, bitmap);
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace Trellis
