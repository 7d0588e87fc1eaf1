#include "halservice/USBDevice.h"

#include "diag/RecordingLogSink.h"
#include "halservice/SwapBytes.h"
#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/kernel/TestClock.h"
#include "platform/kernel/kernel.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/UsbBackend.h"
#include "platform/usb/fileio.h"
#include "platform/usb/testing/FakeUsbDevice.h"

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace {

using plat::usb::UsbResult;
using plat::usb::UsbStatus;

std::u16string PathFor(WORD vendorId, WORD productId, const char16_t* serial)
{
    return plat::devices::InterfacePathFor(plat::devices::InstanceIdFor(vendorId, productId, serial));
}

// A device whose transfers fail as scripted, in order; after the script
// every write is taken whole and every read filled.
class ScriptedBackend : public plat::usb::UsbBackend {
public:
    std::deque<UsbStatus> outScript;
    std::deque<UsbStatus> inScript;

    UsbResult BulkOut(const std::uint8_t*, std::size_t size) override
    {
        std::lock_guard lock(m_mutex);
        ++m_outCalls;
        return Next(outScript, size);
    }
    UsbResult BulkIn(std::uint8_t* buffer, std::size_t max) override
    {
        std::lock_guard lock(m_mutex);
        ++m_inCalls;
        const UsbResult result = Next(inScript, max);
        if (result.status == UsbStatus::Ok)
            std::fill(buffer, buffer + max, 0x5A);
        return result;
    }
    bool ResetPipe(DWORD pipe) override
    {
        std::lock_guard lock(m_mutex);
        m_resets.push_back(pipe);
        return true;
    }
    bool CancelPipe(DWORD) override { return true; }

    int Calls(DWORD direction)
    {
        std::lock_guard lock(m_mutex);
        return direction == kTransferWrite ? m_outCalls : m_inCalls;
    }
    std::vector<DWORD> Resets()
    {
        std::lock_guard lock(m_mutex);
        return m_resets;
    }

private:
    static UsbResult Next(std::deque<UsbStatus>& script, std::size_t size)
    {
        if (script.empty())
            return {UsbStatus::Ok, size};
        const UsbStatus status = script.front();
        script.pop_front();
        return {status, status == UsbStatus::Ok ? size : 0};
    }

    std::mutex m_mutex;
    int m_outCalls = 0;
    int m_inCalls = 0;
    std::vector<DWORD> m_resets;
};

class CountingUSBDevice : public CUSBDevice {
public:
    bool Open() override
    {
        ++opens;
        return CUSBDevice::Open();
    }
    int opens = 0;
};

class USBDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { plat::usb::AttachInProcessDevice(m_path, m_backend); }
    void TearDown() override { plat::usb::DetachInProcessDevice(m_path); }

    plat::testing::TempSystemRoot m_root;
    std::u16string m_path = PathFor(0x0ABC, 0x0DEF, u"T1");
    std::shared_ptr<ScriptedBackend> m_backend = std::make_shared<ScriptedBackend>();
};

TEST(SwapBytesTest, ReversesInPlaceAndBack)
{
    std::array<BYTE, 4> word = {0x12, 0x34, 0xAA, 0xBB};
    SwapBytes16(word.data());
    EXPECT_EQ(word, (std::array<BYTE, 4>{0x34, 0x12, 0xAA, 0xBB}));
    SwapBytes16(word.data());
    EXPECT_EQ(word, (std::array<BYTE, 4>{0x12, 0x34, 0xAA, 0xBB}));

    std::array<BYTE, 5> dword = {0x01, 0x02, 0x03, 0x04, 0x99};
    SwapBytes32(dword.data());
    EXPECT_EQ(dword, (std::array<BYTE, 5>{0x04, 0x03, 0x02, 0x01, 0x99}));
}

