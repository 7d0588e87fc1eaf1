// The driver's clients and its item tree.
#include "stillimage/testing/MiniDrvClient.h"

#include <thread>

namespace {

using namespace stillimage::testing;
using StiDriverItemTree = MiniDrvClient;

TEST_F(StiDriverItemTree, ClientsShareOneTreeThatTheLastOneTakesDown)
{
    IWiaDrvItem* root = nullptr;
    ASSERT_EQ(S_OK, Connect(&root));
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(S_OK, items.Build(root));
    ASSERT_EQ(items.Entries().size(), 2u);
    EXPECT_EQ(items.Entries()[0].name, u"Root");
    EXPECT_EQ(items.Entries()[0].fullName, u"0000\\Root");
    EXPECT_EQ(items.Root()->ItemType(), 0x4C);
    EXPECT_EQ(items.Entries()[1].name, u"Feeder");
    EXPECT_EQ(items.Entries()[1].fullName, u"0000\\Root\\Feeder");
    EXPECT_EQ(items.Entries()[1].item->ItemType(), 0x43);
    EXPECT_EQ(stiDevice.refs, 2u); // the driver holds the device

    IWiaDrvItem* second = reinterpret_cast<IWiaDrvItem*>(1);
    ASSERT_EQ(S_OK, Connect(&second));
    EXPECT_EQ(second, root);
    EXPECT_EQ(driver->ClientsConnected(), 2);

    Trace();
    EXPECT_EQ(S_OK, Disconnect());
    EXPECT_EQ(driver->ClientsConnected(), 1);
    EXPECT_EQ(driver->RootItem(), root);
    EXPECT_EQ(FlagsOf(root) & WiaItemTypeDisconnected, 0);
    EXPECT_TRUE(Traced(u"1 client(s) are currently connected to this driver."));

    EXPECT_EQ(S_OK, Disconnect());
    EXPECT_EQ(driver->ClientsConnected(), 0);
    EXPECT_EQ(driver->RootItem(), nullptr);
    EXPECT_EQ(stiDevice.refs, 1u);
    // The service's items still hold the old tree, marked as gone.
    EXPECT_EQ(FlagsOf(root) & WiaItemTypeDisconnected, WiaItemTypeDisconnected);

    EXPECT_EQ(S_OK, Disconnect());
    EXPECT_EQ(driver->ClientsConnected(), 0);
    EXPECT_TRUE(Traced(u"The client connection counter decremented below zero. Assuming no clients are currently "
                       u"connected and automatically setting to 0"));
    EXPECT_EQ(E_INVALIDARG, miniDrv()->drvUnInitializeWia(nullptr));
    EXPECT_TRUE(Traced(u"Invalid parameters were passed, hr = 80070057"));
    driver->SetLogInterface(nullptr);
}

TEST_F(StiDriverItemTree, ClientCountRules)
{
    // A device object that is no still-image device: counted, no tree, and
    // the root output cleared all the same.
    StiDevice notAStiDevice(false);
    IWiaDrvItem* root = reinterpret_cast<IWiaDrvItem*>(1);
    ASSERT_EQ(S_OK, Connect(&notAStiDevice, &root));
    EXPECT_EQ(root, nullptr);
    EXPECT_EQ(driver->ClientsConnected(), 1);
    EXPECT_EQ(driver->RootItem(), nullptr);
    // The next client with a device gets the tree built.
    ASSERT_EQ(S_OK, Connect(&root));
    EXPECT_NE(root, nullptr);
    EXPECT_EQ(driver->ClientsConnected(), 2);
}

TEST_F(StiDriverItemTree, FailedFirstClientLeavesTheNextOneATree)
{
    IWiaDrvItem* root = reinterpret_cast<IWiaDrvItem*>(1);
    EXPECT_EQ(E_INVALIDARG, Connect(&stiDevice, &root, u"")); // no root item without a name
    EXPECT_EQ(root, nullptr);
    EXPECT_EQ(driver->ClientsConnected(), 0);
    EXPECT_EQ(stiDevice.refs, 1u); // not kept

    ASSERT_EQ(S_OK, Connect(&root));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(driver->ClientsConnected(), 1);
    EXPECT_EQ(S_OK, items.Build(root));
    EXPECT_EQ(items.Entries().size(), 2u);
}

TEST_F(StiDriverItemTree, PropertyModelFailureKeepsTheTreeButDoesNotCount)
{
    driver->NonDelegatingRelease();
    driver = new DriverWithoutCaps;
    IWiaDrvItem* root = nullptr;
    EXPECT_EQ(E_OUTOFMEMORY, Connect(&root));
    EXPECT_NE(root, nullptr);
    EXPECT_EQ(driver->RootItem(), root);
    EXPECT_EQ(driver->ClientsConnected(), 0);

    IWiaDrvItem* later = nullptr;
    EXPECT_EQ(S_OK, Connect(&later));
    EXPECT_EQ(later, root);
    EXPECT_EQ(driver->ClientsConnected(), 1);
}

TEST_F(StiDriverItemTree, InitializeRefusesMissingArguments)
{
    ScopedBstr text(u"0000\\Root");
    IWiaDrvItem* root = nullptr;
    LONG error = 0;
    BYTE* ctx = context.Context();
    struct Case {
        BYTE* context;
        BSTR deviceId;
        BSTR rootName;
        IUnknown* device;
        IWiaDrvItem** root;
        LONG* error;
    } cases[] = {
        {nullptr, text.Get(), text.Get(), &stiDevice, &root, &error},
        {ctx, nullptr, text.Get(), &stiDevice, &root, &error},
        {ctx, text.Get(), nullptr, &stiDevice, &root, &error},
        {ctx, text.Get(), text.Get(), nullptr, &root, &error},
        {ctx, text.Get(), text.Get(), &stiDevice, nullptr, &error},
        {ctx, text.Get(), text.Get(), &stiDevice, &root, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(E_INVALIDARG, miniDrv()->drvInitializeWia(c.context, 0, c.deviceId, c.rootName, c.device, nullptr,
                                                            c.root, nullptr, c.error));
    EXPECT_EQ(driver->ClientsConnected(), 0);

    // The driver hands out no inner unknown.
    IUnknown* inner = reinterpret_cast<IUnknown*>(1);
    ASSERT_EQ(S_OK,
              miniDrv()->drvInitializeWia(ctx, 0, text.Get(), text.Get(), &stiDevice, nullptr, &root, &inner, &error));
    EXPECT_EQ(inner, nullptr);
}

TEST_F(StiDriverItemTree, SynchronizeRebuildsTheTreeInPlace)
{
    IWiaDrvItem* root = nullptr;
    ASSERT_EQ(S_OK, Connect(&root));
    ComPtr<IWiaDrvItem> oldRoot(root);

    // Any other command leaves the tree as it was.
    const GUID other = WIA_EVENT_DEVICE_CONNECTED;
    IWiaDrvItem* newItem = reinterpret_cast<IWiaDrvItem*>(1);
    LONG error = -1;
    EXPECT_EQ(E_NOTIMPL, miniDrv()->drvDeviceCommand(context.Context(), 0, &other, &newItem, &error));
    EXPECT_EQ(newItem, nullptr);
    EXPECT_EQ(driver->RootItem(), root);
    EXPECT_EQ(error, -1);

    newItem = reinterpret_cast<IWiaDrvItem*>(1);
    ASSERT_EQ(S_OK, miniDrv()->drvDeviceCommand(context.Context(), 0, &WIA_CMD_SYNCHRONIZE, &newItem, &error));
    EXPECT_EQ(newItem, nullptr);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(driver->ClientsConnected(), 1);
    ASSERT_NE(driver->RootItem(), nullptr);
    EXPECT_NE(driver->RootItem(), oldRoot.Get());
    EXPECT_EQ(FlagsOf(oldRoot.Get()) & WiaItemTypeDisconnected, WiaItemTypeDisconnected);
    ASSERT_EQ(S_OK, items.Build(driver->RootItem()));
    EXPECT_EQ(items.Entries().size(), 2u);

    EXPECT_EQ(E_INVALIDARG, miniDrv()->drvDeviceCommand(context.Context(), 0, nullptr, &newItem, &error));
    EXPECT_EQ(E_INVALIDARG, miniDrv()->drvDeviceCommand(context.Context(), 0, &WIA_CMD_SYNCHRONIZE, nullptr, &error));
    EXPECT_EQ(E_INVALIDARG, miniDrv()->drvDeviceCommand(context.Context(), 0, &WIA_CMD_SYNCHRONIZE, &newItem, nullptr));
}

TEST_F(StiDriverItemTree, DriverGoesAfterItsTreeAndDevice)
{
    IWiaDrvItem* root = nullptr;
    ASSERT_EQ(S_OK, Connect(&root));
    ComPtr<IWiaDrvItem> kept(root);
    Trace();
    driver->NonDelegatingRelease();
    driver = nullptr;
    EXPECT_EQ(FlagsOf(kept.Get()) & WiaItemTypeDisconnected, WiaItemTypeDisconnected);
    EXPECT_EQ(stiDevice.refs, 1u);
    auto at = [&](const std::u16string& text) {
        return std::find_if(sink.records.begin(), sink.records.end(),
                            [&](const LogRecord& record) { return record.text == text; });
    };
    ASSERT_NE(at(u"DestroyDeviceTree Entered."), sink.records.end());
    EXPECT_LT(at(u"~CRNX_STIWIA_Driver Entered."), at(u"DestroyDeviceTree Entered."));
    EXPECT_LT(at(u"DestroyDeviceTree Exit. Result = 0x00000000"), at(u"UnInitializeHardware Entered."));
}

TEST_F(StiDriverItemTree, ClientsOnTwoThreadsAtOnce)
{
    constexpr int kRounds = 2000;
    std::atomic<int> failures{0};
    auto client = [&] {
        for (int i = 0; i < kRounds; ++i) {
            // While this client is connected its tree stays whole.
            IWiaDrvItem* root = nullptr;
            LONG flags = 0;
            if (Connect(&root) != S_OK || !root || FAILED(root->GetItemFlags(&flags)) ||
                (flags & WiaItemTypeDisconnected))
                ++failures;
            if (Disconnect() != S_OK)
                ++failures;
        }
    };
    std::thread first(client);
    std::thread second(client);
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(driver->ClientsConnected(), 0);
    EXPECT_EQ(driver->RootItem(), nullptr);
    EXPECT_EQ(stiDevice.refs, 1u);
}

} // namespace
