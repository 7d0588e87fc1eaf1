#include "stillimage/WIACaps.h"

#include "diag/RecordingLogSink.h"
#include "platform/wia/LongChanges.h"
#include "platform/wia/WiaItem.h"
#include "platform/wia/testing/DrvItemStub.h"
#include "platform/wia/testing/MiniDriverStub.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using plat::wia::WiaItem;

// The driver interface as validation calls it: only the format question.
class FormatDriver : public plat::wia::testing::MiniDriverStub {
public:
    explicit FormatDriver(CWIACaps& caps) : caps_(caps) {}
    HRESULT drvGetWiaFormatInfo(BYTE*, LONG, LONG* pcelt, WIA_FORMAT_INFO** ppwfi, LONG*) override
    {
        return caps_.GetSupportedFormats(pcelt, ppwfi);
    }

private:
    CWIACaps& caps_;
};

class FeederName : public plat::wia::testing::DrvItemStub {
public:
    HRESULT GetItemName(BSTR* name) override
    {
        *name = SysAllocString(u"Feeder");
        return S_OK;
    }
};

using Changes = std::vector<std::pair<PROPID, LONG>>;

// A device whose two items hold the driver's tables.
struct Device {
    Device()
    {
        EXPECT_EQ(S_OK, caps.InitializeCaps());
        EXPECT_EQ(S_OK, caps.SetupRootItems(root.Context()));
        FeederName name;
        EXPECT_EQ(S_OK, caps.SetupChildItems(&name, feeder.Context()));
    }

    // A client's change of long properties, then the driver's validation.
    HRESULT Change(WiaItem& item, const Changes& changes)
    {
        plat::wia::LongChanges change(changes);
        HRESULT hr = item.WriteFromClient(change.Count(), change.specs.data(), change.values.data());
        if (FAILED(hr))
            return hr;
        return caps.ValidateItemProperties(&driver, item.Context(), change.Count(), change.specs.data());
    }

    LONG Read(WiaItem& item, PROPID id)
    {
        LONG value = 0;
        EXPECT_EQ(S_OK, wiasReadPropLong(item.Context(), id, &value, nullptr, TRUE));
        return value;
    }

    CWIACaps caps;
    WiaItem root{WiaItemTypeRoot | WiaItemTypeFolder | WiaItemTypeDevice};
    WiaItem feeder{WiaItemTypeImage | WiaItemTypeFile, &root};
    FormatDriver driver{caps};
};

TEST(Validation, IntentSetsDataTypeDepthAndResolutions)
{
    struct Case {
        LONG intent;
        HRESULT result;
        LONG dataType, depth, channels, bitsPerChannel, resolution;
    } cases[] = {
        {WIA_INTENT_IMAGE_TYPE_COLOR, S_OK, 3, 24, 3, 8, 200},
        {WIA_INTENT_IMAGE_TYPE_TEXT | WIA_INTENT_MAXIMIZE_QUALITY, S_OK, 0, 1, 1, 1, 300},
        {WIA_INTENT_IMAGE_TYPE_TEXT | WIA_INTENT_MINIMIZE_SIZE, S_OK, 0, 1, 1, 1, 200},
        {WIA_INTENT_IMAGE_TYPE_GRAYSCALE | WIA_INTENT_MINIMIZE_SIZE, S_OK, 2, 8, 1, 8, 100},
        {WIA_INTENT_IMAGE_TYPE_GRAYSCALE | WIA_INTENT_MAXIMIZE_QUALITY, S_OK, 2, 8, 1, 8, 200},
        {WIA_INTENT_MINIMIZE_SIZE, S_OK, 0, 1, 1, 1, 100},
        {WIA_INTENT_MINIMIZE_SIZE | WIA_INTENT_MAXIMIZE_QUALITY, E_INVALIDARG, 0, 1, 1, 1, 200},
        {WIA_INTENT_IMAGE_TYPE_COLOR | WIA_INTENT_IMAGE_TYPE_GRAYSCALE, E_INVALIDARG, 0, 1, 1, 1, 200},
        {0x8, E_INVALIDARG, 0, 1, 1, 1, 200}, // outside the valid bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "intent 0x" << std::hex << c.intent);
        Device device;
        EXPECT_EQ(c.result, device.Change(device.feeder, {{WIA_IPS_CUR_INTENT, c.intent}}));
        if (FAILED(c.result))
            continue;
        EXPECT_EQ(c.dataType, device.Read(device.feeder, WIA_IPA_DATATYPE));
        EXPECT_EQ(c.depth, device.Read(device.feeder, WIA_IPA_DEPTH));
        EXPECT_EQ(c.channels, device.Read(device.feeder, WIA_IPA_CHANNELS_PER_PIXEL));
        EXPECT_EQ(c.bitsPerChannel, device.Read(device.feeder, WIA_IPA_BITS_PER_CHANNEL));
        EXPECT_EQ(c.resolution, device.Read(device.feeder, WIA_IPS_XRES));
        EXPECT_EQ(c.resolution, device.Read(device.feeder, WIA_IPS_YRES));
    }
}