TEST(USBDeviceIdsTest, VendorAndProductIdComeFromTheLowerCaseMarkersOfThePath)
{
    const struct {
        const char16_t* path;
        DWORD vendorId;
        DWORD productId;
    } cases[] = {
        {u"\\\\?\\usb#vid_0abc&pid_0def#t1#{6bdd1fc6-810f-11d0-bec7-08002be2092f}", 0x0ABC, 0x0DEF},
        {u"\\\\?\\usb#pid_0def&vid_0abc#t1", 0x0ABC, 0x0DEF},
        {u"\\\\?\\usb#vid_0ABC&pid_0DeF#t1", 0x0ABC, 0x0DEF}, // the digits may be any case
        {u"\\\\?\\USB#VID_0ABC&PID_0DEF#T1", 0, 0},           // the markers may not
        {u"\\\\?\\usb#vid_04b8#t1", 0x04B8, 0},
        {u"no markers at all", 0, 0},
    };
    for (const auto& c : cases) {
        CUSBDevice device;
        device.SetUniqueName(c.path);
        EXPECT_EQ(device.GetVendorId(), c.vendorId)
            << std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path));
        EXPECT_EQ(device.GetProductId(), c.productId);
        EXPECT_FALSE(device.IsOpen()); // a new path does not open a closed device
    }
}

TEST(USBDeviceIdsTest, EachClassLogsUnderItsOwnName)
{
    RecordingLogSink sink;
    CDevice plain;
    CUSBDevice usb;
    plain.SetLogInterface(&sink);
    usb.SetLogInterface(&sink);
    EXPECT_EQ(sink.registered, (std::vector<std::u16string>{u"Device Driver", u"Device Driver.Data", u"USB Device",
                                                            u"USB Device.Data"}));
}

TEST_F(USBDeviceTest, OpenCloseAndANewPathReopenAnOpenDevice)
{
    const std::u16string other = PathFor(0x0ABC, 0x0DF0, u"T2");
    plat::usb::AttachInProcessDevice(other, std::make_shared<ScriptedBackend>());

    CountingUSBDevice device;
    device.SetUniqueName(m_path);
    EXPECT_EQ(device.opens, 0);
    ASSERT_TRUE(device.Open());
    ASSERT_TRUE(device.Open()); // already open: kept
    EXPECT_EQ(device.opens, 2);

    device.SetUniqueName(m_path); // the same path changes nothing
    EXPECT_EQ(device.opens, 2);

    device.SetUniqueName(other);
    EXPECT_EQ(device.opens, 3);
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(device.GetProductId(), 0x0DF0u);

    device.Close();
    EXPECT_FALSE(device.IsOpen());
    device.Close();
    plat::usb::DetachInProcessDevice(other);
}

TEST_F(USBDeviceTest, OpenOfAnAbsentDeviceKeepsTheError)
{
    CUSBDevice device;
    device.SetUniqueName(PathFor(0x0ABC, 0x0DEF, u"ABSENT"));
    EXPECT_FALSE(device.Open());
    EXPECT_FALSE(device.IsOpen());
    EXPECT_NE(device.LastError(), 0u);
}

