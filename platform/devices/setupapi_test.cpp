#include "platform/devices/setupapi.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/testing/FakeUsbDevice.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

using plat::devices::DeviceRecord;

constexpr char16_t kPresentPath[] = u"\\\\?\\usb#vid_0abc&pid_0def#sn0001#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";

// Two recorded scanners; the first is present (its endpoint is attached).
class SetupApiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(plat::devices::AddDevice({0x0ABC, 0x0DEF, u"sn0001", u"Scanner A", u"Maker"}, &m_present));
        ASSERT_TRUE(plat::devices::AddDevice({0x0ABC, 0x0DEF, u"SN0002", u"Scanner B", u"Maker"}, &m_absent));
        plat::usb::AttachInProcessDevice(m_present.interfacePath,
                                         std::make_shared<plat::usb::testing::FakeUsbDevice>());
    }
    void TearDown() override { plat::usb::DetachInProcessDevice(m_present.interfacePath); }

    // The interface paths of a set, fetched the way callers do: size probe
    // first, then the detail into a buffer of that size.
    static std::vector<std::u16string> InterfacePaths(HDEVINFO set)
    {
        std::vector<std::u16string> paths;
        for (DWORD index = 0;; ++index) {
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof data;
            if (!SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_IMAGE, index, &data)) {
                EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
                return paths;
            }
            DWORD required = 0;
            EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr));
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
            std::vector<DWORD> storage((required + 3) / 4);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
            detail->cbSize = 8;
            EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, nullptr));
            EXPECT_EQ(required, offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                    (std::char_traits<char16_t>::length(detail->DevicePath) + 1) * 2);
            paths.emplace_back(detail->DevicePath);
        }
    }

    plat::testing::TempSystemRoot m_root;
    DeviceRecord m_present;
    DeviceRecord m_absent;
};

