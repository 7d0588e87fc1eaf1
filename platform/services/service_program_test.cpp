// Services that really run: the test service program started, controlled,
// stopped and deleted through the service calls.
#include "platform/base/guid.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/kernel/TestClock.h"
#include "platform/registry/winreg.h"
#include "platform/services/ServiceControl.h"
#include "platform/services/ServiceRuntime.h"
#include "platform/services/winsvc.h"
#include "platform/testing/OtherUser.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr DWORD kSafetyNetMs = 30000; // only a guard: every wait ends on an event first

// The device-interface broadcast block, as device notifications send it.
struct DeviceInterfaceBroadcast {
    DWORD dbcc_size;
    DWORD dbcc_devicetype;
    DWORD dbcc_reserved;
    GUID dbcc_classguid;
    WCHAR dbcc_name[128];
};

class ServiceProgramTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        // Every process a test started ends with it.
        for (const auto& name : m_names) {
            SERVICE_STATUS_PROCESS status = {};
            plat::services::ReadStatusFile(name, status);
            if (status.dwProcessId && plat::services::IsServiceProcessAlive(name))
                kill(static_cast<pid_t>(status.dwProcessId), SIGKILL);
            plat::WaitForServiceState(name, SERVICE_STOPPED, kSafetyNetMs);
            if (status.dwProcessId)
                WaitForProcessEnd(static_cast<pid_t>(status.dwProcessId));
        }
        CloseServiceHandle(m_scm);
    }

    // The service is not our child: once ended it waits as a zombie for
    // whoever adopted it, which counts as ended here.
    static bool ProcessRuns(pid_t pid)
    {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        size_t close = text.rfind(')');
        return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
    }

    static void WaitForProcessEnd(pid_t pid)
    {
        for (int i = 0; i < 500 && ProcessRuns(pid); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (ProcessRuns(pid))
            kill(pid, SIGKILL);
    }

    std::string RecordPath() const { return m_root.Path() + "/record.txt"; }

    SC_HANDLE CreateTestService(const char16_t* name, const std::string& options = "")
    {
        m_names.emplace_back(name);
        std::u16string path =
            Utf8ToUtf16("\"" + std::string(QBK_TEST_SERVICE) + "\" --record \"" + RecordPath() + "\"" + options);
        return CreateServiceW(m_scm, name, nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                              SERVICE_ERROR_NORMAL, path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    }

    SC_HANDLE CreateWithPath(const char16_t* name, const std::u16string& path)
    {
        m_names.emplace_back(name);
        return CreateServiceW(m_scm, name, nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                              SERVICE_ERROR_NORMAL, path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    }

    std::vector<std::string> Record() const
    {
        std::vector<std::string> lines;
        std::ifstream file(RecordPath());
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    bool Recorded(const std::string& line) const
    {
        auto lines = Record();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // For what the service does on its own threads after a control returns.
    bool WaitForRecord(const std::string& line) const
    {
        for (int i = 0; i < 3000; ++i) { // 30 s, a safety net only
            if (Recorded(line))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    static SERVICE_STATUS_PROCESS StatusOf(SC_HANDLE service)
    {
        SERVICE_STATUS_PROCESS status = {};
        DWORD needed = 0;
        EXPECT_TRUE(QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                         sizeof status, &needed));
        return status;
    }

    plat::testing::TempSystemRoot m_root;
    SC_HANDLE m_scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    std::vector<std::u16string> m_names;
};

TEST_F(ServiceProgramTest, StartControlStopAndDelete)
{
    SC_HANDLE service = CreateTestService(u"QbkTestSvc", " --exit-code 7");
    ASSERT_NE(service, nullptr) << GetLastError();

    LPCWSTR args[] = {u"one", u"two words"};
    ASSERT_TRUE(StartServiceW(service, 2, args)) << GetLastError();
    EXPECT_FALSE(StartServiceW(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));

    ASSERT_TRUE(plat::WaitForServiceState(u"qbktestsvc", SERVICE_RUNNING, kSafetyNetMs));
    SERVICE_STATUS_PROCESS running = StatusOf(service);
    EXPECT_EQ(running.dwCurrentState, SERVICE_RUNNING);
    EXPECT_EQ(running.dwControlsAccepted, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN);
    EXPECT_NE(running.dwProcessId, 0u);
    EXPECT_NE(running.dwProcessId, static_cast<DWORD>(getpid()));
    EXPECT_TRUE(Recorded("main QbkTestSvc one two words"));

    SERVICE_STATUS status = {};
    EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_FALSE(ControlService(service, 200, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));

    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status)) << GetLastError();
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOP_PENDING); // what the handler reported before returning
    ASSERT_TRUE(plat::WaitForServiceState(u"QbkTestSvc", SERVICE_STOPPED, kSafetyNetMs));
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(status.dwWin32ExitCode, 7u);
    EXPECT_TRUE(Recorded("control stop"));
    EXPECT_TRUE(Recorded("stopped"));

    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));

    // It starts again after a stop.
    ASSERT_TRUE(StartServiceW(service, 0, nullptr)) << GetLastError();
    ASSERT_TRUE(plat::WaitForServiceState(u"QbkTestSvc", SERVICE_RUNNING, kSafetyNetMs));
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    ASSERT_TRUE(plat::WaitForServiceState(u"QbkTestSvc", SERVICE_STOPPED, kSafetyNetMs));

    ASSERT_TRUE(DeleteService(service));
    EXPECT_TRUE(CloseServiceHandle(service));
    EXPECT_EQ(OpenServiceW(m_scm, u"QbkTestSvc", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}

TEST_F(ServiceProgramTest, HandlerReceivesDeviceEventsAndSigtermStops)
{
    SC_HANDLE service = CreateTestService(u"DeviceSvc");
    ASSERT_NE(service, nullptr);
    ASSERT_TRUE(StartServiceW(service, 0, nullptr)) << GetLastError();
    ASSERT_TRUE(plat::WaitForServiceState(u"DeviceSvc", SERVICE_RUNNING, kSafetyNetMs));

    DeviceInterfaceBroadcast broadcast = {};
    const std::u16string path = u"\\\\?\\usb#vid_04c5&pid_1234#0001#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
    broadcast.dbcc_size =
        static_cast<DWORD>(offsetof(DeviceInterfaceBroadcast, dbcc_name) + (path.size() + 1) * sizeof(WCHAR));
    broadcast.dbcc_devicetype = 5;
    broadcast.dbcc_classguid = plat::MakeGuid("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}");
    std::memcpy(broadcast.dbcc_name, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    const std::string expected = " size " + std::to_string(broadcast.dbcc_size) +
                                 " type 5 class {6BDD1FC6-810F-11D0-BEC7-08002BE2092F} name " + Utf16ToUtf8(path);

    for (DWORD eventType : {0x8000u, 0x8004u}) {
        EXPECT_EQ(plat::SendServiceDeviceEvent(u"devicesvc", eventType, &broadcast), static_cast<DWORD>(NO_ERROR));
        EXPECT_TRUE(Recorded("device-event " + std::to_string(eventType) + expected)) << eventType;
    }

    SERVICE_STATUS_PROCESS status = StatusOf(service);
    ASSERT_EQ(kill(static_cast<pid_t>(status.dwProcessId), SIGTERM), 0);
    ASSERT_TRUE(plat::WaitForServiceState(u"DeviceSvc", SERVICE_STOPPED, kSafetyNetMs));
    EXPECT_TRUE(Recorded("control stop"));
    EXPECT_EQ(StatusOf(service).dwWin32ExitCode, 0u);

    EXPECT_EQ(plat::SendServiceDeviceEvent(u"DeviceSvc", 0x8000, &broadcast),
              static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_EQ(plat::SendServiceDeviceEvent(u"NoSuchSvc", 0x8000, &broadcast),
              static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    CloseServiceHandle(service);
}

TEST_F(ServiceProgramTest, DeviceNoticesOnTheStatusHandleReachTheHandler)
{
    SC_HANDLE service = CreateTestService(u"NoticeSvc", " --device-notify");
    ASSERT_NE(service, nullptr);
    ASSERT_TRUE(StartServiceW(service, 0, nullptr)) << GetLastError();
    ASSERT_TRUE(plat::WaitForServiceState(u"NoticeSvc", SERVICE_RUNNING, kSafetyNetMs));
    ASSERT_TRUE(Recorded("notify-registered"));

    SERVICE_STATUS status;
    ASSERT_TRUE(ControlService(service, 202, &status)) << GetLastError();
    const std::u16string path = u"\\\\?\\usb#vid_04c5&pid_1234#notice#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
    const size_t size = 28 + (path.size() + 1) * sizeof(WCHAR);
    EXPECT_TRUE(WaitForRecord("device-event 32768 size " + std::to_string(size) +
                              " type 5 class {6BDD1FC6-810F-11D0-BEC7-08002BE2092F} name " + Utf16ToUtf8(path)));

    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_TRUE(plat::WaitForServiceState(u"NoticeSvc", SERVICE_STOPPED, kSafetyNetMs));
    CloseServiceHandle(service);
}

TEST_F(ServiceProgramTest, DeletingARunningServiceMarksItUntilItStops)
{
    SC_HANDLE service = CreateTestService(u"MarkedSvc");
    ASSERT_NE(service, nullptr);
    ASSERT_TRUE(StartServiceW(service, 0, nullptr)) << GetLastError();
    ASSERT_TRUE(plat::WaitForServiceState(u"MarkedSvc", SERVICE_RUNNING, kSafetyNetMs));

    ASSERT_TRUE(DeleteService(service));
    EXPECT_FALSE(DeleteService(service));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    SC_HANDLE other = OpenServiceW(m_scm, u"MarkedSvc", SERVICE_ALL_ACCESS);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(DeleteService(other));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_EQ(CreateTestService(u"MarkedSvc"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));

    SERVICE_STATUS status;
    ASSERT_TRUE(ControlService(other, SERVICE_CONTROL_STOP, &status));
    ASSERT_TRUE(plat::WaitForServiceState(u"MarkedSvc", SERVICE_STOPPED, kSafetyNetMs));
    EXPECT_EQ(OpenServiceW(m_scm, u"MarkedSvc", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Services\\MarkedSvc", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    // Gone from the database, it still counts as stopped for those who wait.
    EXPECT_TRUE(plat::WaitForServiceState(u"MarkedSvc", SERVICE_STOPPED, 0));
    EXPECT_FALSE(plat::WaitForServiceState(u"MarkedSvc", SERVICE_RUNNING, kSafetyNetMs));
    CloseServiceHandle(other);
    CloseServiceHandle(service);
}

TEST_F(ServiceProgramTest, ControlsTheServiceCannotTakeAreRefused)
{
    SC_HANDLE pending = CreateTestService(u"PendingSvc", " --stay-pending");
    ASSERT_NE(pending, nullptr);
    ASSERT_TRUE(StartServiceW(pending, 0, nullptr)) << GetLastError();
    // Its handler is registered before it reports start-pending.
    ASSERT_TRUE(plat::WaitForServiceState(u"PendingSvc", SERVICE_START_PENDING, kSafetyNetMs));
    SERVICE_STATUS status = {};
    EXPECT_FALSE(ControlService(pending, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
    EXPECT_EQ(status.dwCurrentState, SERVICE_START_PENDING);

    SC_HANDLE shutdownOnly = CreateTestService(u"ShutdownSvc", " --shutdown-only");
    ASSERT_NE(shutdownOnly, nullptr);
    ASSERT_TRUE(StartServiceW(shutdownOnly, 0, nullptr)) << GetLastError();
    ASSERT_TRUE(plat::WaitForServiceState(u"ShutdownSvc", SERVICE_RUNNING, kSafetyNetMs));
    EXPECT_FALSE(ControlService(shutdownOnly, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_TRUE(ControlService(shutdownOnly, SERVICE_CONTROL_SHUTDOWN, &status)) << GetLastError();
    EXPECT_TRUE(plat::WaitForServiceState(u"ShutdownSvc", SERVICE_STOPPED, kSafetyNetMs));
    EXPECT_TRUE(Recorded("control shutdown"));
    CloseServiceHandle(pending);
    CloseServiceHandle(shutdownOnly);
}

TEST_F(ServiceProgramTest, AnotherUserGetsNothingFromAServicesControlSocket)
{
    SC_HANDLE service = CreateTestService(u"GuardedSvc");
    ASSERT_NE(service, nullptr);
    ASSERT_TRUE(StartServiceW(service, 0, nullptr)) << GetLastError();
    ASSERT_TRUE(plat::WaitForServiceState(u"GuardedSvc", SERVICE_RUNNING, kSafetyNetMs));
    const std::string socket = plat::services::SocketPath(u"GuardedSvc");
    plat::testing::OpenPathToOthers(m_root.Path(), socket);

    // A stop request as the control channel frames it ("QSVR", control,
    // event type, no data).
    const std::uint32_t stop[4] = {0x51535652, SERVICE_CONTROL_STOP, 0, 0};
    std::string answer;
    if (!plat::testing::RunAsOtherUser(
            [&](int out) { plat::testing::TryServer(out, socket.c_str(), stop, sizeof stop); }, answer))
        GTEST_SKIP() << "cannot switch to another user here";
    EXPECT_EQ(answer, "");

    // The service never saw it and still answers its own user.
    SERVICE_STATUS status = {};
    EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_FALSE(Recorded("control stop"));
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_TRUE(plat::WaitForServiceState(u"GuardedSvc", SERVICE_STOPPED, kSafetyNetMs));
    CloseServiceHandle(service);
}

TEST_F(ServiceProgramTest, AServiceThatDiesReportsProcessAborted)
{
    SC_HANDLE service = CreateTestService(u"CrashSvc");
    ASSERT_NE(service, nullptr);
    ASSERT_TRUE(StartServiceW(service, 0, nullptr)) << GetLastError();
    ASSERT_TRUE(plat::WaitForServiceState(u"CrashSvc", SERVICE_RUNNING, kSafetyNetMs));
    SERVICE_STATUS status = {};
    EXPECT_FALSE(ControlService(service, 201, &status));
    ASSERT_TRUE(plat::WaitForServiceState(u"CrashSvc", SERVICE_STOPPED, kSafetyNetMs));
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_PROCESS_ABORTED));
    // And it can be started again.
    ASSERT_TRUE(StartServiceW(service, 0, nullptr)) << GetLastError();
    ASSERT_TRUE(plat::WaitForServiceState(u"CrashSvc", SERVICE_RUNNING, kSafetyNetMs));
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    CloseServiceHandle(service);
}

TEST_F(ServiceProgramTest, ProgramsThatCannotBecomeServicesFailToStart)
{
    struct Case {
        const char16_t* name;
        std::u16string path;
        DWORD error;
    };
    const Case cases[] = {
        {u"NotAService", u"/bin/true", ERROR_SERVICE_REQUEST_TIMEOUT},
        {u"NoProgram", Utf8ToUtf16(m_root.Path()) + u"/missing-program", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SC_HANDLE service = CreateWithPath(c.name, c.path);
        ASSERT_NE(service, nullptr);
        EXPECT_FALSE(StartServiceW(service, 0, nullptr));
        EXPECT_EQ(GetLastError(), c.error) << Utf16ToUtf8(c.name);
        SERVICE_STATUS status = {};
        ASSERT_TRUE(QueryServiceStatus(service, &status));
        EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
        EXPECT_EQ(status.dwWin32ExitCode, c.error);
        CloseServiceHandle(service);
    }
}

TEST_F(ServiceProgramTest, AProgramThatNeverConnectsIsEndedWhenTheStartTimesOut)
{
    SC_HANDLE service = CreateWithPath(u"SleepySvc", u"/bin/sleep 600");
    ASSERT_NE(service, nullptr);
    plat::ScopedTestClock clock;
    std::atomic<bool> done{false};
    BOOL started = TRUE;
    DWORD error = 0;
    std::thread starter([&] {
        started = StartServiceW(service, 0, nullptr);
        error = GetLastError();
        done = true;
    });
    // The start gives up only when the clock says its 30 s are over.
    for (int i = 0; i < 3000 && !done; ++i) {
        clock->Advance(1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    starter.join();
    EXPECT_FALSE(started);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SERVICE_REQUEST_TIMEOUT));
    // The program held the service's lock; it is gone once the lock is free.
    bool ended = false;
    for (int i = 0; i < 3000 && !ended; ++i) {
        ended = !plat::services::IsServiceProcessAlive(u"SleepySvc");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ended);
    CloseServiceHandle(service);
}

TEST_F(ServiceProgramTest, DispatcherOutsideTheServiceManagerFails)
{
    std::string record = RecordPath();
    char* argv[] = {const_cast<char*>(QBK_TEST_SERVICE), const_cast<char*>("--record"), record.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, QBK_TEST_SERVICE, nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_TRUE(Recorded("dispatcher-failed 1063"));
}

} // namespace
