#include "platform/usb/fileio.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/TestClock.h"
#include "platform/kernel/Wait.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/testing/DeviceCalls.h"
#include "platform/usb/testing/FakeUsbDevice.h"

#include <gtest/gtest.h>

#include <array>
#include <future>
#include <thread>

namespace {

using plat::usb::testing::FakeUsbDevice;
using Bytes = FakeUsbDevice::Bytes;

class UsbFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = plat::devices::InterfacePathFor(plat::devices::InstanceIdFor(0x0ABC, 0x0DEF, u"T1"));
        plat::usb::AttachInProcessDevice(m_path, m_device);
    }
    void TearDown() override { plat::usb::DetachInProcessDevice(m_path); }

    HANDLE Open(DWORD flags = FILE_ATTRIBUTE_NORMAL) { return plat::usb::testing::OpenDevice(m_path, flags); }
    static BOOL Control(HANDLE device, DWORD code, DWORD pipe)
    {
        return plat::usb::testing::PipeControl(device, code, pipe);
    }

    plat::testing::TempSystemRoot m_root;
    std::u16string m_path;
    std::shared_ptr<FakeUsbDevice> m_device = std::make_shared<FakeUsbDevice>();
};

TEST_F(UsbFileTest, ShortReadKeepsTheRestOfTheChunkForTheNextRead)
{
    m_device->QueueChunk(Bytes(40, 0xA1));
    m_device->QueueChunk(Bytes(8, 0xB2));
    HANDLE device = Open();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);

    // Each read returns at most the rest of the current chunk, never
    // running into the next one.
    const struct {
        DWORD asked;
        DWORD expected;
        std::uint8_t value;
    } reads[] = {{16, 16, 0xA1}, {100, 24, 0xA1}, {100, 8, 0xB2}};
    for (const auto& read : reads) {
        std::array<std::uint8_t, 100> buffer{};
        DWORD got = 0;
        ASSERT_TRUE(ReadFile(device, buffer.data(), read.asked, &got, nullptr));
        EXPECT_EQ(got, read.expected);
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + got, [&](auto b) { return b == read.value; }));
        EXPECT_TRUE(std::all_of(buffer.begin() + got, buffer.end(), [](auto b) { return b == 0; }));
    }
    CloseHandle(device);
}

TEST_F(UsbFileTest, SynchronousTransferWithRecordSignalsItsEventAndReportsThroughTheRecord)
{
    m_device->SetReplyRule([](const Bytes& written) { return Bytes(written.rbegin(), written.rend()); });
    HANDLE device = Open();
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const std::uint8_t command[3] = {1, 2, 3};

    OVERLAPPED write{};
    write.hEvent = event;
    DWORD count = 0;
    ASSERT_TRUE(WriteFile(device, command, sizeof command, &count, &write));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    DWORD transferred = 0;
    ASSERT_TRUE(GetOverlappedResult(device, &write, &transferred, FALSE));
    EXPECT_EQ(transferred, 3u);

    ResetEvent(event);
    OVERLAPPED read{};
    read.hEvent = event;
    std::uint8_t answer[8] = {};
    ASSERT_TRUE(ReadFile(device, answer, sizeof answer, &count, &read));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(GetOverlappedResult(device, &read, &transferred, FALSE));
    EXPECT_EQ(transferred, 3u);
    EXPECT_EQ(Bytes(answer, answer + 3), (Bytes{3, 2, 1}));
    CloseHandle(event);
    CloseHandle(device);
}

