#include "stillimage/WIACaps.h"

#include "diag/RecordingLogSink.h"
#include "platform/wia/WiaItem.h"
#include "platform/wia/testing/DrvItemStub.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using plat::wia::ItemProperty;
using plat::wia::WiaItem;

// A driver item that only knows its name.
class FakeDrvItem : public plat::wia::testing::DrvItemStub {
public:
    explicit FakeDrvItem(const WCHAR* name, HRESULT result = S_OK) : name_(name), result_(result) {}
    HRESULT GetItemName(BSTR* name) override
    {
        *name = FAILED(result_) ? nullptr : SysAllocString(name_);
        return result_;
    }

private:
    const WCHAR* name_;
    HRESULT result_;
};

enum class Kind { Long, Text, Guid, Flag, Range, List, GuidList };

struct Row {
    PROPID id;
    const char16_t* name;
    Kind kind;
    ULONG access;
    LONG value;
    // Flag: valid bits; Range: minimum, maximum; List: the list.
    std::vector<LONG> valid;
};

constexpr ULONG RO = WIA_PROP_READ | WIA_PROP_NONE;

const std::vector<Row> kRootRows = {
    {1027, u"Connect Status", Kind::Long, RO, 1, {}},
    {3090, u"Horizontal Optical Resolution", Kind::Long, RO, 600, {}},
    {3091, u"Vertical Optical Resolution", Kind::Long, RO, 600, {}},
    {4102, u"Access Rights", Kind::Long, RO, 3, {}},
    {3095, u"Max Scan Time", Kind::Long, RO, 15000, {}},
    {1026, u"Firmware Version", Kind::Text, RO, 0, {}},
    {3103, u"Show preview control", Kind::Long, RO, 0, {}},
    {3100, u"Preview", Kind::List, 0x23, 0, {0, 1}},
    {3086, u"Document Handling Capabilities", Kind::Flag, 0x41, 0x65, {0x65}},
    {3076, u"Horizontal Sheet Feed Size", Kind::Long, RO, 11700, {}},
    {3077, u"Vertical Sheet Feed Size", Kind::Long, RO, 25000, {}},
    {3087, u"Document Handling Status", Kind::Flag, 0x41, 1, {5}},
    {3088, u"Document Handling Select", Kind::Flag, 0x43, 1, {13}},
    {3078, u"Sheet Feeder Registration", Kind::Long, RO, 1, {}},
    {3096, u"Pages", Kind::Range, 0x13, 0, {0, 150}},
};

// Item Size and Bytes Per Line come from the transfer context of the item
// (1700 pixels of 1 bit padded to 216 bytes, 2200 lines, a 48-byte header).
const std::vector<Row> kFeederRows = {
    {6148, u"Vertical Resolution", Kind::List, 0x23, 200, {100, 200, 300, 400, 500, 600}},
    {6147, u"Horizontal Resolution", Kind::List, 0x23, 200, {100, 200, 300, 400, 500, 600}},
    {6154, u"Brightness", Kind::Range, 0x13, 50, {0, 100}},
    {6155, u"Contrast", Kind::Range, 0x13, 50, {0, 100}},
    {6153, u"Photometric Interpretation", Kind::Long, RO, 0, {}},
    {6161, u"Lamp Warm up Time", Kind::Long, RO, 15000, {}},
    {6159, u"Threshold", Kind::Range, 0x13, 50, {0, 100}},
    {4112, u"Pixels Per Line", Kind::Long, RO, 1700, {}},
    {4118, u"Buffer Size", Kind::Long, RO, 65536, {}},
    {4116, u"Item Size", Kind::Long, RO, 216 * 2200 + 48, {}},
    {4114, u"Number of Lines", Kind::Long, RO, 2200, {}},
    {4111, u"Planar", Kind::Long, RO, 0, {}},
    {4113, u"Bytes Per Line", Kind::Long, RO, 216, {}},
    {4107, u"Compression", Kind::Long, RO, 0, {}},
    {4109, u"Channels Per Pixel", Kind::Long, RO, 1, {}},
    {4110, u"Bits Per Channel", Kind::Long, RO, 1, {}},
    {4103, u"Data Type", Kind::List, 0x23, 0, {0, 2, 3}},
    {4104, u"Bits Per Pixel", Kind::Long, RO, 1, {}},
    {4105, u"Preferred Format", Kind::Guid, RO, 0, {}},
    {6151, u"Horizontal Extent", Kind::Range, 0x13, 1700, {1, 2340}},
    {6152, u"Vertical Extent", Kind::Range, 0x13, 2200, {1, 5000}},
    {6149, u"Horizontal Start Position", Kind::Range, 0x13, 0, {0, 2339}},
    {6150, u"Vertical Start Position", Kind::Range, 0x13, 0, {0, 4999}},
    {4102, u"Access Rights", Kind::Long, RO, 3, {}},
    {4108, u"Media Type", Kind::List, 0x23, 128, {2, 128}},
    {4106, u"Format", Kind::GuidList, 0x23, 0, {}},
    {6146, u"Current Intent", Kind::Flag, 0x43, 4, {0x30007}},
};

