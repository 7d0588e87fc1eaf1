#include "platform/wia/WiaItem.h"
#include "platform/wia/wiamindr.h"

#include "platform/base/winerror.h"
#include "platform/oleauto/bstr.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using plat::wia::WiaItem;

PROPSPEC Spec(PROPID id)
{
    PROPSPEC spec{};
    spec.ulKind = PRSPEC_PROPID;
    spec.propid = id;
    return spec;
}

PROPVARIANT Long(LONG value)
{
    PROPVARIANT v;
    PropVariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

constexpr PROPID kLong = WIA_IPS_XRES;
constexpr PROPID kText = WIA_DPA_FIRMWARE_VERSION;
constexpr PROPID kGuid = WIA_IPA_FORMAT;
constexpr PROPID kRange = WIA_IPS_BRIGHTNESS;
constexpr PROPID kFlag = WIA_DPS_DOCUMENT_HANDLING_SELECT;

// An item with a long, a string, a GUID, a range and a flag property.
class WiasTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PROPID ids[] = {kLong, kText, kGuid, kRange, kFlag};
        LPOLESTR names[] = {const_cast<LPOLESTR>(u"Horizontal Resolution"), const_cast<LPOLESTR>(u"Firmware Version"),
                            const_cast<LPOLESTR>(u"Format"), const_cast<LPOLESTR>(u"Brightness"),
                            const_cast<LPOLESTR>(u"Document Handling Select")};
        ASSERT_EQ(S_OK, wiasSetItemPropNames(ctx, 5, ids, names));
        ASSERT_EQ(S_OK, wiasWritePropLong(ctx, kLong, 200));
        BSTR text = SysAllocString(u"0.0.0.1");
        ASSERT_EQ(S_OK, wiasWritePropStr(ctx, kText, text));
        SysFreeString(text);
        ASSERT_EQ(S_OK, wiasWritePropGuid(ctx, kGuid, WiaImgFmt_MEMORYBMP));
        ASSERT_EQ(S_OK, wiasWritePropLong(ctx, kRange, 50));
        ASSERT_EQ(S_OK, wiasWritePropLong(ctx, kFlag, FEEDER));
        LONG resolutions[] = {100, 200, 300};
        ASSERT_EQ(S_OK, wiasSetValidListLong(ctx, kLong, 3, 200, resolutions));
        GUID formats[] = {WiaImgFmt_BMP, WiaImgFmt_MEMORYBMP};
        ASSERT_EQ(S_OK, wiasSetValidListGuid(ctx, kGuid, 2, WiaImgFmt_MEMORYBMP, formats));
        ASSERT_EQ(S_OK, wiasSetValidRangeLong(ctx, kRange, 0, 50, 100, 5));
        ASSERT_EQ(S_OK, wiasSetValidFlag(ctx, kFlag, FEEDER, FEEDER | DUPLEX | FRONT_FIRST));
    }

    // A client's change of one long property.
    void ClientSets(PROPID id, LONG value)
    {
        PROPSPEC spec = Spec(id);
        PROPVARIANT v = Long(value);
        ASSERT_EQ(S_OK, item.WriteFromClient(1, &spec, &v));
    }

    WiaItem item{WiaItemTypeRoot | WiaItemTypeFolder | WiaItemTypeDevice};
    BYTE* ctx = item.Context();
};

TEST_F(WiasTest, ReadsGiveWhatWasWrittenAndOldValuesFollowClientChanges)
{
    LONG value = 0, old = 0;
    ASSERT_EQ(S_OK, wiasReadPropLong(ctx, kLong, &value, &old, TRUE));
    EXPECT_EQ(200, value);
    EXPECT_EQ(200, old) << "before any client change the old value is the current one";

    ClientSets(kLong, 300);
    ASSERT_EQ(S_OK, wiasWritePropLong(ctx, kLong, 100)); // the driver's own write keeps the old value
    ASSERT_EQ(S_OK, wiasReadPropLong(ctx, kLong, &value, &old, TRUE));
    EXPECT_EQ(100, value);
    EXPECT_EQ(200, old);

    BSTR text = nullptr, oldText = nullptr;
    ASSERT_EQ(S_OK, wiasReadPropStr(ctx, kText, &text, &oldText, TRUE));
    EXPECT_EQ(std::u16string(u"0.0.0.1"), text);
    EXPECT_EQ(std::u16string(u"0.0.0.1"), oldText);
    SysFreeString(text);
    SysFreeString(oldText);

    GUID guid{}, oldGuid{};
    ASSERT_EQ(S_OK, wiasWritePropGuid(ctx, kGuid, WiaImgFmt_BMP));
    ASSERT_EQ(S_OK, wiasReadPropGuid(ctx, kGuid, &guid, &oldGuid, TRUE));
    EXPECT_EQ(WiaImgFmt_BMP, guid);
    EXPECT_EQ(WiaImgFmt_MEMORYBMP, oldGuid);
}

