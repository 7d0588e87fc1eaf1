#include "platform/wia/WiaItem.h"
#include "platform/wia/testing/MiniDriverStub.h"
#include "platform/wia/wiaminidrv.h"
#include "platform/wia/wiamindr.h"

#include "platform/base/winerror.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using plat::wia::ItemProperty;
using plat::wia::WiaItem;

PROPSPEC Spec(PROPID id)
{
    PROPSPEC spec{};
    spec.ulKind = PRSPEC_PROPID;
    spec.propid = id;
    return spec;
}

void Name(WiaItem& item, std::initializer_list<PROPID> ids)
{
    for (PROPID id : ids)
        item.SetName(id, u"p");
}

// Applies a client's change of long properties and builds the context for it.
void ClientChange(WiaItem& item, std::vector<std::pair<PROPID, LONG>> changes, WIA_PROPERTY_CONTEXT* context)
{
    std::vector<PROPSPEC> specs;
    std::vector<PROPVARIANT> values;
    for (auto [id, value] : changes) {
        specs.push_back(Spec(id));
        PROPVARIANT v;
        PropVariantInit(&v);
        v.vt = VT_I4;
        v.lVal = value;
        values.push_back(v);
    }
    ASSERT_EQ(S_OK, item.WriteFromClient(static_cast<ULONG>(specs.size()), specs.data(), values.data()));
    ASSERT_EQ(S_OK, wiasCreatePropContext(static_cast<ULONG>(specs.size()), specs.data(), 0, nullptr, context));
}

LONG Read(WiaItem& item, PROPID id)
{
    LONG value = 0;
    EXPECT_EQ(S_OK, wiasReadPropLong(item.Context(), id, &value, nullptr, TRUE));
    return value;
}

TEST(UpdateScanRect, RectangleFollowsTheResolutionAndStaysInsideTheArea)
{
    struct Case {
        std::vector<std::pair<PROPID, LONG>> change;
        LONG xpos, xext, ypos, yext; // after the update
        LONG xmax, ymax;             // extent maxima
    } cases[] = {
        // 8.5 x 11 inch area: 1700 x 2200 at 200 dpi.
        {{{WIA_IPS_XRES, 400}, {WIA_IPS_YRES, 400}}, 0, 3400, 200, 4000, 3400, 4400},
        {{{WIA_IPS_XRES, 100}}, 0, 850, 100, 2000, 850, 2200},
        {{{WIA_IPS_XEXTENT, 1000}, {WIA_IPS_XPOS, 1600}}, 1600, 100, 100, 2000, 1700, 2200},
        {{{WIA_IPS_YPOS, 5000}}, 0, 1700, 2199, 1, 1700, 2200},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i);
        WiaItem item(WiaItemTypeImage | WiaItemTypeFile);
        Name(item, {WIA_IPS_XRES, WIA_IPS_YRES, WIA_IPS_XPOS, WIA_IPS_YPOS, WIA_IPS_XEXTENT, WIA_IPS_YEXTENT});
        for (auto [id, value] : {std::pair<PROPID, LONG>{WIA_IPS_XRES, 200},
                                 {WIA_IPS_YRES, 200},
                                 {WIA_IPS_XPOS, 0},
                                 {WIA_IPS_YPOS, 100},
                                 {WIA_IPS_XEXTENT, 1700},
                                 {WIA_IPS_YEXTENT, 2000}})
            ASSERT_EQ(S_OK, wiasWritePropLong(item.Context(), id, value));
        WIA_PROPERTY_CONTEXT context{};
        ClientChange(item, c.change, &context);

        ASSERT_EQ(S_OK, wiasUpdateScanRect(item.Context(), &context, 8500, 11000));
        EXPECT_EQ(c.xpos, Read(item, WIA_IPS_XPOS));
        EXPECT_EQ(c.xext, Read(item, WIA_IPS_XEXTENT));
        EXPECT_EQ(c.ypos, Read(item, WIA_IPS_YPOS));
        EXPECT_EQ(c.yext, Read(item, WIA_IPS_YEXTENT));
        EXPECT_EQ(c.xmax, item.Find(WIA_IPS_XEXTENT)->rangeMax);
        EXPECT_EQ(c.ymax, item.Find(WIA_IPS_YEXTENT)->rangeMax);
        EXPECT_EQ(c.xmax - 1, item.Find(WIA_IPS_XPOS)->rangeMax);
        PROPSPEC rect[] = {Spec(WIA_IPS_XPOS), Spec(WIA_IPS_YPOS), Spec(WIA_IPS_XEXTENT), Spec(WIA_IPS_YEXTENT)};
        EXPECT_EQ(S_OK, wiasValidateItemProperties(item.Context(), 4, rect));
        wiasFreePropContext(&context);
    }
}

// A driver that reports two formats; nothing else is called.
class FormatDriver : public plat::wia::testing::MiniDriverStub {
public:
    HRESULT drvGetWiaFormatInfo(BYTE*, LONG, LONG* pcelt, WIA_FORMAT_INFO** ppwfi, LONG* plDevErrVal) override
    {
        *pcelt = 2;
        *ppwfi = formats_;
        *plDevErrVal = 0;
        return S_OK;
    }

private:
    WIA_FORMAT_INFO formats_[2] = {{WiaImgFmt_MEMORYBMP, TYMED_CALLBACK}, {WiaImgFmt_BMP, TYMED_FILE}};
};

TEST(UpdateValidFormat, FormatsFollowTheMediaType)
{
    WiaItem item(WiaItemTypeImage | WiaItemTypeFile);
    Name(item, {WIA_IPA_TYMED, WIA_IPA_FORMAT});
    ASSERT_EQ(S_OK, wiasWritePropLong(item.Context(), WIA_IPA_TYMED, TYMED_CALLBACK));
    ASSERT_EQ(S_OK, wiasWritePropGuid(item.Context(), WIA_IPA_FORMAT, WiaImgFmt_MEMORYBMP));
    FormatDriver driver;

    WIA_PROPERTY_CONTEXT context{};
    ClientChange(item, {{WIA_IPA_TYMED, TYMED_FILE}}, &context);
    ASSERT_EQ(S_OK, wiasUpdateValidFormat(item.Context(), &context, &driver));
    GUID format{};
    ASSERT_EQ(S_OK, wiasReadPropGuid(item.Context(), WIA_IPA_FORMAT, &format, nullptr, TRUE));
    EXPECT_EQ(WiaImgFmt_BMP, format);
    EXPECT_EQ(std::vector<GUID>{WiaImgFmt_BMP}, item.Find(WIA_IPA_FORMAT)->listGuid);
    BOOL changed = FALSE;
    ASSERT_EQ(S_OK, wiasIsPropChanged(WIA_IPA_FORMAT, &context, &changed));
    EXPECT_TRUE(changed);
    wiasFreePropContext(&context);

    // Without a media-type change nothing is touched.
    ClientChange(item, {}, &context);
    ASSERT_EQ(S_OK, wiasWritePropGuid(item.Context(), WIA_IPA_FORMAT, WiaImgFmt_MEMORYBMP));
    ASSERT_EQ(S_OK, wiasUpdateValidFormat(item.Context(), &context, &driver));
    ASSERT_EQ(S_OK, wiasReadPropGuid(item.Context(), WIA_IPA_FORMAT, &format, nullptr, TRUE));
    EXPECT_EQ(WiaImgFmt_MEMORYBMP, format);
    wiasFreePropContext(&context);

    EXPECT_EQ(E_INVALIDARG, wiasUpdateValidFormat(item.Context(), &context, nullptr));
}

} // namespace