void ExpectItemHolds(WiaItem& item, const std::vector<Row>& rows)
{
    std::vector<PROPID> expectedIds;
    for (const Row& row : rows)
        expectedIds.push_back(row.id);
    std::sort(expectedIds.begin(), expectedIds.end());
    EXPECT_EQ(expectedIds, item.Ids());

    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "property " << row.id);
        ItemProperty* p = item.Find(row.id);
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(std::u16string(row.name), p->name);
        ASSERT_TRUE(p->hasAttributes);
        EXPECT_EQ(row.access, p->accessFlags);
        const PROPVARIANT& value = p->value.Get();
        switch (row.kind) {
        case Kind::Text:
            ASSERT_EQ(VT_BSTR, value.vt);
            EXPECT_EQ(std::u16string(u"0.0.0.1"), value.bstrVal);
            break;
        case Kind::Guid:
            ASSERT_EQ(VT_CLSID, value.vt);
            EXPECT_EQ(WiaImgFmt_MEMORYBMP, *value.puuid);
            break;
        case Kind::GuidList:
            ASSERT_EQ(VT_CLSID, value.vt);
            EXPECT_EQ(WiaImgFmt_MEMORYBMP, *value.puuid);
            EXPECT_EQ(WiaImgFmt_MEMORYBMP, p->guidNom);
            EXPECT_EQ((std::vector<GUID>{WiaImgFmt_BMP, WiaImgFmt_MEMORYBMP}), p->listGuid);
            break;
        default:
            ASSERT_EQ(VT_I4, value.vt);
            EXPECT_EQ(row.value, value.lVal);
        }
        if (row.kind == Kind::Flag) {
            EXPECT_EQ(row.value, p->flagNom);
            EXPECT_EQ(row.valid[0], p->flagValidBits);
        } else if (row.kind == Kind::Range) {
            EXPECT_EQ(row.valid[0], p->rangeMin);
            EXPECT_EQ(row.value, p->rangeNom);
            EXPECT_EQ(row.valid[1], p->rangeMax);
            EXPECT_EQ(1, p->rangeInc);
        } else if (row.kind == Kind::List) {
            EXPECT_EQ(row.value, p->listNom);
            EXPECT_EQ(row.valid, p->listLong);
        }
    }
}

class WIACapsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, caps.InitializeCaps()); }

    CWIACaps caps;
    WiaItem root{WiaItemTypeRoot | WiaItemTypeFolder | WiaItemTypeDevice};
    WiaItem feeder{WiaItemTypeImage | WiaItemTypeFile, &root};
};

TEST_F(WIACapsTest, TablesWrittenToFreshItemsGiveThePropertiesOfEachItem)
{
    ASSERT_EQ(S_OK, caps.SetupRootItems(root.Context()));
    ExpectItemHolds(root, kRootRows);

    FakeDrvItem feederItem(u"Feeder");
    ASSERT_EQ(S_OK, caps.SetupChildItems(&feederItem, feeder.Context()));
    ExpectItemHolds(feeder, kFeederRows);
}

TEST_F(WIACapsTest, RepeatedInitializationGivesTheSameTables)
{
    std::vector<PROPID> rootIds, feederIds;
    for (const auto& entry : caps.RootTable())
        rootIds.push_back(entry.first);
    for (const auto& entry : caps.FeederTable())
        feederIds.push_back(entry.first);

    ASSERT_EQ(S_OK, caps.InitializeCaps());
    EXPECT_EQ((std::vector<LONG>{100, 200, 300, 400, 500, 600}), caps.ResolutionList());
    EXPECT_EQ((std::vector<LONG>{0, 2, 3}), caps.DataTypeList());
    std::vector<PROPID> rootIdsAgain, feederIdsAgain;
    for (const auto& entry : caps.RootTable())
        rootIdsAgain.push_back(entry.first);
    for (const auto& entry : caps.FeederTable())
        feederIdsAgain.push_back(entry.first);
    EXPECT_EQ(rootIds, rootIdsAgain);
    EXPECT_EQ(feederIds, feederIdsAgain);
    EXPECT_EQ(15u, rootIds.size());
    EXPECT_EQ(27u, feederIds.size());

    ASSERT_EQ(S_OK, caps.SetupRootItems(root.Context()));
    ExpectItemHolds(root, kRootRows);
}

