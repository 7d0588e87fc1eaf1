#include "platform/devices/DeviceNotification.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/dbt.h"
#include "platform/devices/setupapi.h"
#include "platform/kernel/Messages.h"
#include "platform/kernel/Wait.h"
#include "platform/kernel/Window.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/testing/FakeUsbDevice.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

struct Notice {
    DWORD type;
    std::u16string path;
    bool operator==(const Notice&) const = default;
};

DEV_BROADCAST_DEVICEINTERFACE_W ImageFilter()
{
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = GUID_DEVINTERFACE_IMAGE;
    return filter;
}

Notice FromRecord(DWORD type, const void* data)
{
    const auto* record = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(data);
    EXPECT_EQ(record->dbcc_devicetype, DBT_DEVTYP_DEVICEINTERFACE);
    EXPECT_EQ(record->dbcc_classguid, GUID_DEVINTERFACE_IMAGE);
    EXPECT_EQ(record->dbcc_size, offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                                     (std::char_traits<char16_t>::length(record->dbcc_name) + 1) * 2);
    return {type, record->dbcc_name};
}

class DeviceNotificationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = plat::devices::InterfacePathFor(plat::devices::InstanceIdFor(0x0ABC, 0x0DEF, u"N1"));
        plat::devices::SetServiceDeviceEventSink([this](HANDLE recipient, DWORD type, void* data) {
            std::lock_guard lock(m_mutex);
            m_service.push_back(FromRecord(type, data));
            m_recipients.push_back(recipient);
        });
    }
    void TearDown() override
    {
        plat::devices::FlushDeviceEvents();
        plat::devices::SetServiceDeviceEventSink(nullptr);
    }

    std::vector<Notice> ServiceNotices()
    {
        plat::devices::FlushDeviceEvents();
        std::lock_guard lock(m_mutex);
        return std::exchange(m_service, {});
    }

    plat::testing::TempSystemRoot m_root;
    std::u16string m_path;
    std::mutex m_mutex;
    std::vector<Notice> m_service;
    std::vector<HANDLE> m_recipients;
};

TEST_F(DeviceNotificationTest, ServiceHandlersHearArrivalAndRemovalUntilUnregistered)
{
    auto filter = ImageFilter();
    HANDLE const status = reinterpret_cast<HANDLE>(0x77);
    HDEVNOTIFY notify = RegisterDeviceNotificationW(status, &filter, DEVICE_NOTIFY_SERVICE_HANDLE);
    ASSERT_NE(notify, nullptr);

    plat::usb::AttachInProcessDevice(m_path, std::make_shared<plat::usb::testing::FakeUsbDevice>());
    plat::usb::DetachInProcessDevice(m_path);
    EXPECT_EQ(ServiceNotices(), (std::vector<Notice>{{DBT_DEVICEARRIVAL, m_path}, {DBT_DEVICEREMOVECOMPLETE, m_path}}));
    EXPECT_EQ(m_recipients, (std::vector<HANDLE>{status, status}));

    EXPECT_TRUE(UnregisterDeviceNotification(notify));
    plat::usb::AttachInProcessDevice(m_path, std::make_shared<plat::usb::testing::FakeUsbDevice>());
    plat::usb::DetachInProcessDevice(m_path);
    EXPECT_TRUE(ServiceNotices().empty());
    EXPECT_FALSE(UnregisterDeviceNotification(notify));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(DeviceNotificationTest, FiltersOfOtherClassesHearNothing)
{
    auto filter = ImageFilter();
    filter.dbcc_classguid = plat::MakeGuid("{A5DCBF10-6530-11D2-901F-00C04FB951ED}");
    HDEVNOTIFY other =
        RegisterDeviceNotificationW(reinterpret_cast<HANDLE>(0x1), &filter, DEVICE_NOTIFY_SERVICE_HANDLE);
    HDEVNOTIFY every = RegisterDeviceNotificationW(reinterpret_cast<HANDLE>(0x2), &filter,
                                                   DEVICE_NOTIFY_SERVICE_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES);
    plat::usb::AttachInProcessDevice(m_path, std::make_shared<plat::usb::testing::FakeUsbDevice>());
    EXPECT_EQ(ServiceNotices(), (std::vector<Notice>{{DBT_DEVICEARRIVAL, m_path}}));
    EXPECT_EQ(m_recipients, (std::vector<HANDLE>{reinterpret_cast<HANDLE>(0x2)}));
    plat::usb::DetachInProcessDevice(m_path);
    UnregisterDeviceNotification(other);
    UnregisterDeviceNotification(every);
}

TEST_F(DeviceNotificationTest, RegistrationChecksRecipientFlagsAndFilter)
{
    auto good = ImageFilter();
    auto wrongType = ImageFilter();
    wrongType.dbcc_devicetype = 2;
    auto tooSmall = ImageFilter();
    tooSmall.dbcc_size = 12;
    const struct {
        HANDLE recipient;
        void* filter;
        DWORD flags;
        DWORD error;
    } cases[] = {
        {nullptr, &good, DEVICE_NOTIFY_SERVICE_HANDLE, ERROR_INVALID_PARAMETER},
        {reinterpret_cast<HANDLE>(1), &good, 0x10, ERROR_INVALID_PARAMETER},
        {reinterpret_cast<HANDLE>(1), nullptr, DEVICE_NOTIFY_SERVICE_HANDLE, ERROR_INVALID_DATA},
        {reinterpret_cast<HANDLE>(1), &wrongType, DEVICE_NOTIFY_SERVICE_HANDLE, ERROR_INVALID_DATA},
        {reinterpret_cast<HANDLE>(1), &tooSmall, DEVICE_NOTIFY_SERVICE_HANDLE, ERROR_INVALID_DATA},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RegisterDeviceNotificationW(c.recipient, c.filter, c.flags), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

std::vector<Notice>* g_windowNotices = nullptr;

LRESULT NoticeWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DEVICECHANGE) {
        g_windowNotices->push_back(FromRecord(static_cast<DWORD>(wParam), reinterpret_cast<void*>(lParam)));
        return TRUE;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(DeviceNotificationTest, WindowsReceiveDeviceChangeMessages)
{
    std::vector<Notice> notices;
    g_windowNotices = &notices;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = NoticeWindowProc;
    windowClass.lpszClassName = u"DeviceNoticeTestWindow";
    RegisterClassW(&windowClass);
    HWND window =
        CreateWindowExW(0, u"DeviceNoticeTestWindow", u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    auto filter = ImageFilter();
    HDEVNOTIFY notify = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_NE(notify, nullptr);

    plat::usb::AttachInProcessDevice(m_path, std::make_shared<plat::usb::testing::FakeUsbDevice>());
    plat::usb::DetachInProcessDevice(m_path);
    // The notices are sent from the notification thread; this thread serves
    // them while it pumps.
    for (int round = 0; notices.size() < 2 && round < 600; ++round) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    EXPECT_EQ(notices, (std::vector<Notice>{{DBT_DEVICEARRIVAL, m_path}, {DBT_DEVICEREMOVECOMPLETE, m_path}}));
    UnregisterDeviceNotification(notify);
    DestroyWindow(window);
    g_windowNotices = nullptr;
}

} // namespace