TEST(Validation, DataTypeSetsDepthAndSizesFollowTheGeometry)
{
    struct Case {
        Changes change;
        HRESULT result;
        LONG depth, channels, bitsPerChannel, bytesPerLine, itemSize;
    } cases[] = {
        {{{WIA_IPA_DATATYPE, WIA_DATA_COLOR}}, S_OK, 24, 3, 8, 5100, 5100 * 2200 + 40},
        {{{WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE}}, S_OK, 8, 1, 8, 1700, 1700 * 2200 + 1064},
        // The client's own depth is kept.
        {{{WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE}, {WIA_IPA_DEPTH, 8}}, S_OK, 8, 1, 8, 1700, 1700 * 2200 + 1064},
        {{{WIA_IPA_TYMED, TYMED_FILE}}, S_OK, 1, 1, 1, 216, 216 * 2200 + 48 + 14},
        {{{WIA_IPA_DATATYPE, WIA_DATA_DITHER}}, E_INVALIDARG, 1, 1, 1, 216, 216 * 2200 + 48},
        {{{WIA_IPS_BRIGHTNESS, 101}}, E_INVALIDARG, 1, 1, 1, 216, 216 * 2200 + 48},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i);
        Device device;
        EXPECT_EQ(c.result, device.Change(device.feeder, c.change));
        EXPECT_EQ(c.depth, device.Read(device.feeder, WIA_IPA_DEPTH));
        EXPECT_EQ(c.channels, device.Read(device.feeder, WIA_IPA_CHANNELS_PER_PIXEL));
        EXPECT_EQ(c.bitsPerChannel, device.Read(device.feeder, WIA_IPA_BITS_PER_CHANNEL));
        EXPECT_EQ(c.bytesPerLine, device.Read(device.feeder, WIA_IPA_BYTES_PER_LINE));
        EXPECT_EQ(c.itemSize, device.Read(device.feeder, WIA_IPA_ITEM_SIZE));
    }
}

TEST(Validation, MediaTypeChoosesTheFormatAndResolutionMovesTheScanRectangle)
{
    Device device;
    ASSERT_EQ(S_OK, device.Change(device.feeder, {{WIA_IPA_TYMED, TYMED_FILE}}));
    GUID format{};
    ASSERT_EQ(S_OK, wiasReadPropGuid(device.feeder.Context(), WIA_IPA_FORMAT, &format, nullptr, TRUE));
    EXPECT_EQ(WiaImgFmt_BMP, format);

    ASSERT_EQ(S_OK, device.Change(device.feeder, {{WIA_IPS_XRES, 300}}));
    EXPECT_EQ(2550, device.Read(device.feeder, WIA_IPS_XEXTENT));
    EXPECT_EQ(11700 * 300 / 1000, device.feeder.Find(WIA_IPS_XEXTENT)->rangeMax);
    EXPECT_EQ(2200, device.Read(device.feeder, WIA_IPS_YEXTENT));

    EXPECT_EQ(E_INVALIDARG, device.Change(device.feeder, {{WIA_IPS_XRES, 250}}));
}