TEST_F(WiasTest, UnknownPropertiesAndMismatchedTypesAreRefused)
{
    constexpr PROPID kUnknown = 9999;
    LONG value = 0;
    GUID guid{};
    BSTR text = nullptr;
    BSTR someText = SysAllocString(u"x");
    struct Case {
        const char* what;
        HRESULT got;
        HRESULT expected;
    } cases[] = {
        {"read unknown, must exist", wiasReadPropLong(ctx, kUnknown, &value, nullptr, TRUE), E_INVALIDARG},
        {"read unknown, may be missing", wiasReadPropLong(ctx, kUnknown, &value, nullptr, FALSE), S_FALSE},
        {"write unknown", wiasWritePropLong(ctx, kUnknown, 1), E_INVALIDARG},
        {"long read of a string", wiasReadPropLong(ctx, kText, &value, nullptr, TRUE), E_INVALIDARG},
        {"string read of a long", wiasReadPropStr(ctx, kLong, &text, nullptr, TRUE), E_INVALIDARG},
        {"guid read of a long", wiasReadPropGuid(ctx, kLong, &guid, nullptr, TRUE), E_INVALIDARG},
        {"long write to a guid", wiasWritePropLong(ctx, kGuid, 1), E_INVALIDARG},
        {"string write to a long", wiasWritePropStr(ctx, kLong, someText), E_INVALIDARG},
        {"guid write to a string", wiasWritePropGuid(ctx, kText, WiaImgFmt_BMP), E_INVALIDARG},
        {"long range on a guid", wiasSetValidRangeLong(ctx, kGuid, 0, 0, 1, 1), E_INVALIDARG},
        {"guid list on a long", wiasSetValidListGuid(ctx, kLong, 0, WiaImgFmt_BMP, nullptr), E_INVALIDARG},
        {"valid values of unknown", wiasSetValidFlag(ctx, kUnknown, 0, 1), E_INVALIDARG},
        {"null context", wiasWritePropLong(nullptr, kLong, 1), E_INVALIDARG},
        {"validate unknown",
         [&] {
             PROPSPEC s = Spec(kUnknown);
             return wiasValidateItemProperties(ctx, 1, &s);
         }(),
         E_INVALIDARG},
    };
    SysFreeString(someText);
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, c.got) << c.what;
    EXPECT_EQ(nullptr, text);

    // A multiple write is all or nothing.
    PROPSPEC specs[] = {Spec(kLong), Spec(kUnknown)};
    PROPVARIANT values[] = {Long(300), Long(1)};
    EXPECT_EQ(E_INVALIDARG, wiasWriteMultiple(ctx, 2, specs, values));
    ASSERT_EQ(S_OK, wiasReadPropLong(ctx, kLong, &value, nullptr, TRUE));
    EXPECT_EQ(200, value);
}