// A failed attempt is repeated at most once: after a reopen for errors 5 and
// 1167, after a reset of the transfer's own pipe for error 31, and only when
// the caller allowed recovery.
TEST_F(USBDeviceTest, RecoveryTable)
{
    constexpr DWORD kNoPipe = 0;
    // clang-format off
    const struct {
        const char* name;
        DWORD direction;
        bool retry;
        std::deque<UsbStatus> script;
        bool replugFirst;
        int attempts;  // transfers that reached the device
        int reopens;
        DWORD pipeReset;
        DWORD error;  // 0: the transfer succeeded
    } cases[] = {
        {"write stalls once", kTransferWrite, true, {UsbStatus::Stalled}, false, 2, 0, kPipeWriteData, 0},
        {"read stalls once", kTransferRead, true, {UsbStatus::Stalled}, false, 2, 0, kPipeReadData, 0},
        {"write stalls twice", kTransferWrite, true, {UsbStatus::Stalled, UsbStatus::Stalled}, false, 2, 0,
         kPipeWriteData, ERROR_GEN_FAILURE},
        {"stall without recovery", kTransferWrite, false, {UsbStatus::Stalled}, false, 1, 0, kNoPipe,
         ERROR_GEN_FAILURE},
        {"write disconnected once", kTransferWrite, true, {UsbStatus::Disconnected}, false, 2, 1, kNoPipe, 0},
        {"read disconnected twice", kTransferRead, true, {UsbStatus::Disconnected, UsbStatus::Disconnected}, false,
         2, 1, kNoPipe, ERROR_DEVICE_NOT_CONNECTED},
        {"disconnected without recovery", kTransferRead, false, {UsbStatus::Disconnected}, false, 1, 0, kNoPipe,
         ERROR_DEVICE_NOT_CONNECTED},
        {"stall, then disconnected", kTransferWrite, true, {UsbStatus::Stalled, UsbStatus::Disconnected}, false, 2,
         0, kPipeWriteData, ERROR_DEVICE_NOT_CONNECTED},
        // The old handle is refused (5) before the device sees anything.
        {"device plugged in again", kTransferRead, true, {}, true, 1, 1, kNoPipe, 0},
        {"plugged in again, no recovery", kTransferWrite, false, {}, true, 0, 0, kNoPipe, ERROR_ACCESS_DENIED},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto backend = std::make_shared<ScriptedBackend>();
        plat::usb::AttachInProcessDevice(m_path, backend);
        CountingUSBDevice device;
        device.SetUniqueName(m_path);
        ASSERT_TRUE(device.Open());
        device.opens = 0;
        (c.direction == kTransferWrite ? backend->outScript : backend->inScript) = c.script;
        if (c.replugFirst)
            plat::usb::AttachInProcessDevice(m_path, backend);

        std::array<BYTE, 32> buffer{};
        const DWORD bytes = c.direction == kTransferWrite ? device.Write(buffer.data(), 32, c.retry)
                                                          : device.Read(buffer.data(), 32, c.retry);

        EXPECT_EQ(backend->Calls(c.direction), c.attempts);
        EXPECT_EQ(device.opens, c.reopens);
        EXPECT_EQ(backend->Resets(), c.pipeReset == kNoPipe ? std::vector<DWORD>{} : std::vector<DWORD>{c.pipeReset});
        EXPECT_EQ(device.LastError(), c.error);
        EXPECT_EQ(bytes, c.error ? 0u : 32u);
    }
}

// The decision itself, for the cases a transfer cannot easily produce.
TEST_F(USBDeviceTest, IoErrorOccurredTable)
{
    const struct {
        DWORD error;
        int attempt;
        DWORD direction;
        bool open;
        bool repeat;
        int reopens;
        std::vector<DWORD> resets;
    } cases[] = {
        {ERROR_GEN_FAILURE, 0, kTransferRead, true, true, 0, {kPipeReadData}},
        {ERROR_GEN_FAILURE, 0, kTransferWrite, true, true, 0, {kPipeWriteData}},
        {ERROR_GEN_FAILURE, 1, kTransferWrite, true, false, 0, {}},
        {ERROR_ACCESS_DENIED, 0, kTransferRead, true, true, 1, {}},
        {ERROR_ACCESS_DENIED, 1, kTransferRead, true, false, 0, {}},
        {ERROR_DEVICE_NOT_CONNECTED, 0, kTransferWrite, false, false, 0, {}}, // closed: nothing to recover
        {ERROR_SEM_TIMEOUT, 0, kTransferRead, true, false, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "error " << c.error << " attempt " << c.attempt);
        auto backend = std::make_shared<ScriptedBackend>();
        plat::usb::AttachInProcessDevice(m_path, backend);
        CountingUSBDevice device;
        device.SetUniqueName(m_path);
        if (c.open) {
            ASSERT_TRUE(device.Open());
        }
        device.opens = 0;
        EXPECT_EQ(device.IoErrorOccurred(c.error, c.attempt, c.direction), c.repeat);
        EXPECT_EQ(device.opens, c.reopens);
        EXPECT_EQ(backend->Resets(), c.resets);
    }
}

