#include "platform/wia/WiaItem.h"
#include "platform/wia/wiamindr.h"
#include "platform/wia/wiatransfer.h"

#include "platform/base/winerror.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using plat::wia::WiaItem;

// An image item with the properties a transfer context is made from.
void DescribeImage(WiaItem& item, LONG pixels, LONG lines, LONG depth, const GUID& format, LONG tymed)
{
    BYTE* ctx = item.Context();
    PROPID ids[] = {WIA_IPA_PIXELS_PER_LINE, WIA_IPA_NUMBER_OF_LINES, WIA_IPA_DEPTH, WIA_IPS_XRES, WIA_IPS_YRES,
                    WIA_IPA_COMPRESSION,     WIA_IPA_TYMED,           WIA_IPA_FORMAT};
    LPOLESTR names[8];
    for (LPOLESTR& name : names)
        name = const_cast<LPOLESTR>(u"p");
    ASSERT_EQ(S_OK, wiasSetItemPropNames(ctx, 8, ids, names));
    LONG values[] = {pixels, lines, depth, 300, 200, WIA_COMPRESSION_NONE, tymed};
    for (int i = 0; i < 7; ++i)
        ASSERT_EQ(S_OK, wiasWritePropLong(ctx, ids[i], values[i]));
    ASSERT_EQ(S_OK, wiasWritePropGuid(ctx, WIA_IPA_FORMAT, format));
}

