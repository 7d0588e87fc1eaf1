#include "platform/devices/DeviceDatabase.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

namespace {

class DeviceManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        ASSERT_TRUE(plat::devices::AddDevice({0x0ABC, 0x0DEF, u"MGR01", u"Scanner", u"Maker"}, &m_device));
        ASSERT_EQ(CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_LOCAL_SERVER, IID_IWiaDevMgr,
                                   m_manager.ReleaseAndGetVoidAddress()),
                  S_OK);
    }
    void TearDown() override
    {
        m_manager = nullptr;
        CoUninitialize();
    }

    void MarkInstalled()
    {
        const std::u16string path = u"SYSTEM\\CurrentControlSet\\Control\\Class\\" + m_device.driverKey;
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_WRITE, &key), ERROR_SUCCESS);
        const char16_t usd[] = u"{00000000-0000-0000-0000-000000000001}";
        RegSetValueExW(key, u"USDClass", 0, REG_SZ, reinterpret_cast<const BYTE*>(usd), sizeof usd);
        RegCloseKey(key);
    }

    HRESULT Open(const std::u16string& id, IWiaItem** root)
    {
        BSTR text = SysAllocString(id.c_str());
        const HRESULT hr = m_manager->CreateDevice(text, root);
        SysFreeString(text);
        return hr;
    }

    plat::testing::TempSystemRoot m_root;
    plat::devices::DeviceRecord m_device;
    plat::ComPtr<IWiaDevMgr> m_manager;
};

TEST_F(DeviceManagerTest, OpensAnInstalledDeviceByItsIdAsARootItem)
{
    plat::ComPtr<IWiaItem> root;
    // Recorded but not installed as a still-image device.
    EXPECT_EQ(Open(m_device.driverKey, root.ReleaseAndGetAddressOf()), WIA_S_NO_DEVICE_AVAILABLE);
    MarkInstalled();
    EXPECT_EQ(Open(u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0077", root.ReleaseAndGetAddressOf()),
              WIA_S_NO_DEVICE_AVAILABLE);
    EXPECT_EQ(Open(u"", root.ReleaseAndGetAddressOf()), E_INVALIDARG);
    EXPECT_EQ(m_manager->CreateDevice(nullptr, nullptr), E_POINTER);

    ASSERT_EQ(Open(plat::devices::ToLowerAscii(m_device.driverKey), root.ReleaseAndGetAddressOf()), S_OK);
    LONG type = 0;
    ASSERT_EQ(root->GetItemType(&type), S_OK);
    EXPECT_EQ(type, WiaItemTypeRoot | WiaItemTypeFolder | WiaItemTypeDevice);

    plat::ComPtr<IWiaPropertyStorage> storage;
    ASSERT_EQ(root->QueryInterface(IID_IWiaPropertyStorage, storage.ReleaseAndGetVoidAddress()), S_OK);
    PROPSPEC specs[2] = {};
    specs[0].ulKind = PRSPEC_PROPID;
    specs[0].propid = WIA_DIP_DEV_ID;
    specs[1].ulKind = PRSPEC_PROPID;
    specs[1].propid = 4102;
    PROPVARIANT values[2];
    ASSERT_EQ(storage->ReadMultiple(2, specs, values), S_OK);
    ASSERT_EQ(values[0].vt, VT_BSTR);
    EXPECT_EQ(std::u16string(values[0].bstrVal), m_device.driverKey); // as recorded
    EXPECT_EQ(values[1].vt, VT_EMPTY);
    FreePropVariantArray(2, values);
    EXPECT_EQ(storage->ReadMultiple(1, &specs[1], values), S_FALSE);
}

} // namespace