TEST_F(WIACapsTest, OnlyTheItemNamedFeederReceivesTheFeederTable)
{
    struct Case {
        const WCHAR* name;
        HRESULT nameResult;
    } cases[] = {{u"feeder", S_OK}, {u"Feeder ", S_OK}, {u"Flatbed", S_OK}, {u"Feeder", E_FAIL}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        FakeDrvItem item(c.name, c.nameResult);
        EXPECT_EQ(c.nameResult, caps.SetupChildItems(&item, feeder.Context())) << "case " << i;
        EXPECT_TRUE(feeder.Ids().empty());
    }
}

TEST_F(WIACapsTest, WrittenValidValuesBoundTheClientsChanges)
{
    ASSERT_EQ(S_OK, caps.SetupRootItems(root.Context()));
    FakeDrvItem feederItem(u"Feeder");
    ASSERT_EQ(S_OK, caps.SetupChildItems(&feederItem, feeder.Context()));
    // clang-format off
    struct Case {
        WiaItem* item;
        PROPID id;
        LONG value;
        HRESULT expected;
    } cases[] = {
        {&feeder, WIA_IPS_XEXTENT, 2340, S_OK},      {&feeder, WIA_IPS_XEXTENT, 2341, E_INVALIDARG},
        {&feeder, WIA_IPS_YEXTENT, 5000, S_OK},      {&feeder, WIA_IPS_YEXTENT, 0, E_INVALIDARG},
        {&feeder, WIA_IPS_XPOS, 2339, S_OK},         {&feeder, WIA_IPS_XPOS, 2340, E_INVALIDARG},
        {&feeder, WIA_IPS_XRES, 600, S_OK},          {&feeder, WIA_IPS_XRES, 150, E_INVALIDARG},
        {&feeder, WIA_IPA_DATATYPE, 1, E_INVALIDARG}, {&feeder, WIA_IPS_CUR_INTENT, 0x10001, S_OK},
        {&feeder, WIA_IPS_CUR_INTENT, 0x40000, E_INVALIDARG},
        {&root, WIA_DPS_PAGES, 0, S_OK},             {&root, WIA_DPS_PAGES, 150, S_OK},
        {&root, WIA_DPS_PAGES, 151, E_INVALIDARG},   {&root, WIA_DPS_DOCUMENT_HANDLING_SELECT, 13, S_OK},
        {&root, WIA_DPS_DOCUMENT_HANDLING_SELECT, 2, E_INVALIDARG},
    };
    // clang-format on
    for (const Case& c : cases) {
        PROPSPEC spec{};
        spec.ulKind = PRSPEC_PROPID;
        spec.propid = c.id;
        PROPVARIANT value;
        PropVariantInit(&value);
        value.vt = VT_I4;
        value.lVal = c.value;
        ASSERT_EQ(S_OK, c.item->WriteFromClient(1, &spec, &value));
        EXPECT_EQ(c.expected, wiasValidateItemProperties(c.item->Context(), 1, &spec)) << c.id << " = " << c.value;
    }
}

TEST_F(WIACapsTest, SetupTracesItsStepsAsOneDataRecord)
{
    RecordingLogSink sink;
    caps.SetLogInterface(&sink);
    SetLogMask(LOG_TRACE);
    EnableLogName(u"WIA Caps");
    EnableLogName(u"WIA Caps.Data");

    FakeDrvItem feederItem(u"Feeder");
    ASSERT_EQ(S_OK, caps.SetupChildItems(&feederItem, feeder.Context()));
    EXPECT_EQ(E_INVALIDARG, caps.SetupRootItems(nullptr)) << "a failing first call ends the sequence";
    caps.SetLogInterface(nullptr);
    DisableLogName(u"WIA Caps");
    DisableLogName(u"WIA Caps.Data");

    std::vector<std::u16string> data;
    std::vector<std::u16string> trace;
    for (const LogRecord& record : sink.records)
        (record.logName == u"WIA Caps.Data" ? data : trace).push_back(record.text);
    EXPECT_EQ((std::vector<std::u16string>{
                  u"GetItemName - Feeder : 00000000",
                  u"- wiasSetItemPropNames 00000000\n- wiasWriteMultiple 00000000\n"
                  u"- wiasSetItemPropAttribs 00000000\n- wiasGetImageInformation 00000000\n"
                  u"- wiasWritePropLong 1 00000000\n- wiasWritePropLong 2 00000000\n",
                  u"- wiasSetItemPropNames 80070057\n",
              }),
              data);
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(u"SetupChildItems Entered.", trace.front());
    EXPECT_EQ(u"SetupRootItems Exit. Result = 0x80070057", trace.back());
}

} // namespace
