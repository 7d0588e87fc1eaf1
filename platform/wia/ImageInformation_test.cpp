#include "platform/wia/WiaItem.h"
#include "platform/wia/wiamindr.h"
#include "platform/wia/wiatransfer.h"

#include "platform/base/winerror.h"

#include <gtest/gtest.h>

namespace {

using plat::wia::WiaItem;

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
        PROPID ids[] = {WIA_IPA_PIXELS_PER_LINE, WIA_IPA_NUMBER_OF_LINES, WIA_IPA_DEPTH, WIA_IPS_XRES,
                        WIA_IPS_YRES,            WIA_IPA_COMPRESSION,     WIA_IPA_TYMED, WIA_IPA_FORMAT};
        LPOLESTR names[8];
        for (LPOLESTR& name : names)
            name = const_cast<LPOLESTR>(u"p");
        ASSERT_EQ(S_OK, wiasSetItemPropNames(ctx, 8, ids, names));
        LONG values[] = {c.pixels, c.lines, c.depth, 300, 200, WIA_COMPRESSION_NONE, TYMED_CALLBACK};
        for (int i = 0; i < 7; ++i)
            ASSERT_EQ(S_OK, wiasWritePropLong(ctx, ids[i], values[i]));
        ASSERT_EQ(S_OK, wiasWritePropGuid(ctx, WIA_IPA_FORMAT, c.format));

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

TEST(ImageInformation, MissingPropertiesAndImpossibleSizesAreRefused)
{
    WiaItem item(WiaItemTypeImage | WiaItemTypeFile);
    MINIDRV_TRANSFER_CONTEXT transfer{};
    EXPECT_EQ(E_INVALIDARG, wiasGetImageInformation(item.Context(), WIAS_INIT_CONTEXT, &transfer));
    EXPECT_EQ(E_INVALIDARG, wiasGetImageInformation(nullptr, WIAS_INIT_CONTEXT, &transfer));
    EXPECT_EQ(E_INVALIDARG, wiasGetImageInformation(item.Context(), WIAS_INIT_CONTEXT, nullptr));
}

}  // namespace
