#include "emulator/program/ScannerBackend.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <vector>

#include "emulator/EmulatedScanner.h"
#include "emulator/program/HandleScanner.h"
#include "emulator/testing/HostExchange.h"
#include "platform/devices/DeviceNotification.h"
#include "platform/kernel/TestClock.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

namespace emulator {
namespace {

using testing::HandleScanner;
using testing::RunCommand;

const std::vector<std::uint8_t> kTestUnitReady = {0, 0, 0, 0, 0, 0};

HANDLE OpenDevice(const std::u16string& path) {
  return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Device notices as a service handler gets them.
class NoticeRecorder {
 public:
  NoticeRecorder() {
    plat::devices::SetServiceDeviceEventSink([this](HANDLE, DWORD type, void* data) {
      std::lock_guard lock(mutex_);
      notices_.emplace_back(type, static_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(data)->dbcc_name);
    });
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = GUID_DEVINTERFACE_IMAGE;
    handle_ = RegisterDeviceNotificationW(reinterpret_cast<HANDLE>(0x5E), &filter,
                                          DEVICE_NOTIFY_SERVICE_HANDLE);
  }
  ~NoticeRecorder() {
    UnregisterDeviceNotification(handle_);
    plat::devices::FlushDeviceEvents();
    plat::devices::SetServiceDeviceEventSink(nullptr);
  }
  std::vector<std::pair<DWORD, std::u16string>> Take() {
    plat::devices::FlushDeviceEvents();
    std::lock_guard lock(mutex_);
    return std::exchange(notices_, {});
  }

 private:
  HDEVNOTIFY handle_ = nullptr;
  std::mutex mutex_;
  std::vector<std::pair<DWORD, std::u16string>> notices_;
};

using Notices = std::vector<std::pair<DWORD, std::u16string>>;

class AttachedScannerTest : public ::testing::Test {
 protected:
  plat::testing::TempSystemRoot root_;
  NoticeRecorder recorder_;
  EmulatedScanner scanner_;
};

TEST_F(AttachedScannerTest, IsAPresentDeviceThatAnswersThroughTheTransport) {
  AttachedScanner attached(scanner_, u"unit01");
  ASSERT_TRUE(attached.Recorded());
  EXPECT_EQ(attached.DevicePath(),
            u"\\\\?\\usb#vid_0abc&pid_0def#unit01#{6bdd1fc6-810f-11d0-bec7-08002be2092f}");
  EXPECT_EQ(recorder_.Take(), (Notices{{DBT_DEVICEARRIVAL, attached.DevicePath()}}));
  EXPECT_TRUE(plat::devices::IsInterfacePresent(attached.DevicePath()));

  HANDLE handle = OpenDevice(attached.DevicePath());
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  HandleScanner device(handle);
  EXPECT_TRUE(RunCommand(device, kTestUnitReady).good());
  // INQUIRY: a data-in command whose answer is the data packet and the
  // status packet in one chunk; the helper reads the data phase short and
  // the status from the rest of the chunk.
  const auto inquiry = RunCommand(device, {0x12, 0, 0, 0, 96, 0}, {}, 96);
  EXPECT_TRUE(inquiry.good());
  ASSERT_GE(inquiry.data.size(), 36u);
  EXPECT_EQ(std::string(inquiry.data.begin() + 32, inquiry.data.begin() + 36), "T.50");
  CloseHandle(handle);
}

TEST_F(AttachedScannerTest, StallAndUnplugGiveTheirErrors) {
  AttachedScanner attached(scanner_, u"unit02");
  HANDLE handle = OpenDevice(attached.DevicePath());
  HandleScanner device(handle);

  Fault stall;
  stall.kind = FaultKind::StallIn;
  scanner_.InjectFault(stall);
  EXPECT_EQ(RunCommand(device, kTestUnitReady).transport, TransferStatus::Stalled);
  EXPECT_EQ(device.LastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_TRUE(device.ResetPipe(kPipeBulkIn));
  EXPECT_TRUE(RunCommand(device, kTestUnitReady).good());

  recorder_.Take();
  scanner_.Unplug();
  EXPECT_EQ(recorder_.Take(), (Notices{{DBT_DEVICEREMOVECOMPLETE, attached.DevicePath()}}));
  EXPECT_EQ(RunCommand(device, kTestUnitReady).transport, TransferStatus::Disconnected);
  EXPECT_EQ(device.LastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_EQ(OpenDevice(attached.DevicePath()), INVALID_HANDLE_VALUE);

  // Plugged in again: the old handle is stale, a new one works.
  scanner_.Replug();
  EXPECT_EQ(recorder_.Take(), (Notices{{DBT_DEVICEARRIVAL, attached.DevicePath()}}));
  EXPECT_EQ(RunCommand(device, kTestUnitReady).transport, TransferStatus::Disconnected);
  EXPECT_EQ(device.LastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(handle);
  HANDLE fresh = OpenDevice(attached.DevicePath());
  HandleScanner again(fresh);
  EXPECT_TRUE(RunCommand(again, kTestUnitReady).good());
  CloseHandle(fresh);
}

TEST_F(AttachedScannerTest, SwallowedCommandTimesOutWithoutALateWrite) {
  plat::ScopedTestClock clock;
  AttachedScanner attached(scanner_, u"unit03");
  HANDLE handle = OpenDevice(attached.DevicePath());
  ASSERT_TRUE(plat::usb::SetTransferTimeout(handle, 10000));
  Fault timeout;
  timeout.kind = FaultKind::Timeout;
  scanner_.InjectFault(timeout);

  const auto command = MakeCommandPacket(kTestUnitReady.data(), kTestUnitReady.size());
  DWORD count = 0;
  ASSERT_TRUE(
      WriteFile(handle, command.data(), static_cast<DWORD>(command.size()), &count, nullptr));
  std::vector<std::uint8_t> status(16, 0xEE);
  auto reader = std::async(std::launch::async, [&] {
    DWORD got = 0;
    const BOOL ok = ReadFile(handle, status.data(), 16, &got, nullptr);
    return std::make_pair(ok, GetLastError());
  });
  ASSERT_TRUE(clock->WaitForSleepers(1));
  clock->Advance(10000);
  const auto [ok, error] = reader.get();
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_SEM_TIMEOUT));

  // The host recovers as the transport layer does (cancel and reset both
  // pipes) and the next command is answered; the timed-out buffer is
  // never touched.
  HandleScanner device(handle);
  EXPECT_TRUE(device.CancelIo(kPipeBulkIn));
  EXPECT_TRUE(device.ResetPipe(kPipeBulkIn));
  EXPECT_TRUE(device.ResetPipe(kPipeBulkOut));
  EXPECT_TRUE(RunCommand(device, kTestUnitReady).good());
  EXPECT_EQ(status, std::vector<std::uint8_t>(16, 0xEE));
  CloseHandle(handle);
}

}  // namespace
}  // namespace emulator
