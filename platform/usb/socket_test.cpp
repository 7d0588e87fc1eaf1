// A device served on its socket (as the emulator program serves it), with
// the client side going through CreateFile and the notices through the
// folder watch.
#include "platform/usb/DeviceServer.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/DeviceNotification.h"
#include "platform/devices/dbt.h"
#include "platform/devices/setupapi.h"
#include "platform/kernel/TestClock.h"
#include "platform/usb/SocketEndpoint.h"
#include "platform/usb/fileio.h"
#include "platform/testing/OtherUser.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/testing/DeviceCalls.h"
#include "platform/usb/testing/FakeUsbDevice.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <vector>

namespace {

using plat::usb::testing::FakeUsbDevice;
using Bytes = FakeUsbDevice::Bytes;

struct Notice {
    DWORD type;
    std::u16string path;
    bool operator==(const Notice&) const = default;
};

class SocketDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::devices::DeviceRecord record;
        ASSERT_TRUE(plat::devices::AddDevice({0x0ABC, 0x0DEF, u"S1", u"Scanner", u"Maker"}, &record));
        m_path = record.interfacePath;
        plat::devices::SetServiceDeviceEventSink([this](HANDLE, DWORD type, void* data) {
            auto* notice = static_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(data);
            std::lock_guard lock(m_mutex);
            m_notices.push_back({type, notice->dbcc_name});
        });
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = GUID_DEVINTERFACE_IMAGE;
        m_notify = RegisterDeviceNotificationW(reinterpret_cast<HANDLE>(0x51), &filter, DEVICE_NOTIFY_SERVICE_HANDLE);
        ASSERT_NE(m_notify, nullptr);
    }
    void TearDown() override
    {
        UnregisterDeviceNotification(m_notify);
        plat::devices::FlushDeviceEvents();
        plat::devices::SetServiceDeviceEventSink(nullptr);
    }

    std::vector<Notice> TakeNotices()
    {
        plat::devices::FlushDeviceEvents();
        std::lock_guard lock(m_mutex);
        return std::exchange(m_notices, {});
    }

    HANDLE Open() { return plat::usb::testing::OpenDevice(m_path); }

    plat::testing::TempSystemRoot m_root;
    std::u16string m_path;
    HDEVNOTIFY m_notify = nullptr;
    std::mutex m_mutex;
    std::vector<Notice> m_notices;
};

