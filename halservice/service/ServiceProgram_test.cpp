// The program itself: a per-device copy registers as a service, runs under
// the service stand-in, stops on a stop control, and unregisters.
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "halservice/service/HALClassIds.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/services/ServiceControl.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr DWORD kSafetyNetMs = 30000; // only a guard: every wait ends on an event first

class ServiceProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::devices::DeviceIdentity identity;
        identity.vendorId = 0x0ABC;
        identity.productId = 0x0DEF;
        identity.serial = u"PROG1";
        plat::devices::DeviceRecord record;
        ASSERT_TRUE(plat::devices::AddDevice(identity, &record));
        m_key = Utf16ToUtf8(record.driverKey.substr(record.driverKey.size() - 4));
    }

    void TearDown() override
    {
        if (m_service) {
            SERVICE_STATUS status = {};
            ControlService(m_service, SERVICE_CONTROL_STOP, &status);
            plat::WaitForServiceState(Utf8ToUtf16(m_name), SERVICE_STOPPED, kSafetyNetMs);
            DeleteService(m_service);
            CloseServiceHandle(m_service);
        }
    }

    // A real copy: the program reads its identity from its own file. It
    // loads the platform library from its own folder, as an installation
    // leaves it.
    std::string CopyProgram(const std::string& fileName)
    {
        std::filesystem::create_directories(m_root.Path() + "/bin");
        std::string path = m_root.Path() + "/bin/" + fileName;
        EXPECT_TRUE(CopyFileA(QBK_HAL_PROGRAM, path.c_str(), FALSE));
        EXPECT_TRUE(CopyFileA(QBK_PLATFORM_LIBRARY, (m_root.Path() + "/bin/libplatform.so").c_str(), FALSE));
        return path;
    }

    static DWORD RunToEnd(const std::string& program, const std::string& arguments)
    {
        std::u16string line = Utf8ToUtf16("\"" + program + "\" " + arguments);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            return 0xDEADBEEF;
        WaitForSingleObject(info.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
        return code;
    }

    std::string EventLogText()
    {
        std::string text;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_root.Path() + "/log")) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream file(entry.path());
            text.append(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        return text;
    }

    plat::testing::TempSystemRoot m_root;
    std::string m_key;
    std::string m_name;
    SC_HANDLE m_service = nullptr;
};

TEST_F(ServiceProgramTest, RegisteredCopyRunsAsServiceAndStopsOnStopControl)
{
    m_name = "RNXQBK24x_" + m_key + "_2";
    const std::string program = CopyProgram(m_name + ".EXE");
    ASSERT_EQ(RunToEnd(program, "-Service"), 0u);

    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    m_service = OpenServiceW(scm, Utf8ToUtf16(m_name).c_str(), SERVICE_ALL_ACCESS);
    CloseServiceHandle(scm);
    ASSERT_NE(m_service, nullptr);

    ASSERT_TRUE(StartServiceW(m_service, 0, nullptr)) << GetLastError();
    ASSERT_TRUE(plat::WaitForServiceState(Utf8ToUtf16(m_name), SERVICE_RUNNING, kSafetyNetMs));
    SERVICE_STATUS status = {};
    ASSERT_TRUE(QueryServiceStatus(m_service, &status));
    EXPECT_EQ(status.dwControlsAccepted, 0xE7u);
    EXPECT_NE(EventLogText().find("Service started"), std::string::npos);

    ASSERT_TRUE(ControlService(m_service, SERVICE_CONTROL_STOP, &status)) << GetLastError();
    // Within the scanner thread's stop bound, with room to spare.
    ASSERT_TRUE(plat::WaitForServiceState(Utf8ToUtf16(m_name), SERVICE_STOPPED, 10000));
    ASSERT_TRUE(QueryServiceStatus(m_service, &status));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    // The service's own output (kept under the root's log folder) is clean,
    // also in a sanitizer build.
    const std::string logs = EventLogText();
    EXPECT_EQ(logs.find("AddressSanitizer"), std::string::npos);
    EXPECT_EQ(logs.find("runtime error"), std::string::npos);

    CloseServiceHandle(m_service);
    m_service = nullptr;
    ASSERT_EQ(RunToEnd(program, "/UnregServer"), 0u);
    scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    EXPECT_EQ(OpenServiceW(scm, Utf8ToUtf16(m_name).c_str(), SERVICE_QUERY_STATUS), nullptr);
    CloseServiceHandle(scm);
}