template <typename T>
T At(const std::vector<BYTE>& bytes, size_t offset)
{
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

TEST(ImageInformation, ContextFollowsTheItemsGeometryAndFormat)
{
    struct Case {
        LONG pixels, lines, depth;
        GUID format;
        LONG widthInBytes, headerSize;
    } cases[] = {
        {1700, 2200, 1, WiaImgFmt_MEMORYBMP, 216, 48},
        {1700, 2200, 8, WiaImgFmt_MEMORYBMP, 1700, 1064},
        {1700, 2200, 24, WiaImgFmt_MEMORYBMP, 5100, 40},
        {1701, 10, 24, WiaImgFmt_BMP, 5104, 54},
        {1700, 0, 1, WiaImgFmt_BMP, 216, 62},
    };
    for (const Case& c : cases) {
        WiaItem item(WiaItemTypeImage | WiaItemTypeFile);
        BYTE* ctx = item.Context();
        DescribeImage(item, c.pixels, c.lines, c.depth, c.format, TYMED_CALLBACK);

        MINIDRV_TRANSFER_CONTEXT transfer{};
        transfer.lPage = 7;
        ASSERT_EQ(S_OK, wiasGetImageInformation(ctx, WIAS_INIT_CONTEXT, &transfer));
        SCOPED_TRACE(testing::Message() << c.pixels << " x " << c.lines << " x " << c.depth);
        EXPECT_EQ(0, transfer.lPage) << "an initialised context starts empty";
        EXPECT_EQ(c.pixels, transfer.lWidthInPixels);
        EXPECT_EQ(c.lines, transfer.lLines);
        EXPECT_EQ(c.depth, transfer.lDepth);
        EXPECT_EQ(300, transfer.lXRes);
        EXPECT_EQ(200, transfer.lYRes);
        EXPECT_EQ(TYMED_CALLBACK, transfer.tymed);
        EXPECT_EQ(c.format, transfer.guidFormatID);
        EXPECT_EQ(c.widthInBytes, transfer.cbWidthInBytes);
        EXPECT_EQ(c.headerSize, transfer.lHeaderSize);
        EXPECT_EQ(c.widthInBytes * c.lines + c.headerSize, transfer.lItemSize);
    }
}

TEST(ImageInformation, WithoutInitialisingTheDriversGeometryStandsAndTheHeaderIsWritten)
{
    struct Case {
        LONG depth;
        GUID format;
        size_t infoAt;                // where the information header starts
        std::vector<RGBQUAD> palette; // its first and last entry
    } cases[] = {
        {1, WiaImgFmt_BMP, 14, {{0, 0, 0, 0}, {255, 255, 255, 0}}},
        {8, WiaImgFmt_MEMORYBMP, 0, {{0, 0, 0, 0}, {255, 255, 255, 0}}},
        {24, WiaImgFmt_BMP, 14, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.depth);
        WiaItem item(WiaItemTypeImage | WiaItemTypeFile);
        DescribeImage(item, 1700, 2200, c.depth, c.format, TYMED_FILE);
        MINIDRV_TRANSFER_CONTEXT transfer{};
        ASSERT_EQ(S_OK, wiasGetImageInformation(item.Context(), WIAS_INIT_CONTEXT, &transfer));
        // The driver's page is what the scanner delivers, not the item's.
        transfer.lWidthInPixels = 1696;
        transfer.lLines = 33;
        std::vector<BYTE> buffer(4096, 0xEE);
        transfer.pTransferBuffer = buffer.data();
        transfer.lBufferSize = static_cast<LONG>(buffer.size());
        ASSERT_EQ(S_OK, wiasGetImageInformation(item.Context(), 0, &transfer));

        const LONG stride = (1696 * c.depth + 31) / 32 * 4;
        EXPECT_EQ(1696, transfer.lWidthInPixels);
        EXPECT_EQ(33, transfer.lLines);
        EXPECT_EQ(stride, transfer.cbWidthInBytes);
        EXPECT_EQ(stride * 33, transfer.lImageSize);
        const LONG palette = c.depth <= 8 ? (1 << c.depth) * 4 : 0;
        EXPECT_EQ(static_cast<LONG>(c.infoAt) + 40 + palette, transfer.lHeaderSize);
        if (c.infoAt == 14) {
            EXPECT_EQ(0x4D42, At<WORD>(buffer, 0));
            EXPECT_EQ(static_cast<DWORD>(transfer.lItemSize), At<DWORD>(buffer, 2));
            EXPECT_EQ(0u, At<DWORD>(buffer, 6));
            EXPECT_EQ(static_cast<DWORD>(transfer.lHeaderSize), At<DWORD>(buffer, 10));
        }
        const auto info = At<BITMAPINFOHEADER>(buffer, c.infoAt);
        EXPECT_EQ(40u, info.biSize);
        EXPECT_EQ(1696, info.biWidth);
        EXPECT_EQ(33, info.biHeight) << "bottom-up";
        EXPECT_EQ(1, info.biPlanes);
        EXPECT_EQ(c.depth, info.biBitCount);
        EXPECT_EQ(BI_RGB, info.biCompression);
        EXPECT_EQ(static_cast<DWORD>(transfer.lImageSize), info.biSizeImage);
        EXPECT_EQ(static_cast<DWORD>(palette / 4), info.biClrUsed);
        if (!c.palette.empty()) {
            const auto first = At<RGBQUAD>(buffer, c.infoAt + 40);
            const auto last = At<RGBQUAD>(buffer, c.infoAt + 40 + static_cast<size_t>(palette) - 4);
            EXPECT_EQ(0, std::memcmp(&first, &c.palette.front(), 4));
            EXPECT_EQ(0, std::memcmp(&last, &c.palette.back(), 4));
        }
        EXPECT_EQ(0xEE, buffer[static_cast<size_t>(transfer.lHeaderSize)]) << "nothing past the header";
    }
}

TEST(ImageInformation, ABufferTooSmallForTheHeaderIsRefusedAndUntouched)
{
    WiaItem item(WiaItemTypeImage | WiaItemTypeFile);
    DescribeImage(item, 100, 10, 8, WiaImgFmt_MEMORYBMP, TYMED_CALLBACK);
    MINIDRV_TRANSFER_CONTEXT transfer{};
    ASSERT_EQ(S_OK, wiasGetImageInformation(item.Context(), WIAS_INIT_CONTEXT, &transfer));
    std::vector<BYTE> buffer(1063, 0xEE);
    transfer.pTransferBuffer = buffer.data();
    transfer.lBufferSize = static_cast<LONG>(buffer.size());
    EXPECT_EQ(E_INVALIDARG, wiasGetImageInformation(item.Context(), 0, &transfer));
    EXPECT_EQ(std::vector<BYTE>(1063, 0xEE), buffer);
}

TEST(ImageInformation, MissingPropertiesAndImpossibleSizesAreRefused)
{
    WiaItem item(WiaItemTypeImage | WiaItemTypeFile);
    MINIDRV_TRANSFER_CONTEXT transfer{};
    EXPECT_EQ(E_INVALIDARG, wiasGetImageInformation(item.Context(), WIAS_INIT_CONTEXT, &transfer));
    EXPECT_EQ(E_INVALIDARG, wiasGetImageInformation(nullptr, WIAS_INIT_CONTEXT, &transfer));
    EXPECT_EQ(E_INVALIDARG, wiasGetImageInformation(item.Context(), WIAS_INIT_CONTEXT, nullptr));
}

} // namespace
