// A scanner on the USB bus through libusb: the device file over a umockdev
// test bed whose usbfs is answered by a scripted device in this process.
#include "platform/usb/LibusbBackend.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/TestClock.h"
#include "platform/kernel/Wait.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/fileio.h"
#include "platform/usb/testing/DeviceCalls.h"
#include "platform/usb/testing/FakeUsbDevice.h"
#include "platform/usb/testing/UsbfsTestBed.h"
#include "platform/usb/testing/UsbfsTestMain.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <future>
#include <thread>

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using plat::usb::testing::FakeUsbDevice;
using plat::usb::testing::UsbfsDevice;
using plat::usb::testing::UsbfsDeviceSpec;
using Bytes = FakeUsbDevice::Bytes;
using Actions = std::vector<std::string>;

class UsbBusTest : public ::testing::Test {
protected:
    void SetUp() override { Plug(); }

    void Plug(UsbfsDeviceSpec spec = {})
    {
        m_usb = std::make_unique<UsbfsDevice>(plat::usb::testing::TestBed(), m_device.get(), spec);
        m_path = plat::devices::InterfacePathFor(plat::devices::InstanceIdFor(
            spec.vendorId, spec.productId, plat::devices::InstanceSerial(spec.serial, spec.sysName)));
    }

    HANDLE Open(DWORD flags = FILE_ATTRIBUTE_NORMAL) { return plat::usb::testing::OpenDevice(m_path, flags); }
    static BOOL Control(HANDLE device, DWORD code, DWORD pipe)
    {
        return plat::usb::testing::PipeControl(device, code, pipe);
    }

    static DWORD Read(HANDLE device, Bytes& into)
    {
        DWORD got = 0;
        if (!ReadFile(device, into.data(), static_cast<DWORD>(into.size()), &got, nullptr))
            return GetLastError();
        into.resize(got);
        return 0;
    }