TEST_F(WiasTest, ValidationChecksRangesListsAndFlags)
{
    struct Case {
        PROPID id;
        LONG value;
        HRESULT expected;
    } cases[] = {
        {kRange, 0, S_OK},
        {kRange, 100, S_OK},
        {kRange, 55, S_OK},
        {kRange, 101, E_INVALIDARG},
        {kRange, -1, E_INVALIDARG},
        {kRange, 52, E_INVALIDARG}, // off the step
        {kLong, 300, S_OK},
        {kLong, 250, E_INVALIDARG},
        {kFlag, FEEDER | DUPLEX | FRONT_FIRST, S_OK},
        {kFlag, FLATBED, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(S_OK, wiasWritePropLong(ctx, c.id, c.value));
        PROPSPEC spec = Spec(c.id);
        EXPECT_EQ(c.expected, wiasValidateItemProperties(ctx, 1, &spec)) << c.id << " = " << c.value;
    }
    ASSERT_EQ(S_OK, wiasWritePropGuid(ctx, kGuid, WiaImgFmt_BMP));
    PROPSPEC spec = Spec(kGuid);
    EXPECT_EQ(S_OK, wiasValidateItemProperties(ctx, 1, &spec));
    ASSERT_EQ(S_OK, wiasWritePropGuid(ctx, kGuid, GUID{}));
    EXPECT_EQ(E_INVALIDARG, wiasValidateItemProperties(ctx, 1, &spec));
}

TEST_F(WiasTest, AttributesWrittenTogetherAreCopiedAndReplaceEarlierOnes)
{
    std::vector<LONG> list = {100, 200};
    WIA_PROPERTY_INFO info[2]{};
    info[0].lAccessFlags = WIA_PROP_RW | WIA_PROP_LIST;
    info[0].vt = VT_I4;
    info[0].ValidVal.List.cNumList = 2;
    info[0].ValidVal.List.Nom = 200;
    info[0].ValidVal.List.pList = reinterpret_cast<BYTE*>(list.data());
    info[1].lAccessFlags = WIA_PROP_READ | WIA_PROP_NONE;
    info[1].vt = VT_I4;
    PROPSPEC specs[] = {Spec(kLong), Spec(kRange)};
    ASSERT_EQ(S_OK, wiasSetItemPropAttribs(ctx, 2, specs, info));
    list = {1, 2}; // the caller's list may go away

    EXPECT_EQ(WIA_PROP_RW | WIA_PROP_LIST, item.Find(kLong)->accessFlags);
    EXPECT_EQ((std::vector<LONG>{100, 200}), item.Find(kLong)->listLong);
    ASSERT_EQ(S_OK, wiasWritePropLong(ctx, kRange, 1000));
    EXPECT_EQ(S_OK, wiasValidateItemProperties(ctx, 2, specs)) << "no valid values any more";

    info[1].vt = VT_BSTR;
    EXPECT_EQ(E_INVALIDARG, wiasSetItemPropAttribs(ctx, 2, specs, info)) << "a long property cannot become a string";
}

TEST_F(WiasTest, PropertyContextMarksTheClientsPropertiesAndValidatesChangedValues)
{
    PROPSPEC specs[] = {Spec(kRange), Spec(WIA_IPS_XRES)};
    PROPID extra[] = {kFlag};
    WIA_PROPERTY_CONTEXT context{};
    ASSERT_EQ(S_OK, wiasCreatePropContext(2, specs, 1, extra, &context));

    BOOL changed = FALSE;
    ASSERT_EQ(S_OK, wiasIsPropChanged(kRange, &context, &changed));
    EXPECT_TRUE(changed);
    ASSERT_EQ(S_OK, wiasIsPropChanged(kFlag, &context, &changed));
    EXPECT_FALSE(changed);
    ASSERT_EQ(S_OK, wiasIsPropChanged(WIA_IPS_CUR_INTENT, &context, &changed))
        << "depended-on properties are always in";
    EXPECT_FALSE(changed);
    EXPECT_EQ(E_INVALIDARG, wiasIsPropChanged(kText, &context, &changed));
    ASSERT_EQ(S_OK, wiasSetPropChanged(kFlag, &context, TRUE));
    ASSERT_EQ(S_OK, wiasIsPropChanged(kFlag, &context, &changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(E_INVALIDARG, wiasSetPropChanged(kText, &context, TRUE));

    ClientSets(kRange, 70);
    WIAS_CHANGED_VALUE_INFO info{};
    ASSERT_EQ(S_OK, wiasGetChangedValueLong(ctx, &context, FALSE, kRange, &info));
    EXPECT_TRUE(info.bChanged);
    EXPECT_EQ(50, info.Old.lVal);
    EXPECT_EQ(70, info.Current.lVal);

    ClientSets(kRange, 71); // off the step of 5
    EXPECT_EQ(E_INVALIDARG, wiasGetChangedValueLong(ctx, &context, FALSE, kRange, &info));
    ASSERT_EQ(S_OK, wiasGetChangedValueLong(ctx, &context, TRUE, kRange, &info)) << "validation skipped";
    EXPECT_EQ(71, info.Current.lVal);

    ASSERT_EQ(S_OK, wiasFreePropContext(&context));
    EXPECT_EQ(0u, context.cProps);
    EXPECT_EQ(nullptr, context.pProps);
}

TEST_F(WiasTest, ReadMultipleGivesOwnedCopiesOfCurrentAndOldValues)
{
    ClientSets(kLong, 300);
    PROPSPEC specs[] = {Spec(kLong), Spec(kText), Spec(kGuid)};
    PROPVARIANT values[3], old[3];
    ASSERT_EQ(S_OK, wiasReadMultiple(ctx, 3, specs, values, old));
    EXPECT_EQ(300, values[0].lVal);
    EXPECT_EQ(200, old[0].lVal);
    ASSERT_EQ(VT_BSTR, values[1].vt);
    EXPECT_EQ(std::u16string(u"0.0.0.1"), values[1].bstrVal);
    ASSERT_EQ(VT_CLSID, old[2].vt);
    EXPECT_EQ(WiaImgFmt_MEMORYBMP, *old[2].puuid);
    EXPECT_NE(item.Find(kGuid)->value.Get().puuid, values[2].puuid) << "the caller owns its copy";
    EXPECT_EQ(S_OK, FreePropVariantArray(3, values));
    EXPECT_EQ(S_OK, FreePropVariantArray(3, old));

    PROPSPEC unknown[] = {Spec(kLong), Spec(9999)};
    EXPECT_EQ(E_INVALIDARG, wiasReadMultiple(ctx, 2, unknown, values, nullptr));
}

TEST(WiasItemTree, ItemTypeAndRootComeFromTheTree)
{
    WiaItem root(WiaItemTypeRoot | WiaItemTypeFolder);
    WiaItem feeder(WiaItemTypeImage | WiaItemTypeFile, &root);
    LONG type = 0;
    ASSERT_EQ(S_OK, wiasGetItemType(feeder.Context(), &type));
    EXPECT_EQ(WiaItemTypeImage | WiaItemTypeFile, type);
    BYTE* rootContext = nullptr;
    ASSERT_EQ(S_OK, wiasGetRootItem(feeder.Context(), &rootContext));
    EXPECT_EQ(root.Context(), rootContext);
    ASSERT_EQ(S_OK, wiasGetRootItem(root.Context(), &rootContext));
    EXPECT_EQ(root.Context(), rootContext);
    EXPECT_EQ(E_INVALIDARG, wiasGetItemType(nullptr, &type));
}

} // namespace