TEST_F(UsbFileTest, OverlappedReadPendsUntilTheDeviceAnswersAWrite)
{
    m_device->SetReplyRule([](const Bytes&) { return Bytes{0x55, 0x66}; });
    HANDLE device = Open(FILE_FLAG_OVERLAPPED);
    HANDLE readDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE writeDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    OVERLAPPED read{};
    read.hEvent = readDone;
    std::uint8_t answer[16] = {};
    EXPECT_FALSE(ReadFile(device, answer, sizeof answer, nullptr, &read));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    DWORD transferred = 0;
    EXPECT_FALSE(GetOverlappedResult(device, &read, &transferred, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));

    OVERLAPPED write{};
    write.hEvent = writeDone;
    const std::uint8_t command = 7;
    EXPECT_FALSE(WriteFile(device, &command, 1, nullptr, &write));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    ASSERT_TRUE(GetOverlappedResult(device, &write, &transferred, TRUE));
    EXPECT_EQ(transferred, 1u);

    ASSERT_EQ(WaitForSingleObject(readDone, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(GetOverlappedResult(device, &read, &transferred, TRUE));
    EXPECT_EQ(transferred, 2u);
    EXPECT_EQ(answer[0], 0x55);
    EXPECT_EQ(answer[1], 0x66);
    CloseHandle(readDone);
    CloseHandle(writeDone);
    CloseHandle(device);
}

// A synchronous handle has no thread of its own: the caller's thread talks
// to the device. An overlapped handle's transfers go on while the caller
// does something else, on the handle's transfer thread.
TEST_F(UsbFileTest, ASynchronousHandlesTransfersRunOnTheCallingThread)
{
    std::thread::id writer;
    m_device->SetReplyRule([&](const Bytes&) {
        writer = std::this_thread::get_id();
        return Bytes{};
    });
    const struct {
        DWORD flags;
        bool onCaller;
    } cases[] = {{FILE_ATTRIBUTE_NORMAL, true}, {FILE_FLAG_OVERLAPPED, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        HANDLE device = Open(c.flags);
        ASSERT_NE(device, INVALID_HANDLE_VALUE);
        HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        OVERLAPPED record{};
        record.hEvent = done;
        const std::uint8_t command = 1;
        DWORD count = 0;
        WriteFile(device, &command, 1, nullptr, &record);
        ASSERT_TRUE(GetOverlappedResult(device, &record, &count, TRUE));
        EXPECT_EQ(writer == std::this_thread::get_id(), c.onCaller);
        CloseHandle(done);
        CloseHandle(device);
    }
}

// A read waiting on a synchronous handle gets the answer to a write that
// another thread makes on the same handle meanwhile.
TEST_F(UsbFileTest, AWaitingSynchronousReadGetsTheAnswerToAnotherThreadsWrite)
{
    m_device->SetReplyRule([](const Bytes&) { return Bytes{0x31, 0x32, 0x33}; });
    HANDLE device = Open();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    auto reader = std::async(std::launch::async, [&] {
        std::uint8_t answer[8] = {};
        DWORD count = 0;
        const BOOL ok = ReadFile(device, answer, sizeof answer, &count, nullptr);
        return ok && count == 3 && answer[0] == 0x31 && answer[2] == 0x33;
    });
    // The device was asked and had nothing: the read waits.
    for (int i = 0; i < 10000 && m_device->Reads() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GT(m_device->Reads(), 0);
    const std::uint8_t command = 5;
    DWORD count = 0;
    ASSERT_TRUE(WriteFile(device, &command, 1, &count, nullptr));
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(reader.get());
    CloseHandle(device);
}

TEST_F(UsbFileTest, TimedOutReadNeverWritesIntoTheCallersBufferLater)
{
    plat::ScopedTestClock clock;
    HANDLE device = Open();
    ASSERT_TRUE(plat::usb::SetTransferTimeout(device, 10000));

    std::array<std::uint8_t, 32> buffer;
    buffer.fill(0xEE);
    auto reader = std::async(std::launch::async, [&] {
        DWORD got = 123;
        BOOL ok = ReadFile(device, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
        return std::make_tuple(ok, GetLastError(), got);
    });
    // The transfer thread now waits out the time-out on the test clock.
    ASSERT_TRUE(clock->WaitForSleepers(1));
    clock->Advance(9999);
    ASSERT_TRUE(clock->WaitForSleepers(1));
    EXPECT_EQ(reader.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    clock->Advance(1);
    auto [ok, error, got] = reader.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SEM_TIMEOUT));
    EXPECT_EQ(got, 0u);

    // The answer that comes after the time-out goes to the next read only.
    m_device->QueueChunk(Bytes(4, 0x11));
    std::uint8_t next[8] = {};
    DWORD count = 0;
    ASSERT_TRUE(ReadFile(device, next, sizeof next, &count, nullptr));
    EXPECT_EQ(count, 4u);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0xEE; }));
    CloseHandle(device);
}

TEST_F(UsbFileTest, CancelledReadsCompleteAbortedAndLeaveTheAnswerForTheNextRead)
{
    HANDLE device = Open(FILE_FLAG_OVERLAPPED);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Cancelled once by the pipe control, once by CancelIo.
    for (bool byControl : {true, false}) {
        std::array<std::uint8_t, 16> buffer;
        buffer.fill(0xEE);
        OVERLAPPED read{};
        read.hEvent = event;
        EXPECT_FALSE(ReadFile(device, buffer.data(), 16, nullptr, &read));
        if (byControl) {
            DWORD pipe = plat::usb::kPipeBulkIn;
            DWORD returned = 0;
            EXPECT_TRUE(DeviceIoControl(device, IOCTL_CANCEL_IO, &pipe, 4, nullptr, 0, &returned, nullptr));
        } else {
            EXPECT_TRUE(CancelIo(device));
        }
        DWORD transferred = 7;
        EXPECT_FALSE(GetOverlappedResult(device, &read, &transferred, TRUE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
        EXPECT_EQ(transferred, 0u);
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);

        m_device->QueueChunk(Bytes(3, 0x22));
        std::uint8_t next[8] = {};
        ResetEvent(event);
        OVERLAPPED again{};
        again.hEvent = event;
        ReadFile(device, next, sizeof next, nullptr, &again);
        ASSERT_TRUE(GetOverlappedResult(device, &again, &transferred, TRUE));
        EXPECT_EQ(transferred, 3u);
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0xEE; }));
        ResetEvent(event);
    }
    CloseHandle(event);
    CloseHandle(device);
}