TEST_F(SetupApiTest, RecordsCarryWindowsNames)
{
    EXPECT_EQ(m_present.instanceId, u"USB\\VID_0ABC&PID_0DEF\\SN0001");
    EXPECT_EQ(m_present.interfacePath, kPresentPath);
    EXPECT_EQ(m_present.driverKey, u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000");
    EXPECT_EQ(m_absent.driverKey, u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001");
    // Recording again finds the same record.
    DeviceRecord again;
    ASSERT_TRUE(plat::devices::AddDevice({0x0ABC, 0x0DEF, u"SN0001", u"Scanner A", u"Maker"}, &again));
    EXPECT_EQ(again.driverKey, m_present.driverKey);
}

TEST_F(SetupApiTest, PresentInterfacesOnlyWithPresentFlag)
{
    HDEVINFO present =
        SetupDiGetClassDevsW(&GUID_DEVINTERFACE_IMAGE, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(present, INVALID_HANDLE_VALUE);
    EXPECT_EQ(InterfacePaths(present), (std::vector<std::u16string>{kPresentPath}));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(present));

    HDEVINFO all = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_IMAGE, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    EXPECT_EQ(InterfacePaths(all), (std::vector<std::u16string>{m_present.interfacePath, m_absent.interfacePath}));
    SetupDiDestroyDeviceInfoList(all);

    // Once the endpoint is gone, the device drops out of new present sets.
    plat::usb::DetachInProcessDevice(m_present.interfacePath);
    present = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_IMAGE, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_TRUE(InterfacePaths(present).empty());
    SetupDiDestroyDeviceInfoList(present);
}

TEST_F(SetupApiTest, InterfaceDetailChecksSizesAndRecordSizes)
{
    HDEVINFO set =
        SetupDiGetClassDevsW(&GUID_DEVINTERFACE_IMAGE, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_IMAGE, 0, &data));
    const DWORD required = static_cast<DWORD>(4 + (std::size(kPresentPath)) * 2);

    std::vector<DWORD> storage(256);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    const struct {
        DWORD cbSize;
        bool withBuffer;
        DWORD size;
        DWORD error;
    } cases[] = {
        {8, false, 0, ERROR_INSUFFICIENT_BUFFER}, // the size probe
        {8, true, required - 1, ERROR_INSUFFICIENT_BUFFER},
        {6, true, required, ERROR_INVALID_USER_BUFFER},  // the 32-bit record size
        {8, true, 5, ERROR_INVALID_USER_BUFFER},         // not even the header
        {8, false, required, ERROR_INVALID_USER_BUFFER}, // a size without a buffer
        {8, true, required, ERROR_SUCCESS},
    };
    for (const auto& c : cases) {
        detail->cbSize = c.cbSize;
        DWORD reported = 0;
        SetLastError(0);
        BOOL ok =
            SetupDiGetDeviceInterfaceDetailW(set, &data, c.withBuffer ? detail : nullptr, c.size, &reported, nullptr);
        EXPECT_EQ(ok != FALSE, c.error == ERROR_SUCCESS) << c.cbSize << " " << c.size;
        EXPECT_EQ(GetLastError(), c.error) << c.cbSize << " " << c.size;
        if (c.error == ERROR_INSUFFICIENT_BUFFER || c.error == ERROR_SUCCESS) {
            EXPECT_EQ(reported, required);
        }
    }
    EXPECT_EQ(std::u16string(detail->DevicePath), kPresentPath);

    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    detail->cbSize = 8;
    ASSERT_TRUE(SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, &info));
    EXPECT_EQ(info.ClassGuid, GUID_DEVCLASS_IMAGE);
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SetupApiTest, EnumerationErrors)
{
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_IMAGE, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = 28; // the 32-bit record size
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_IMAGE, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    data.cbSize = sizeof data;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_IMAGE, 2, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));

    SP_DEVINFO_DATA info{};
    info.cbSize = 28;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    info.cbSize = sizeof info;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 2, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));

    // A destroyed or made-up set; a class missing without DIGCF_ALLCLASSES.
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // Another class has none of these devices.
    const GUID other = plat::MakeGuid("{4D36E972-E325-11CE-BFC1-08002BE10318}");
    set = SetupDiGetClassDevsW(&other, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    EXPECT_FALSE(SetupDiEnumDeviceInfo(set, 0, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    SetupDiDestroyDeviceInfoList(set);
}

// What the hardware service does to tell whether its configured scanner is
// present: every recorded device, its driver key and instance id, and the
// device node status.
TEST_F(SetupApiTest, PropertiesInstanceIdsAndNodeStatus)
{
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_IMAGE, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    struct Seen {
        std::u16string driverKey;
        std::u16string instanceId;
        CONFIGRET status;
    };
    std::vector<Seen> seen;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &info); ++index) {
        DWORD required = 0;
        DWORD type = 0;
        EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_DRIVER, &type, nullptr, 0, &required));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        BYTE driver[260] = {};
        ASSERT_TRUE(
            SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_DRIVER, &type, driver, sizeof driver, &required));
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(required, (std::char_traits<char16_t>::length(reinterpret_cast<char16_t*>(driver)) + 1) * 2);

        WCHAR id[260] = {};
        EXPECT_FALSE(SetupDiGetDeviceInstanceIdW(set, &info, id, 5, &required));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        ASSERT_TRUE(SetupDiGetDeviceInstanceIdW(set, &info, id, 260, &required));
        EXPECT_EQ(required, std::char_traits<char16_t>::length(id) + 1);

        ULONG status = 0;
        ULONG problem = 0;
        seen.push_back(
            {reinterpret_cast<char16_t*>(driver), id, CM_Get_DevNode_Status(&status, &problem, info.DevInst, 0)});
        if (seen.back().status == CR_SUCCESS) {
            EXPECT_TRUE(status & DN_STARTED);
        }
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].driverKey, m_present.driverKey);
    EXPECT_EQ(seen[0].instanceId, m_present.instanceId);
    EXPECT_EQ(seen[0].status, CR_SUCCESS);
    EXPECT_EQ(seen[1].instanceId, m_absent.instanceId);
    EXPECT_EQ(seen[1].status, CR_NO_SUCH_DEVNODE);

    // Properties the device does not have, and ones no device has.
    BYTE buffer[64];
    SetupDiEnumDeviceInfo(set, 0, &info);
    EXPECT_FALSE(
        SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr, buffer, sizeof buffer, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyW(set, &info, 0x40, nullptr, buffer, sizeof buffer, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_REG_PROPERTY));
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SetupApiTest, DeviceIdCopiesWithTheTerminatorOnlyWhenThereIsRoom)
{
    DEVINST devInst = 0;
    ASSERT_EQ(CM_Locate_DevNodeW(&devInst, m_present.instanceId.c_str(), CM_LOCATE_DEVNODE_NORMAL), CR_SUCCESS);
    EXPECT_EQ(CM_Locate_DevNodeW(&devInst, m_absent.instanceId.c_str(), CM_LOCATE_DEVNODE_NORMAL), CR_NO_SUCH_DEVNODE);
    ASSERT_EQ(CM_Locate_DevNodeW(&devInst, m_absent.instanceId.c_str(), CM_LOCATE_DEVNODE_PHANTOM), CR_SUCCESS);

    const ULONG length = static_cast<ULONG>(m_absent.instanceId.size());
    ULONG size = 0;
    EXPECT_EQ(CM_Get_Device_ID_Size(&size, devInst, 0), CR_SUCCESS);
    EXPECT_EQ(size, length);
    std::vector<WCHAR> buffer(length + 2, u'#');
    EXPECT_EQ(CM_Get_Device_IDW(devInst, buffer.data(), length - 1, 0), CR_BUFFER_SMALL);
    EXPECT_EQ(CM_Get_Device_IDW(devInst, buffer.data(), length, 0), CR_SUCCESS);
    EXPECT_EQ(buffer[length], u'#');
    EXPECT_EQ(CM_Get_Device_IDW(devInst, buffer.data(), length + 1, 0), CR_SUCCESS);
    EXPECT_EQ(std::u16string(buffer.data()), m_absent.instanceId);
    EXPECT_EQ(CM_Get_Device_IDW(0x7777, buffer.data(), length + 1, 0), CR_INVALID_DEVNODE);
}