TEST(Validation, LineAndItemSizesFollowTheScanRectangleAfterItMoved)
{
    // 1 bit at 300 dpi: 2550 pixels (320 bytes a line) by 3300 lines.
    constexpr LONG kItemSizeAt300 = 320 * 3300 + 48;
    struct Case {
        Changes change;
        LONG pixelsPerLine, lines, bytesPerLine, itemSize;
    } cases[] = {
        {{{WIA_IPS_XRES, 300}, {WIA_IPS_YRES, 300}}, 2550, 3300, 320, kItemSizeAt300},
        {{{WIA_IPS_CUR_INTENT, WIA_INTENT_IMAGE_TYPE_TEXT | WIA_INTENT_MAXIMIZE_QUALITY}},
         2550,
         3300,
         320,
         kItemSizeAt300},
        {{{WIA_IPS_XEXTENT, 1000}}, 1000, 2200, 128, 128 * 2200 + 48},
        {{{WIA_IPS_YEXTENT, 1100}, {WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE}}, 1700, 1100, 1700, 1700 * 1100 + 1064},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i);
        Device device;
        ASSERT_EQ(S_OK, device.Change(device.feeder, c.change));
        EXPECT_EQ(c.pixelsPerLine, device.Read(device.feeder, WIA_IPA_PIXELS_PER_LINE));
        EXPECT_EQ(c.lines, device.Read(device.feeder, WIA_IPA_NUMBER_OF_LINES));
        EXPECT_EQ(c.bytesPerLine, device.Read(device.feeder, WIA_IPA_BYTES_PER_LINE));
        EXPECT_EQ(c.itemSize, device.Read(device.feeder, WIA_IPA_ITEM_SIZE));
    }
}

TEST(Validation, DocumentHandlingStatusFollowsAnAcceptedSelection)
{
    struct Case {
        LONG select;
        HRESULT result;
        LONG status;
    } cases[] = {
        {FEEDER | DUPLEX, S_OK, 5},
        {FEEDER, S_OK, 1},
        {FEEDER | DUPLEX | FRONT_FIRST, S_OK, 1}, // no status of its own: unchanged
        {FLATBED, E_INVALIDARG, 1},               // refused: the status is not touched
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "select " << c.select);
        Device device;
        EXPECT_EQ(c.result, device.Change(device.root, {{WIA_DPS_DOCUMENT_HANDLING_SELECT, c.select}}));
        EXPECT_EQ(c.status, device.Read(device.root, WIA_DPS_DOCUMENT_HANDLING_STATUS));
    }
}

TEST(Validation, RequestAndStepsAreTracedAsOneDataRecord)
{
    Device device;
    RecordingLogSink sink;
    device.caps.SetLogInterface(&sink);
    SetLogMask(LOG_TRACE);
    EnableLogName(u"WIA Caps.Data");

    // A format change alone (a GUID), then an intent.
    PROPSPEC spec{};
    spec.ulKind = PRSPEC_PROPID;
    spec.propid = WIA_IPA_FORMAT;
    GUID bmp = WiaImgFmt_BMP;
    PROPVARIANT value;
    PropVariantInit(&value);
    value.vt = VT_CLSID;
    value.puuid = &bmp;
    ASSERT_EQ(S_OK, device.feeder.WriteFromClient(1, &spec, &value));
    ASSERT_EQ(S_OK, device.caps.ValidateItemProperties(&device.driver, device.feeder.Context(), 1, &spec));
    ASSERT_EQ(S_OK, device.Change(device.feeder, {{WIA_IPS_CUR_INTENT, WIA_INTENT_IMAGE_TYPE_COLOR}}));
    device.caps.SetLogInterface(nullptr);
    DisableLogName(u"WIA Caps.Data");

    std::vector<std::u16string> requests;
    for (const LogRecord& record : sink.records) {
        if (record.logName == u"WIA Caps.Data" && record.text.starts_with(u"CStiWiaCaps::"))
            requests.push_back(record.text);
    }
    ASSERT_EQ(2u, requests.size());
    const std::u16string formatRequest = u"CStiWiaCaps::ValidateItemProperties() wiasGetItemType: 3:00000000 \n"
                                         u"CStiWiaCaps::ValidateItemProperties() wiasCreatePropContext 00000000 \n"
                                         u"- Property:0:4106 'Format'\n"
                                         u"- Property 'Format' - Changed\n"
                                         u"- Format New Before:b96b3cab072811d39d7b0000f81ef32e\n"
                                         u" - Format Old Before:b96b3caa072811d39d7b0000f81ef32e\n"
                                         u"- Property:1:6146 'Current Intent'\n";
    EXPECT_TRUE(requests[0].starts_with(formatRequest));
    EXPECT_TRUE(requests[0].ends_with(u"- Validateing Child items\r\n- CheckDataType\r\n- wiasGetRootItem\r\n"
                                      u"- wiasReadPropLong\n- FEEDER wiasUpdateScanRect\n"
                                      u"- wiasUpdateValidFormat\r\n- CheckDependencies\r\n"));
    EXPECT_NE(std::u16string::npos,
              requests[1].find(u"- Property:0:6146 'Current Intent'\n- Property 'Current Intent' - Changed\n"
                               u"- OldValue = 4, NewValue = 1\r\n- Property:1:4103 'Data Type'\n"));
}