TEST_F(SocketDeviceTest, ServedDeviceIsPresentTransfersAndAnnouncesArrivalAndRemoval)
{
    auto device = std::make_shared<FakeUsbDevice>();
    device->SetReplyRule([](const Bytes& written) { return Bytes(written.size() * 2, written[0]); });
    plat::usb::DeviceServer server(m_path, device);

    EXPECT_FALSE(plat::devices::IsInterfacePresent(m_path));
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(server.Publish());
    EXPECT_EQ(TakeNotices(), (std::vector<Notice>{{DBT_DEVICEARRIVAL, m_path}}));
    EXPECT_TRUE(plat::devices::IsInterfacePresent(m_path));

    HANDLE handle = Open();
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    const std::uint8_t command[3] = {9, 9, 9};
    DWORD count = 0;
    ASSERT_TRUE(WriteFile(handle, command, sizeof command, &count, nullptr));
    EXPECT_EQ(count, 3u);
    std::uint8_t answer[4];
    ASSERT_TRUE(ReadFile(handle, answer, sizeof answer, &count, nullptr));
    EXPECT_EQ(count, 4u); // a short read: two of the six bytes stay
    ASSERT_TRUE(ReadFile(handle, answer, sizeof answer, &count, nullptr));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(device->Written(), (std::vector<Bytes>{{9, 9, 9}}));

    server.Unpublish();
    EXPECT_EQ(TakeNotices(), (std::vector<Notice>{{DBT_DEVICEREMOVECOMPLETE, m_path}}));
    EXPECT_FALSE(plat::devices::IsInterfacePresent(m_path));
    EXPECT_FALSE(WriteFile(handle, command, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));

    // Served again: the old handle belongs to the departed device.
    ASSERT_TRUE(server.Publish());
    EXPECT_EQ(TakeNotices(), (std::vector<Notice>{{DBT_DEVICEARRIVAL, m_path}}));
    EXPECT_FALSE(WriteFile(handle, command, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(handle);
    HANDLE fresh = Open();
    ASSERT_NE(fresh, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(WriteFile(fresh, command, 1, &count, nullptr));
    CloseHandle(fresh);
    server.Unpublish();
}

// Opening and closing the device again and again (the service polls the
// scanner's keys so) keeps one connection; one the program has dropped is
// not taken up again.
TEST_F(SocketDeviceTest, HandlesOpenedOneAfterAnotherKeepOneConnection)
{
    auto device = std::make_shared<FakeUsbDevice>();
    device->SetReplyRule([](const Bytes& written) { return Bytes(2, written[0]); });
    plat::usb::DeviceServer server(m_path, device);
    ASSERT_TRUE(server.Publish());
    const auto poll = [&](std::uint8_t value) {
        HANDLE handle = Open();
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        std::uint8_t answer[2] = {};
        DWORD count = 0;
        const bool ok = WriteFile(handle, &value, 1, &count, nullptr) &&
                        ReadFile(handle, answer, sizeof answer, &count, nullptr) && count == 2 && answer[1] == value;
        CloseHandle(handle);
        return ok;
    };
    ASSERT_TRUE(poll(1));
    const std::size_t connections = server.ConnectionsServed();
    for (std::uint8_t value = 2; value <= 5; ++value)
        EXPECT_TRUE(poll(value));
    EXPECT_EQ(server.ConnectionsServed(), connections);

    // The program served the device anew: the kept connection is gone, and
    // the next handle reaches the device on a new one.
    server.Unpublish();
    ASSERT_TRUE(server.Publish());
    EXPECT_TRUE(poll(6));
    EXPECT_GT(server.ConnectionsServed(), connections);
    server.Unpublish();
}

TEST_F(SocketDeviceTest, AReadWaitingOnADeviceThatLeavesFailsNotConnected)
{
    plat::ScopedTestClock clock;
    auto device = std::make_shared<FakeUsbDevice>();
    plat::usb::DeviceServer server(m_path, device);
    ASSERT_TRUE(server.Publish());
    HANDLE handle = Open();
    auto reader = std::async(std::launch::async, [&] {
        std::uint8_t buffer[4];
        DWORD got = 0;
        const BOOL ok = ReadFile(handle, buffer, sizeof buffer, &got, nullptr);
        return std::make_pair(ok, GetLastError());
    });
    // The read waits for an answer (its time-out never comes: the clock
    // stands still) and ends when the device goes.
    ASSERT_TRUE(clock->WaitForSleepers(1));
    server.Unpublish();
    const auto [ok, error] = reader.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    CloseHandle(handle);
}

TEST_F(SocketDeviceTest, StallTravelsOverTheSocket)
{
    auto device = std::make_shared<FakeUsbDevice>();
    plat::usb::DeviceServer server(m_path, device);
    ASSERT_TRUE(server.Publish());
    HANDLE handle = Open();
    device->SetStalled(true);
    std::uint8_t buffer[4];
    DWORD count = 0;
    EXPECT_FALSE(ReadFile(handle, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    DWORD pipe = plat::usb::kPipeBulkIn;
    EXPECT_TRUE(DeviceIoControl(handle, IOCTL_RESET_PIPE, &pipe, sizeof pipe, nullptr, 0, &count, nullptr));
    EXPECT_EQ(device->Resets(plat::usb::kPipeBulkIn), 1);
    CloseHandle(handle);
    server.Unpublish();
}

TEST_F(SocketDeviceTest, AnotherUserGetsNothingFromTheDevice)
{
    auto device = std::make_shared<FakeUsbDevice>();
    plat::usb::DeviceServer server(m_path, device);
    ASSERT_TRUE(server.Publish());
    const std::string socket = plat::devices::EndpointPathFor(m_path);
    plat::testing::OpenPathToOthers(m_root.Path(), socket);

    // An identify request: op 5, no argument, no payload.
    const std::uint8_t identify[12] = {plat::usb::kOpIdentify};
    std::string answer;
    if (!plat::testing::RunAsOtherUser(
            [&](int out) { plat::testing::TryServer(out, socket.c_str(), identify, sizeof identify); }, answer))
        GTEST_SKIP() << "cannot switch to another user here";
    EXPECT_EQ(answer, "");

    // The device still serves its own user.
    HANDLE handle = Open();
    EXPECT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
}

} // namespace
