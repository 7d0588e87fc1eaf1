// Devices on the USB bus as the system finds them: udev's devices on a
// umockdev test bed, recorded when an installed driver package serves them,
// and their arrival and removal.
#include "platform/devices/UsbBus.h"

#include "platform/base/lasterror.h"
#include "platform/devices/BusDiscovery.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/DeviceNotification.h"
#include "platform/devices/DriverPackages.h"
#include "platform/devices/dbt.h"
#include "platform/devices/setupapi.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/testing/UsbfsTestMain.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace {

using plat::usb::testing::UsbfsDevice;
using plat::usb::testing::UsbfsDeviceSpec;

constexpr char16_t kServed[] = u"\\\\?\\usb#vid_0abc&pid_0def#um01#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
constexpr char16_t kSecondModel[] = u"\\\\?\\usb#vid_0abc&pid_0df0#1-2#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
constexpr char16_t kUnfitSerial[] = u"\\\\?\\usb#vid_0abc&pid_0def#1-4#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";

UsbfsDeviceSpec Spec(WORD productId, const char* serial, const char* sysName)
{
    UsbfsDeviceSpec spec;
    spec.productId = productId;
    spec.serial = serial;
    spec.sysName = sysName;
    return spec;
}

class UsbBusDiscoveryTest : public ::testing::Test {
protected:
    void InstallPackage()
    {
        ASSERT_TRUE(plat::devices::AddDriverPackage(
            {{u"USB\\VID_0ABC&PID_0DEF", u"usb\\vid_0abc&pid_0df0"}, u"Quillbox K24", u"Quorvant"}));
    }
    std::unique_ptr<UsbfsDevice> Plug(UsbfsDeviceSpec spec)
    {
        return std::make_unique<UsbfsDevice>(plat::usb::testing::TestBed(), nullptr, std::move(spec));
    }

    // The interface paths SetupDi lists, present ones only when asked.
    static std::set<std::u16string> Listed(DWORD flags)
    {
        std::set<std::u16string> paths;
        HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_IMAGE, nullptr, nullptr, flags | DIGCF_DEVICEINTERFACE);
        EXPECT_NE(set, INVALID_HANDLE_VALUE);
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_IMAGE, i, &data); ++i) {
            union {
                SP_DEVICE_INTERFACE_DETAIL_DATA_W detail;
                char bytes[1024];
            } buffer{};
            buffer.detail.cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
            if (SetupDiGetDeviceInterfaceDetailW(set, &data, &buffer.detail, sizeof buffer, nullptr, nullptr))
                paths.insert(buffer.detail.DevicePath);
        }
        SetupDiDestroyDeviceInfoList(set);
        return paths;
    }

    static std::u16string Property(const std::u16string& instanceId, DWORD property)
    {
        HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        std::u16string text;
        WCHAR value[256] = {};
        if (SetupDiOpenDeviceInfoW(set, instanceId.c_str(), nullptr, 0, &device) &&
            SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr, reinterpret_cast<BYTE*>(value),
                                              sizeof value, nullptr))
            text = value;
        SetupDiDestroyDeviceInfoList(set);
        return text;
    }

    plat::testing::TempSystemRoot m_root;
};

TEST_F(UsbBusDiscoveryTest, ServedDevicesAreRecordedWithThePackagesNameAndNoOtherIs)
{
    InstallPackage();
    auto served = Plug(Spec(0x0DEF, "UM01", "1-1"));
    auto secondModel = Plug(Spec(0x0DF0, "", "1-2")); // no serial number: named by its port
    auto otherId = Plug(Spec(0x1234, "OTHER", "1-3"));
    auto unfitSerial = Plug(Spec(0x0DEF, "A B/C", "1-4")); // a serial no name may carry
    EXPECT_EQ(Listed(DIGCF_PRESENT), (std::set<std::u16string>{kServed, kSecondModel, kUnfitSerial}));

    std::vector<std::u16string> recorded;
    for (const plat::devices::DeviceRecord& record : plat::devices::RecordedDevices())
        recorded.push_back(record.instanceId);
    EXPECT_EQ(recorded, (std::vector<std::u16string>{u"USB\\VID_0ABC&PID_0DEF\\1-4", u"USB\\VID_0ABC&PID_0DEF\\UM01",
                                                     u"USB\\VID_0ABC&PID_0DF0\\1-2"}));
    EXPECT_EQ(Property(u"USB\\VID_0ABC&PID_0DEF\\UM01", SPDRP_DEVICEDESC), u"Quillbox K24");
    EXPECT_EQ(Property(u"USB\\VID_0ABC&PID_0DEF\\UM01", SPDRP_MFG), u"Quorvant");

    // Pulled out, a device stays recorded and is no longer present.
    served->Unplug();
    EXPECT_EQ(Listed(DIGCF_PRESENT), (std::set<std::u16string>{kSecondModel, kUnfitSerial}));
    EXPECT_EQ(Listed(0), (std::set<std::u16string>{kServed, kSecondModel, kUnfitSerial}));
}