// A device opened for overlapped transfers, so that a read stays pending
// in the device object's own wait.
class OverlappedUSBDevice : public CUSBDevice {
public:
    bool Open() override
    {
        m_handle = CreateFileW(m_uniqueName.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        // The driver's own limit lies far beyond the wait's.
        plat::usb::SetTransferTimeout(m_handle, 3600000);
        return IsOpen();
    }
};

// A log sink whose writing changes the thread's last error, as a sink that
// touches files or the registry may.
class ErrorChangingLogSink : public RecordingLogSink {
public:
    void Write(DWORD level, DWORD processId, DWORD threadId, const WCHAR* timestamp, const WCHAR* logName,
               const WCHAR* text) override
    {
        RecordingLogSink::Write(level, processId, threadId, timestamp, logName, text);
        SetLastError(0);
    }
};

TEST(USBDeviceTimeoutTest, ATimedOutReadIsCancelledBeforeItReturnsAndReportsATimeout)
{
    plat::testing::TempSystemRoot root;
    plat::ScopedTestClock clock;
    const std::u16string path = PathFor(0x0ABC, 0x0DEF, u"TO");
    auto device = std::make_shared<plat::usb::testing::FakeUsbDevice>();
    plat::usb::AttachInProcessDevice(path, device);

    OverlappedUSBDevice usb;
    usb.SetUniqueName(path);
    ASSERT_TRUE(usb.Open());
    usb.SetTimeout(500);

    std::array<BYTE, 16> buffer{};
    std::promise<DWORD> threadId;
    auto reading = std::async(std::launch::async, [&] {
        threadId.set_value(GetCurrentThreadId());
        return usb.Read(buffer.data(), 16, true);
    });
    ASSERT_TRUE(clock->WaitForThreadBlocked(threadId.get_future().get()));
    clock->Advance(500);
    EXPECT_EQ(reading.get(), 0u);
    EXPECT_EQ(usb.LastError(), static_cast<DWORD>(ERROR_SEM_TIMEOUT));

    // An answer that comes later goes to the next read, never into the
    // buffer of the one that gave up.
    device->QueueChunk(plat::usb::testing::FakeUsbDevice::Bytes(16, 0xC3));
    std::array<BYTE, 16> next{};
    EXPECT_EQ(usb.Read(next.data(), 16, true), 16u);
    EXPECT_EQ(next[0], 0xC3);
    EXPECT_EQ(buffer, (std::array<BYTE, 16>{}));

    // With its lines written, the read still reports the time-out (and
    // without recovery, so that another reason could not start a second wait).
    ErrorChangingLogSink sink;
    usb.SetLogInterface(&sink);
    sink.RegisterLogName(u"USB Device")->store(LOG_ERROR | LOG_WARNING | LOG_TRACE);
    std::promise<DWORD> tracedThreadId;
    auto traced = std::async(std::launch::async, [&] {
        tracedThreadId.set_value(GetCurrentThreadId());
        return usb.Read(buffer.data(), 16, false);
    });
    ASSERT_TRUE(clock->WaitForThreadBlocked(tracedThreadId.get_future().get()));
    clock->Advance(500);
    EXPECT_EQ(traced.get(), 0u);
    EXPECT_EQ(usb.LastError(), static_cast<DWORD>(ERROR_SEM_TIMEOUT));
    usb.SetLogInterface(nullptr);

    usb.Close();
    plat::usb::DetachInProcessDevice(path);
}

} // namespace