    static DWORD Write(HANDLE device, const Bytes& bytes)
    {
        DWORD written = 0;
        if (!WriteFile(device, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            return GetLastError();
        return written == bytes.size() ? 0 : ERROR_GEN_FAILURE;
    }

    plat::testing::TempSystemRoot m_root;
    std::shared_ptr<FakeUsbDevice> m_device = std::make_shared<FakeUsbDevice>();
    std::unique_ptr<UsbfsDevice> m_usb;
    std::u16string m_path;
};

TEST_F(UsbBusTest, WritesAndReadsGoThroughTheClaimedInterfaceAndAReadReturnsWhatCame)
{
    m_device->SetReplyRule([](const Bytes& written) { return Bytes(written.rbegin(), written.rend()); });
    HANDLE device = Open();
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
    ASSERT_EQ(Write(device, {1, 2, 3, 4, 5}), 0u);
    // Asked for more than the device sends: the read ends short, with what came.
    Bytes answer(64);
    ASSERT_EQ(Read(device, answer), 0u);
    EXPECT_EQ(answer, (Bytes{5, 4, 3, 2, 1}));
    EXPECT_EQ(m_device->Written(), std::vector<Bytes>{(Bytes{1, 2, 3, 4, 5})});
    CloseHandle(device);
    EXPECT_EQ(m_usb->Actions(), (Actions{"claim 0", "release 0"}));
}

TEST_F(UsbBusTest, HandlesOfOneProcessShareOneClaimOfTheInterface)
{
    HANDLE first = Open();
    HANDLE second = Open();
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    CloseHandle(first);
    EXPECT_EQ(m_usb->Actions(), (Actions{"claim 0"}));
    CloseHandle(second);
    EXPECT_EQ(m_usb->Actions(), (Actions{"claim 0", "release 0"}));
}

TEST_F(UsbBusTest, AKernelDriverHoldingTheInterfaceIsDetachedAndGivenBack)
{
    m_usb.reset();
    UsbfsDeviceSpec spec;
    spec.kernelDriver = "usblp";
    Plug(spec);
    HANDLE device = Open();
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_FALSE(m_usb->KernelDriverBound());
    CloseHandle(device);
    EXPECT_EQ(m_usb->Actions(), (Actions{"detach usblp", "claim 0", "release 0", "attach usblp"}));
    EXPECT_TRUE(m_usb->KernelDriverBound());
}

TEST_F(UsbBusTest, AStalledPipeFailsUntilItsHaltIsCleared)
{
    m_device->QueueChunk({7, 7});
    m_device->SetStalled(true);
    HANDLE device = Open();
    Bytes answer(16);
    EXPECT_EQ(Read(device, answer), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(Read(device, answer), static_cast<DWORD>(ERROR_GEN_FAILURE));

    // Each pipe's reset is a clear-halt of its own endpoint.
    ASSERT_TRUE(Control(device, IOCTL_RESET_PIPE, plat::usb::kPipeBulkOut));
    ASSERT_TRUE(Control(device, IOCTL_RESET_PIPE, plat::usb::kPipeBulkIn));
    EXPECT_EQ(m_device->Resets(plat::usb::kPipeBulkIn), 1);
    EXPECT_EQ(m_device->Resets(plat::usb::kPipeBulkOut), 1);
    ASSERT_EQ(Read(device, answer), 0u);
    EXPECT_EQ(answer, (Bytes{7, 7}));
    CloseHandle(device);
    EXPECT_EQ(m_usb->Actions(), (Actions{"claim 0", "clear-halt 0x02", "clear-halt 0x81", "release 0"}));
}

TEST_F(UsbBusTest, AReadTheDeviceNeverAnswersEndsAtItsTimeOutOnTheInstalledClock)
{
    plat::ScopedTestClock clock;
    HANDLE device = Open();
    ASSERT_TRUE(plat::usb::SetTransferTimeout(device, 1000));
    auto read = std::async(std::launch::async, [&] {
        Bytes answer(16);
        return Read(device, answer);
    });
    ASSERT_TRUE(clock->WaitForSleepers(1));
    clock->Advance(999);
    ASSERT_TRUE(clock->WaitForSleepers(1));
    clock->Advance(1);
    EXPECT_EQ(read.get(), static_cast<DWORD>(ERROR_SEM_TIMEOUT));
    // The transfer was taken back from the device.
    EXPECT_EQ(m_usb->Actions(), (Actions{"claim 0", "discard 0x81"}));

    // The pipe works on: the next answer reaches the next read.
    m_device->QueueChunk({9});
    Bytes answer(16);
    ASSERT_EQ(Read(device, answer), 0u);
    EXPECT_EQ(answer, Bytes{9});
    CloseHandle(device);
}

TEST_F(UsbBusTest, CancellingThePipeOrTheHandleTakesBackThePendingRead)
{
    plat::ScopedTestClock clock;
    HANDLE device = Open(FILE_FLAG_OVERLAPPED);
    const struct {
        const char* name;
        std::function<void()> cancel;
    } cases[] = {
        {"pipe", [&] { EXPECT_TRUE(Control(device, IOCTL_CANCEL_IO, plat::usb::kPipeBulkIn)); }},
        {"handle", [&] { EXPECT_TRUE(CancelIo(device)); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OVERLAPPED read{};
        read.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::array<std::uint8_t, 16> answer{};
        EXPECT_FALSE(ReadFile(device, answer.data(), answer.size(), nullptr, &read));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        ASSERT_TRUE(clock->WaitForSleepers(1));
        c.cancel();
        DWORD transferred = 1;
        EXPECT_FALSE(GetOverlappedResult(device, &read, &transferred, TRUE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
        EXPECT_EQ(transferred, 0u);
        CloseHandle(read.hEvent);
    }
    EXPECT_EQ(m_usb->Actions(), (Actions{"claim 0", "discard 0x81", "discard 0x81"}));
    CloseHandle(device);
}

TEST_F(UsbBusTest, ADeviceUnpluggedMidReadIsGoneAndPluggedInAgainIsAnotherDevice)
{
    plat::ScopedTestClock clock;
    HANDLE device = Open();
    auto read = std::async(std::launch::async, [&] {
        Bytes answer(16);
        return Read(device, answer);
    });
    ASSERT_TRUE(clock->WaitForSleepers(1));
    m_usb->Unplug();
    EXPECT_EQ(read.get(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(Write(device, {1}), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // Back on the bus at a new address: a new handle reaches it, the old
    // one is told to open it again.
    m_usb->Plug();
    m_device->SetReplyRule([](const Bytes&) { return Bytes{0x42}; });
    HANDLE again = Open();
    ASSERT_NE(again, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(Write(device, {1}), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_EQ(Write(again, {1}), 0u);
    Bytes answer(16);
    ASSERT_EQ(Read(again, answer), 0u);
    EXPECT_EQ(answer, Bytes{0x42});
    CloseHandle(device);
    CloseHandle(again);
}

TEST_F(UsbBusTest, ADeviceInUseByAnotherProgramIsRefusedAndNamed)
{
    // Another program holds the interface through its own usbfs handle.
    const int other = open(m_usb->DeviceNode().c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    unsigned interface = 0;
    ASSERT_EQ(ioctl(other, USBDEVFS_CLAIMINTERFACE, &interface), 0);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(m_usb->DeviceNode() + " is in use by another program"), std::string::npos) << said;

    ASSERT_EQ(ioctl(other, USBDEVFS_RELEASEINTERFACE, &interface), 0);
    close(other);
    HANDLE device = Open();
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
}

// Takes away, for the calling thread, the capability to open files whatever
// their permissions (which root has), so that a test running as root meets
// a device node's permissions as a user does.
class WithoutFileAccessOverride {
public:
    WithoutFileAccessOverride()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &m_header, reduced);
    }
    ~WithoutFileAccessOverride() { syscall(SYS_capset, &m_header, m_saved); }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
};

TEST_F(UsbBusTest, ADeviceNodeWithoutPermissionIsNamedWithTheRuleThatGivesIt)
{
    ASSERT_EQ(chmod(m_usb->NodeFile().c_str(), 0), 0);
    ::testing::internal::CaptureStderr();
    HANDLE device = INVALID_HANDLE_VALUE;
    {
        WithoutFileAccessOverride user;
        device = Open();
    }
    const DWORD error = GetLastError();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_NE(said.find("no permission to open the scanner 0abc:0def at " + m_usb->DeviceNode()), std::string::npos)
        << said;
    EXPECT_NE(said.find(plat::usb::kUdevRuleFile), std::string::npos) << said;
    EXPECT_TRUE(m_usb->Actions().empty());
}

} // namespace
