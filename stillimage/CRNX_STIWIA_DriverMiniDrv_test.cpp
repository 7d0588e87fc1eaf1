// The minidriver operations on items and on the device.
#include "stillimage/testing/MiniDrvClient.h"

#include "platform/wia/LongChanges.h"

namespace {

using namespace stillimage::testing;

class StiDriverMiniDrv : public MiniDrvClient {
protected:
    void SetUp() override
    {
        IWiaDrvItem* root = nullptr;
        ASSERT_EQ(S_OK, Connect(&root));
        ASSERT_EQ(S_OK, items.Build(root));
        rootItem = items.Find(u"Root");
        feeder = items.Find(u"Feeder");
        ASSERT_TRUE(rootItem && feeder);
    }

    PROPSPEC Spec(PROPID id)
    {
        PROPSPEC spec{};
        spec.ulKind = PRSPEC_PROPID;
        spec.propid = id;
        return spec;
    }
    LONG Read(WiaItem* item, PROPID id)
    {
        LONG value = -1;
        EXPECT_EQ(S_OK, wiasReadPropLong(item->Context(), id, &value, nullptr, TRUE));
        return value;
    }

    WiaItem* rootItem = nullptr;
    WiaItem* feeder = nullptr;
};

TEST_F(StiDriverMiniDrv, ItemsGetTheirPropertiesByKind)
{
    LONG error = -1;
    ASSERT_EQ(S_OK, miniDrv()->drvInitItemProperties(rootItem->Context(), 0, &error));
    ASSERT_EQ(S_OK, miniDrv()->drvInitItemProperties(feeder->Context(), 0, &error));
    EXPECT_EQ(rootItem->Ids().size(), 15u);
    EXPECT_EQ(feeder->Ids().size(), 27u);
    EXPECT_NE(rootItem->Find(WIA_DPS_DOCUMENT_HANDLING_SELECT), nullptr);
    EXPECT_NE(feeder->Find(WIA_IPS_XRES), nullptr);

    Trace();
    WiaItem noDriverItem(WiaItemTypeImage);
    EXPECT_EQ(E_INVALIDARG, miniDrv()->drvInitItemProperties(noDriverItem.Context(), 0, &error));
    EXPECT_TRUE(Traced(u"wiasGetDrvItem FAILED Result=0x80070057, pDrvItem=0x00000000"));
    EXPECT_TRUE(Traced(u"drvInitItemProperties Exit. Result=0x80070057"));
    EXPECT_EQ(E_POINTER, miniDrv()->drvInitItemProperties(nullptr, 0, &error));
    EXPECT_EQ(E_POINTER, miniDrv()->drvInitItemProperties(feeder->Context(), 0, nullptr));
}

TEST_F(StiDriverMiniDrv, ReadingPropertiesRefreshesConnectAndDocumentStatus)
{
    LONG error = -1;
    ASSERT_EQ(S_OK, miniDrv()->drvInitItemProperties(rootItem->Context(), 0, &error));
    ASSERT_EQ(S_OK, wiasWritePropLong(rootItem->Context(), WIA_DPS_DOCUMENT_HANDLING_STATUS, 5));
    ASSERT_EQ(S_OK, wiasWritePropLong(rootItem->Context(), WIA_DPA_CONNECT_STATUS, 0));
    ASSERT_EQ(S_OK, wiasWritePropLong(rootItem->Context(), WIA_DPS_PAGES, 7));

    // No hardware service here: the feeder reads as empty.
    const PROPSPEC specs[] = {Spec(WIA_DPS_PAGES), Spec(WIA_DPA_CONNECT_STATUS),
                              Spec(WIA_DPS_DOCUMENT_HANDLING_STATUS)};
    ASSERT_EQ(S_OK, miniDrv()->drvReadItemProperties(rootItem->Context(), 0, 3, specs, &error));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(Read(rootItem, WIA_DPA_CONNECT_STATUS), WIA_DEVICE_CONNECTED);
    EXPECT_EQ(Read(rootItem, WIA_DPS_DOCUMENT_HANDLING_STATUS), 0);
    EXPECT_EQ(Read(rootItem, WIA_DPS_PAGES), 7); // left as the service holds it

    // The feeder item has no document status to write.
    EXPECT_EQ(E_INVALIDARG, miniDrv()->drvReadItemProperties(feeder->Context(), 0, 1, &specs[2], &error));
    EXPECT_EQ(E_INVALIDARG, miniDrv()->drvReadItemProperties(nullptr, 0, 1, specs, &error));
    EXPECT_EQ(E_INVALIDARG, miniDrv()->drvReadItemProperties(rootItem->Context(), 0, 1, nullptr, &error));
    EXPECT_EQ(E_INVALIDARG, miniDrv()->drvReadItemProperties(rootItem->Context(), 0, 1, specs, nullptr));
}

TEST_F(StiDriverMiniDrv, ValidationWritingAndTransfersCheckTheirArguments)
{
    LONG error = -1;
    ASSERT_EQ(S_OK, miniDrv()->drvInitItemProperties(rootItem->Context(), 0, &error));
    ASSERT_EQ(S_OK, miniDrv()->drvInitItemProperties(feeder->Context(), 0, &error));
    plat::wia::LongChanges change({{WIA_IPS_XRES, 300}});
    const PROPSPEC& xres = change.specs[0];
    ASSERT_EQ(S_OK, feeder->WriteFromClient(1, &xres, change.values.data()));
    EXPECT_EQ(S_OK, miniDrv()->drvValidateItemProperties(feeder->Context(), 0, 1, &xres, &error));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(Read(feeder, WIA_IPA_PIXELS_PER_LINE), 2550);
    EXPECT_EQ(E_POINTER, miniDrv()->drvValidateItemProperties(nullptr, 0, 1, &xres, &error));
    EXPECT_EQ(E_POINTER, miniDrv()->drvValidateItemProperties(feeder->Context(), 0, 1, nullptr, &error));
    EXPECT_EQ(E_POINTER, miniDrv()->drvValidateItemProperties(feeder->Context(), 0, 1, &xres, nullptr));

    // Without the hardware service nothing is configured, and a context
    // that describes no image is refused; the error value is left alone.
    MINIDRV_TRANSFER_CONTEXT transfer{};
    error = -1;
    EXPECT_EQ(E_FAIL, miniDrv()->drvWriteItemProperties(feeder->Context(), 0, &transfer, &error));
    EXPECT_EQ(E_INVALIDARG, miniDrv()->drvAcquireItemData(feeder->Context(), 0, &transfer, &error));
    EXPECT_EQ(error, -1);
    EXPECT_EQ(E_POINTER, miniDrv()->drvWriteItemProperties(nullptr, 0, &transfer, &error));
    EXPECT_EQ(E_POINTER, miniDrv()->drvWriteItemProperties(feeder->Context(), 0, &transfer, nullptr));
    EXPECT_EQ(E_POINTER, miniDrv()->drvAcquireItemData(feeder->Context(), 0, nullptr, &error));
    EXPECT_EQ(E_POINTER, miniDrv()->drvAcquireItemData(nullptr, 0, &transfer, &error));
    EXPECT_EQ(E_POINTER, miniDrv()->drvAcquireItemData(feeder->Context(), 0, &transfer, nullptr));
}

TEST_F(StiDriverMiniDrv, DeviceEventsAreAcknowledgedAndTraced)
{
    Trace();
    ScopedBstr deviceId(u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000");
    struct Case {
        const GUID* event;
        const char16_t* line;
    } cases[] = {
        {&WIA_EVENT_DEVICE_CONNECTED, u"- WIA_EVENT_DEVICE_CONNECTED on "},
        {&WIA_EVENT_DEVICE_DISCONNECTED, u"- WIA_EVENT_DEVICE_DISCONNECTED on "},
        {&WIA_EVENT_POWER_SUSPEND, u"- WIA_EVENT_POWER_SUSPEND on "},
        {&WIA_EVENT_POWER_RESUME, u"- WIA_EVENT_POWER_RESUME on "},
        {&WIA_EVENT_CANCEL_IO, u"- WIA_EVENT_CANCEL_IO on "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(S_OK, miniDrv()->drvNotifyPnpEvent(c.event, deviceId.Get(), 0));
        EXPECT_TRUE(Traced(c.line + std::u16string(deviceId.View())));
    }
    EXPECT_EQ(E_NOTIMPL, miniDrv()->drvNotifyPnpEvent(&WIA_CMD_SYNCHRONIZE, deviceId.Get(), 0));
    EXPECT_EQ(E_POINTER, miniDrv()->drvNotifyPnpEvent(nullptr, deviceId.Get(), 0));
    // Events change nothing: the tree and the clients are as they were.
    EXPECT_EQ(driver->ClientsConnected(), 1);
    EXPECT_EQ(FlagsOf(driver->RootItem()) & WiaItemTypeDisconnected, 0);
}

TEST_F(StiDriverMiniDrv, FormatsCommandsAndTheOperationsWithoutWork)
{
    LONG count = 0;
    LONG error = -1;
    WIA_FORMAT_INFO* formats = nullptr;
    ASSERT_EQ(S_OK, miniDrv()->drvGetWiaFormatInfo(feeder->Context(), 0, &count, &formats, &error));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(error, 0);
    WIA_DEV_CAP_DRV* capabilities = nullptr;
    error = -1;
    ASSERT_EQ(S_OK, miniDrv()->drvGetCapabilities(rootItem->Context(), WIA_DEVICE_COMMANDS | WIA_DEVICE_EVENTS, &count,
                                                  &capabilities, &error));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(E_POINTER, miniDrv()->drvGetWiaFormatInfo(nullptr, 0, nullptr, &formats, &error));
    EXPECT_EQ(E_POINTER, miniDrv()->drvGetWiaFormatInfo(nullptr, 0, &count, nullptr, &error));
    EXPECT_EQ(E_POINTER, miniDrv()->drvGetCapabilities(nullptr, 1, &count, &capabilities, nullptr));

    EXPECT_EQ(S_OK, miniDrv()->drvLockWiaDevice(rootItem->Context(), 0, &error));
    EXPECT_EQ(S_OK, miniDrv()->drvUnLockWiaDevice(rootItem->Context(), 0, &error));
    LPOLESTR text = nullptr;
    EXPECT_EQ(E_NOTIMPL, miniDrv()->drvAnalyzeItem(feeder->Context(), 0, &error));
    EXPECT_EQ(E_NOTIMPL, miniDrv()->drvGetDeviceErrorStr(0, 1, &text, &error));
    EXPECT_EQ(E_NOTIMPL, miniDrv()->drvDeleteItem(feeder->Context(), 0, &error));
    EXPECT_EQ(E_NOTIMPL, miniDrv()->drvFreeDrvItemContext(0, nullptr, &error));
}

} // namespace