TEST_F(ServiceProgramTest, ClientActivationStartsTheServiceAndReachesTheSlotsClass)
{
    // Interface marshalling comes from the proxy/stub library, registered apart.
    HMODULE proxyStub = LoadLibraryA(QBK_RNXHALPS);
    ASSERT_NE(proxyStub, nullptr);
    auto registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(proxyStub, "DllRegisterServer"));
    ASSERT_TRUE(registerServer && SUCCEEDED(registerServer()));
    FreeLibrary(proxyStub);

    m_name = "RNXQBK24x_" + m_key + "_7";
    ASSERT_EQ(RunToEnd(CopyProgram(m_name + ".EXE"), "-Service"), 0u);
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    m_service = OpenServiceW(scm, Utf8ToUtf16(m_name).c_str(), SERVICE_ALL_ACCESS);
    CloseServiceHandle(scm);
    ASSERT_NE(m_service, nullptr);

    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        IRNXHALS* hal = nullptr;
        ASSERT_EQ(CoCreateInstance(kHALClassIds[7], nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS,
                                   reinterpret_cast<void**>(&hal)),
                  S_OK);
        ASSERT_TRUE(plat::WaitForServiceState(Utf8ToUtf16(m_name), SERVICE_RUNNING, kSafetyNetMs));
        LONG status = 7;
        EXPECT_EQ(hal->Initialize(&status), S_OK);
        EXPECT_EQ(status, -1); // no scanner attached
        EXPECT_EQ(hal->Uninitialize(), S_OK);
        hal->Release();
    }
    CoUninitialize();

    // A service does not end with its last object.
    SERVICE_STATUS status = {};
    ASSERT_TRUE(QueryServiceStatus(m_service, &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    ASSERT_TRUE(ControlService(m_service, SERVICE_CONTROL_STOP, &status));
    ASSERT_TRUE(plat::WaitForServiceState(Utf8ToUtf16(m_name), SERVICE_STOPPED, 10000));
}

TEST_F(ServiceProgramTest, LocalServerCopyEndsAfterItsLastObject)
{
    HMODULE proxyStub = LoadLibraryA(QBK_RNXHALPS);
    ASSERT_NE(proxyStub, nullptr);
    auto registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(proxyStub, "DllRegisterServer"));
    ASSERT_TRUE(registerServer && SUCCEEDED(registerServer()));
    FreeLibrary(proxyStub);
    ASSERT_EQ(RunToEnd(CopyProgram("RNXQBK24x_" + m_key + "_5.EXE"), "-RegServer"), 0u);

    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    HANDLE server = nullptr;
    {
        IRNXHALS* hal = nullptr;
        ASSERT_EQ(CoCreateInstance(kHALClassIds[5], nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS,
                                   reinterpret_cast<void**>(&hal)),
                  S_OK);
        DWORD pid = plat::rpc::GetPeerProcessId(hal);
        ASSERT_NE(pid, 0u);
        server = OpenProcess(SYNCHRONIZE, FALSE, pid);
        ASSERT_NE(server, nullptr);
        LONG status = 7;
        EXPECT_EQ(hal->Initialize(&status), S_OK);
        EXPECT_EQ(status, -1);
        EXPECT_EQ(hal->Uninitialize(), S_OK);
        hal->Release();
    }
    CoUninitialize();
    // The server leaves 5000 ms after the release; the wait is only a guard.
    EXPECT_EQ(WaitForSingleObject(server, kSafetyNetMs), WAIT_OBJECT_0);
    CloseHandle(server);
}

TEST_F(ServiceProgramTest, MalformedNameEndsWithMinusOne)
{
    // -1 reaches the parent as the low byte of the exit status.
    for (const char* name : {"RNXQBK24x_0001_A.EXE", "RNXQBK24x.EXE"})
        EXPECT_EQ(RunToEnd(CopyProgram(name), "-RegServer"), 255u) << name;
}

TEST_F(ServiceProgramTest, UnregisteredCopyCannotStart)
{
    // No AppID key: the run ends with the error of the failed open.
    EXPECT_EQ(RunToEnd(CopyProgram("RNXQBK24x_" + m_key + "_4.EXE"), ""), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

} // namespace
