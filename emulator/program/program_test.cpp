// The emulator program as a device: its start and stop are the device's
// arrival and removal, and the drivers' transport reaches it through its
// device path.
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "emulator/program/HandleScanner.h"
#include "emulator/testing/HostExchange.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/DeviceNotification.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

namespace emulator {
namespace {

using testing::HandleScanner;
using testing::RunCommand;
using Notices = std::vector<std::pair<DWORD, std::u16string>>;

const std::vector<std::uint8_t> kTestUnitReady = {0, 0, 0, 0, 0, 0};
constexpr char16_t kPath[] =
    u"\\\\?\\usb#vid_0abc&pid_0def#prog01#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";

std::string ProgramPath() {
  char self[PATH_MAX] = {};
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  return (std::filesystem::path(std::string(self, static_cast<std::size_t>(n))).parent_path() /
          "qbk-scanner-emu")
      .string();
}

// The program, started with its standard output on a pipe; killed and
// reaped at the latest when the test ends.
class Program : public plat::testing::ChildProcess {
 public:
  explicit Program(std::vector<std::string> args) : ChildProcess(WithProgram(std::move(args))) {}

 private:
  static std::vector<std::string> WithProgram(std::vector<std::string> args) {
    args.insert(args.begin(), ProgramPath());
    return args;
  }
};

class EmulatorProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::devices::SetServiceDeviceEventSink([this](HANDLE, DWORD type, void* data) {
      std::lock_guard lock(mutex_);
      notices_.emplace_back(type, static_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(data)->dbcc_name);
    });
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = GUID_DEVINTERFACE_IMAGE;
    notify_ = RegisterDeviceNotificationW(reinterpret_cast<HANDLE>(0x5E), &filter,
                                          DEVICE_NOTIFY_SERVICE_HANDLE);
    ASSERT_NE(notify_, nullptr);
  }
  void TearDown() override {
    UnregisterDeviceNotification(notify_);
    plat::devices::FlushDeviceEvents();
    plat::devices::SetServiceDeviceEventSink(nullptr);
  }
  Notices TakeNotices() {
    plat::devices::FlushDeviceEvents();
    std::lock_guard lock(mutex_);
    return std::exchange(notices_, {});
  }
  static std::vector<std::u16string> PresentPaths() {
    std::vector<std::u16string> paths;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_IMAGE, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_IMAGE, i, &data);
         ++i) {
      DWORD required = 0;
      SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
      std::vector<DWORD> storage((required + 3) / 4);
      auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
      detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
      if (SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, nullptr))
        paths.emplace_back(detail->DevicePath);
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
  }

  plat::testing::TempSystemRoot root_;
  HDEVNOTIFY notify_ = nullptr;
  std::mutex mutex_;
  Notices notices_;
};

TEST_F(EmulatorProgramTest, StartAndStopAreArrivalAndRemoval) {
  Program program({"--serial", "prog01", "--sheets", "2", "--fault", "stall-in"});
  ASSERT_TRUE(program.Started());
  EXPECT_EQ(program.ReadLine(), "device " + Utf16ToUtf8(kPath));
  const std::string ready = program.ReadLine();
  EXPECT_EQ(ready, "ready " + plat::devices::EndpointPathFor(kPath));
  EXPECT_EQ(TakeNotices(), (Notices{{DBT_DEVICEARRIVAL, kPath}}));
  EXPECT_EQ(PresentPaths(), std::vector<std::u16string>{kPath});

  HANDLE handle =
      CreateFileW(kPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  HandleScanner device(handle);
  // The stall injected on the command line halts the IN pipe at the first command.
  EXPECT_EQ(RunCommand(device, kTestUnitReady).transport, TransferStatus::Stalled);
  EXPECT_EQ(device.LastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_TRUE(device.ResetPipe(kPipeBulkIn));
  EXPECT_TRUE(RunCommand(device, kTestUnitReady).good());

  // The cable pulled: a removal, and the open handle's device is gone.
  ASSERT_TRUE(program.Signal(SIGUSR1));
  EXPECT_EQ(program.ReadLine().rfind("removed ", 0), 0u);
  EXPECT_EQ(TakeNotices(), (Notices{{DBT_DEVICEREMOVECOMPLETE, kPath}}));
  EXPECT_EQ(RunCommand(device, kTestUnitReady).transport, TransferStatus::Disconnected);
  EXPECT_EQ(device.LastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_TRUE(PresentPaths().empty());

  ASSERT_TRUE(program.Signal(SIGUSR1));
  EXPECT_EQ(program.ReadLine().rfind("arrived ", 0), 0u);
  EXPECT_EQ(TakeNotices(), (Notices{{DBT_DEVICEARRIVAL, kPath}}));
  CloseHandle(handle);

  ASSERT_TRUE(program.Signal(SIGTERM));
  EXPECT_EQ(program.ReadLine(), "stopped");
  EXPECT_EQ(program.Wait(), 0);
  EXPECT_EQ(TakeNotices(), (Notices{{DBT_DEVICEREMOVECOMPLETE, kPath}}));
  EXPECT_TRUE(PresentPaths().empty());
  // The record stays: the device is installed, only absent.
  EXPECT_TRUE(plat::devices::FindDevice(u"USB\\VID_0ABC&PID_0DEF\\PROG01"));
}

// One command sends a control line and prints the answer; it reaches the
// emulator while the scanner is unplugged too.
TEST_F(EmulatorProgramTest, TheControlCommandDrivesTheRunningEmulator) {
  Program program({"--serial", "prog02", "--sheets", "3"});
  ASSERT_TRUE(program.Started());
  program.ReadLine();  // device
  program.ReadLine();  // ready
  auto control = [](std::vector<std::string> line, std::string* answer) {
    line.insert(line.begin(), {"control", "--serial", "prog02"});
    Program command(std::move(line));
    *answer = command.ReadLine();
    return command.Wait();
  };
  std::string answer;
  EXPECT_EQ(control({"load", "5"}, &answer), 0);
  EXPECT_EQ(answer, "ok");
  EXPECT_EQ(control({"unplug"}, &answer), 0);
  EXPECT_EQ(program.ReadLine().rfind("removed ", 0), 0u);
  EXPECT_EQ(control({"status"}, &answer), 0);
  EXPECT_EQ(answer, "sheets=5 counter=0 revision=T.50 connected=0 capped-reads=0");
  EXPECT_EQ(control({"replug"}, &answer), 0);
  EXPECT_EQ(program.ReadLine().rfind("arrived ", 0), 0u);
  // A line the emulator does not take, and no emulator at all.
  EXPECT_EQ(control({"fault", "meltdown"}, &answer), 1);
  Program nobody({"control", "--serial", "nobody", "status"});
  EXPECT_EQ(nobody.Wait(), 1);

  ASSERT_TRUE(program.Signal(SIGTERM));
  EXPECT_EQ(program.ReadLine(), "stopped");
  EXPECT_EQ(program.Wait(), 0);
}

}  // namespace
}  // namespace emulator