// What the co-installer does: the device's install parameters, and its
// driver key opened through the set.
TEST_F(SetupApiTest, InstallParametersAndDriverKey)
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_IMAGE, nullptr);
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(SetupDiOpenDeviceInfoW(set, m_absent.instanceId.c_str(), nullptr, 0, &info));
    EXPECT_FALSE(SetupDiOpenDeviceInfoW(set, u"USB\\VID_0000&PID_0000\\X", nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NO_SUCH_DEVINST);

    SP_DEVINSTALL_PARAMS_W params{};
    params.cbSize = 552;
    EXPECT_FALSE(SetupDiGetDeviceInstallParamsW(set, &info, &params));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    params.cbSize = 584;
    ASSERT_TRUE(SetupDiGetDeviceInstallParamsW(set, &info, &params));
    EXPECT_EQ(params.FlagsEx & DI_FLAGSEX_FINISHINSTALL_ACTION, 0u);
    params.FlagsEx |= DI_FLAGSEX_FINISHINSTALL_ACTION;
    ASSERT_TRUE(SetupDiSetDeviceInstallParamsW(set, &info, &params));
    SP_DEVINSTALL_PARAMS_W again{};
    again.cbSize = sizeof again;
    ASSERT_TRUE(SetupDiGetDeviceInstallParamsW(set, &info, &again));
    EXPECT_EQ(again.FlagsEx, DI_FLAGSEX_FINISHINSTALL_ACTION);

    HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ | KEY_WRITE);
    ASSERT_NE(key, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    const char16_t value[] = u"x";
    ASSERT_EQ(RegSetValueExW(key, u"PS_NAME", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(key);
    std::u16string classKey = u"SYSTEM\\CurrentControlSet\\Control\\Class\\" + m_absent.driverKey;
    HKEY direct = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, classKey.c_str(), 0, KEY_READ, &direct), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(direct, u"PS_NAME", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    RegCloseKey(direct);
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SetupApiTest, RemovedDeviceLeavesNoTrace)
{
    ASSERT_TRUE(plat::devices::RemoveDevice(m_absent.instanceId));
    EXPECT_FALSE(plat::devices::FindDevice(m_absent.instanceId));
    std::u16string classKey = u"SYSTEM\\CurrentControlSet\\Control\\Class\\" + m_absent.driverKey;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, classKey.c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    // Its driver instance number is free for the next device.
    DeviceRecord next;
    ASSERT_TRUE(plat::devices::AddDevice({0x0ABC, 0x0DEF, u"SN0003", u"Scanner C", u"Maker"}, &next));
    EXPECT_EQ(next.driverKey, m_absent.driverKey);
}

} // namespace