TEST_F(UsbFileTest, ClosingAnOverlappedHandleCancelsItsPendingRead)
{
    HANDLE device = Open(FILE_FLAG_OVERLAPPED);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::array<std::uint8_t, 8> buffer;
    buffer.fill(0xEE);
    OVERLAPPED read{};
    read.hEvent = event;
    EXPECT_FALSE(ReadFile(device, buffer.data(), 8, nullptr, &read));
    EXPECT_FALSE(HasOverlappedIoCompleted(&read));
    ASSERT_TRUE(CloseHandle(device));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(HasOverlappedIoCompleted(&read));
    EXPECT_NE(read.Internal, 0u);
    EXPECT_EQ(read.InternalHigh, 0u);
    // What the device says after the close reaches nobody.
    m_device->QueueChunk(Bytes(8, 0x44));
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0xEE; }));
    CloseHandle(event);
}

TEST_F(UsbFileTest, StalledPipeFailsWithGenFailureUntilReset)
{
    HANDLE device = Open();
    m_device->SetStalled(true);
    m_device->QueueChunk(Bytes(2, 0x33));
    std::uint8_t buffer[4];
    DWORD got = 0;
    EXPECT_FALSE(ReadFile(device, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));

    EXPECT_TRUE(Control(device, IOCTL_RESET_PIPE, plat::usb::kPipeBulkIn));
    EXPECT_EQ(m_device->Resets(plat::usb::kPipeBulkIn), 1);
    ASSERT_TRUE(ReadFile(device, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 2u);
    CloseHandle(device);
}

TEST_F(UsbFileTest, PipeControlsCheckCodeAndPipeNumber)
{
    HANDLE device = Open();
    DWORD returned = 0;
    const struct {
        DWORD code;
        DWORD pipe;
        DWORD inSize;
        DWORD error;
    } cases[] = {
        {IOCTL_RESET_PIPE, 2, 4, ERROR_SUCCESS},           {IOCTL_CANCEL_IO, 3, 4, ERROR_SUCCESS},
        {IOCTL_RESET_PIPE, 4, 4, ERROR_INVALID_PARAMETER}, {IOCTL_RESET_PIPE, 1, 2, ERROR_INVALID_PARAMETER},
        {0x80002008, 1, 4, ERROR_INVALID_FUNCTION},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        BOOL ok =
            DeviceIoControl(device, c.code, const_cast<DWORD*>(&c.pipe), c.inSize, nullptr, 0, &returned, nullptr);
        EXPECT_EQ(ok != FALSE, c.error == ERROR_SUCCESS) << std::hex << c.code << " pipe " << c.pipe;
        if (!ok) {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
    CloseHandle(device);
}

TEST_F(UsbFileTest, DepartedDeviceFailsNotConnectedAndAStaleHandleIsRefusedAfterItReturns)
{
    HANDLE device = Open();
    std::uint8_t byte = 0;
    DWORD count = 0;

    // Unplugged (the device says it is gone).
    m_device->SetConnected(false);
    EXPECT_FALSE(WriteFile(device, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_FALSE(ReadFile(device, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    m_device->SetConnected(true);

    // Removed: the path serves nothing.
    plat::usb::DetachInProcessDevice(m_path);
    EXPECT_FALSE(WriteFile(device, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_FALSE(Control(device, IOCTL_RESET_PIPE, 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // Back again: the old handle is refused, a new one works.
    plat::usb::AttachInProcessDevice(m_path, m_device);
    EXPECT_FALSE(WriteFile(device, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HANDLE fresh = Open();
    ASSERT_NE(fresh, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(WriteFile(fresh, &byte, 1, &count, nullptr));
    CloseHandle(fresh);
    CloseHandle(device);
}

TEST_F(UsbFileTest, DetachWakesAParkedRead)
{
    HANDLE device = Open();
    auto reader = std::async(std::launch::async, [&] {
        std::uint8_t buffer[4];
        DWORD got = 0;
        BOOL ok = ReadFile(device, buffer, sizeof buffer, &got, nullptr);
        return std::make_pair(ok, GetLastError());
    });
    // Whether the read is parked yet or not, it must end with the device gone.
    plat::usb::DetachInProcessDevice(m_path);
    auto [ok, error] = reader.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    CloseHandle(device);
}

TEST_F(UsbFileTest, OpenRefusesPathsThatNameNoDevice)
{
    const struct {
        const char16_t* path;
        DWORD disposition;
        DWORD error;
    } cases[] = {
        {u"C:\\Windows\\notepad.exe", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {u"\\\\?\\usb#vid_0abc&pid_0def#none#{6bdd1fc6-810f-11d0-bec7-08002be2092f}", OPEN_EXISTING,
         ERROR_FILE_NOT_FOUND},
        {u"\\\\?\\..#{6bdd1fc6-810f-11d0-bec7-08002be2092f}", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {u"\\\\?\\usb#a/b#{6bdd1fc6-810f-11d0-bec7-08002be2092f}", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {m_path.c_str(), CREATE_NEW, ERROR_FILE_EXISTS},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CreateFileW(c.path, GENERIC_READ, 0, nullptr, c.disposition, 0, nullptr), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    // Paths compare without regard to case, as the system's do.
    std::u16string upper = plat::devices::ToUpperAscii(m_path);
    HANDLE device = CreateFileW(upper.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
}

} // namespace