TEST(FormatsAndCapabilities, ListsAreStableAndFollowTheFlags)
{
    CWIACaps caps;
    for (int call = 0; call < 2; ++call) {
        LONG count = 0;
        WIA_FORMAT_INFO* formats = nullptr;
        ASSERT_EQ(S_OK, caps.GetSupportedFormats(&count, &formats));
        ASSERT_EQ(2, count);
        EXPECT_EQ(WiaImgFmt_MEMORYBMP, formats[0].guidFormatID);
        EXPECT_EQ(TYMED_CALLBACK, formats[0].lTymed);
        EXPECT_EQ(WiaImgFmt_BMP, formats[1].guidFormatID);
        EXPECT_EQ(TYMED_FILE, formats[1].lTymed);
    }
    struct Case {
        LONG flags;
        std::vector<GUID> guids;
    } cases[] = {
        {0, {}},
        {WIA_DEVICE_COMMANDS, {WIA_CMD_SYNCHRONIZE}},
        {WIA_DEVICE_EVENTS, {WIA_EVENT_DEVICE_CONNECTED, WIA_EVENT_DEVICE_DISCONNECTED}},
        {WIA_DEVICE_COMMANDS | WIA_DEVICE_EVENTS,
         {WIA_CMD_SYNCHRONIZE, WIA_EVENT_DEVICE_CONNECTED, WIA_EVENT_DEVICE_DISCONNECTED}},
        {WIA_DEVICE_COMMANDS | WIA_DEVICE_EVENTS,
         {WIA_CMD_SYNCHRONIZE, WIA_EVENT_DEVICE_CONNECTED, WIA_EVENT_DEVICE_DISCONNECTED}},
    };
    for (const Case& c : cases) {
        LONG count = -1;
        WIA_DEV_CAP_DRV* caps_ = nullptr;
        ASSERT_EQ(S_OK, caps.GetWIACapabilities(c.flags, &count, &caps_));
        ASSERT_EQ(static_cast<LONG>(c.guids.size()), count) << "flags " << c.flags;
        for (LONG i = 0; i < count; ++i)
            EXPECT_EQ(c.guids[i], *caps_[i].guid);
        if (count == 3) {
            EXPECT_EQ(std::u16string(u"Synchronize"), caps_[0].wszName);
            EXPECT_EQ(0u, caps_[0].ulFlags);
            EXPECT_EQ(std::u16string(u"sti.dll,-2000"), caps_[0].wszIcon);
            EXPECT_EQ(std::u16string(u"PnP Device Removal Event"), caps_[2].wszDescription);
            EXPECT_EQ(WIA_NOTIFICATION_EVENT, caps_[2].ulFlags);
        }
    }
}

} // namespace