TEST_F(UsbBusDiscoveryTest, WithoutAPackageThatServesItADeviceIsNoImagingDevice)
{
    auto device = Plug(Spec(0x0DEF, "UM01", "1-1"));
    EXPECT_TRUE(Listed(0).empty());
    EXPECT_TRUE(plat::devices::RecordedDevices().empty());
    EXPECT_FALSE(plat::devices::AddDriverPackage({{u"USB\\VID_0ABC"}, u"Broken", u"Nobody"}));
}

TEST_F(UsbBusDiscoveryTest, PluggingAndPullingAServedDeviceReachTheSubscribers)
{
    struct Notice {
        DWORD type;
        std::u16string path;
        bool operator==(const Notice&) const = default;
    };
    std::mutex mutex;
    std::vector<Notice> notices;
    plat::devices::SetServiceDeviceEventSink([&](HANDLE, DWORD type, void* data) {
        std::lock_guard lock(mutex);
        notices.push_back({type, static_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(data)->dbcc_name});
    });
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = GUID_DEVINTERFACE_IMAGE;
    HDEVNOTIFY subscription =
        RegisterDeviceNotificationW(reinterpret_cast<HANDLE>(0x51), &filter, DEVICE_NOTIFY_SERVICE_HANDLE);
    ASSERT_NE(subscription, nullptr);
    InstallPackage();
    auto taken = [&] {
        plat::devices::FlushDeviceEvents();
        std::lock_guard lock(mutex);
        return std::exchange(notices, {});
    };

    auto served = Plug(Spec(0x0DEF, "UM01", "1-1"));
    auto otherId = Plug(Spec(0x1234, "OTHER", "1-3"));
    // Plugged in, the device is recorded by the time it arrives.
    EXPECT_EQ(taken(), (std::vector<Notice>{{DBT_DEVICEARRIVAL, kServed}}));
    EXPECT_TRUE(plat::devices::FindDeviceByInterfacePath(kServed));
    served->Unplug();
    otherId->Unplug();
    EXPECT_EQ(taken(), (std::vector<Notice>{{DBT_DEVICEREMOVECOMPLETE, kServed}}));
    served->Plug();
    EXPECT_EQ(taken(), (std::vector<Notice>{{DBT_DEVICEARRIVAL, kServed}}));

    UnregisterDeviceNotification(subscription);
    plat::devices::SetServiceDeviceEventSink(nullptr);
}

TEST(UsbIdTest, IdsAreReadFromHardwareIdsAndDevicePaths)
{
    using plat::devices::UsbId;
    const struct {
        std::u16string text;
        std::optional<UsbId> fromHardwareId;
        std::optional<UsbId> fromPath;
    } cases[] = {
        {u"USB\\VID_0ABC&PID_0DEF", UsbId{0x0ABC, 0x0DEF}, std::nullopt},
        {u"usb\\vid_fffe&pid_00a0", UsbId{0xFFFE, 0x00A0}, std::nullopt},
        {u"USB\\VID_ABC&PID_0DEF", std::nullopt, std::nullopt},
        {u"USB\\VID_0ABC&PID_0DEF&REV_0100", std::nullopt, std::nullopt},
        {u"USB\\VID_0ABG&PID_0DEF", std::nullopt, std::nullopt},
        {kServed, std::nullopt, UsbId{0x0ABC, 0x0DEF}},
        {u"\\\\?\\usb#vid_0abc&pid_0def#{6bdd1fc6-810f-11d0-bec7-08002be2092f}", std::nullopt, std::nullopt},
        {u"\\\\?\\usb#pid_0def&vid_0abc#s1#{6bdd1fc6-810f-11d0-bec7-08002be2092f}", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        EXPECT_EQ(plat::devices::UsbIdOfHardwareId(c.text), c.fromHardwareId);
        EXPECT_EQ(plat::devices::UsbIdOfInterfacePath(c.text), c.fromPath);
    }
}

TEST(UsbIdTest, ADeviceIsNamedByItsSerialNumberWhenItCanBeAName)
{
    const struct {
        const char* serial;
        const char16_t* name;
    } cases[] = {
        {"UM01", u"UM01"}, {"a_b-c.d", u"a_b-c.d"}, {"", u"1-4.2"},        {"A B", u"1-4.2"},
        {"A#B", u"1-4.2"}, {"A\\B", u"1-4.2"},      {".hidden", u"1-4.2"}, {"caf\xc3\xa9", u"1-4.2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(plat::devices::InstanceSerial(c.serial, "1-4.2"), c.name) << c.serial;
}

} // namespace
