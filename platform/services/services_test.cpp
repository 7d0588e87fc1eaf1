// The service database and the calls that need no running service.
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/registry/winreg.h"
#include "platform/services/ServiceControl.h"
#include "platform/services/ServiceLauncher.h"
#include "platform/services/winsvc.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Closes a service handle at the end of a test.
class ScHandle {
public:
    explicit ScHandle(SC_HANDLE handle = nullptr) : m_handle(handle) {}
    ~ScHandle()
    {
        if (m_handle)
            CloseServiceHandle(m_handle);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    SC_HANDLE m_handle;
};

class ServiceDatabaseTest : public ::testing::Test {
protected:
    SC_HANDLE Create(const char16_t* name, const char16_t* displayName, const char16_t* path = u"\"/usr/bin/true\" -x")
    {
        return CreateServiceW(m_scm.Get(), name, displayName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                              SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, path, nullptr, nullptr, u"RPCSS\0", nullptr,
                              nullptr);
    }

    std::u16string ReadString(const char16_t* key, const char16_t* value)
    {
        char16_t buffer[512] = {};
        DWORD size = sizeof buffer;
        DWORD type = 0;
        HKEY handle = nullptr;
        std::u16string path = std::u16string(u"SYSTEM\\CurrentControlSet\\Services\\") + key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
            return u"<no key>";
        LONG result = RegQueryValueExW(handle, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(handle);
        return result == ERROR_SUCCESS ? std::u16string(buffer) : u"<no value>";
    }

    plat::testing::TempSystemRoot m_root;
    ScHandle m_scm{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
};

TEST_F(ServiceDatabaseTest, CreateWritesTheRegistryValuesWindowsKeeps)
{
    ScHandle service(Create(u"QbkSvc_0001_3", u"Qbk Service"));
    ASSERT_TRUE(service) << GetLastError();

    EXPECT_EQ(ReadString(u"QbkSvc_0001_3", u"ImagePath"), u"\"/usr/bin/true\" -x");
    EXPECT_EQ(ReadString(u"QbkSvc_0001_3", u"DisplayName"), u"Qbk Service");
    EXPECT_EQ(ReadString(u"QbkSvc_0001_3", u"ObjectName"), u"LocalSystem");

    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Services\\qbksvc_0001_3", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    struct DwordValue {
        const char16_t* name;
        DWORD expected;
    };
    for (auto [name, expected] : {DwordValue{u"Type", 0x10}, DwordValue{u"Start", 2}, DwordValue{u"ErrorControl", 1}}) {
        DWORD value = 0, size = sizeof value, type = 0;
        ASSERT_EQ(RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
        EXPECT_EQ(type, REG_DWORD);
        EXPECT_EQ(value, expected) << Utf16ToUtf8(name);
    }
    BYTE multi[64] = {};
    DWORD size = sizeof multi, type = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"DependOnService", nullptr, &type, multi, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(multi), size / 2), std::u16string(u"RPCSS\0\0", 7));
    RegCloseKey(key);

    // The configuration reads back through the service calls.
    DWORD needed = 0;
    EXPECT_FALSE(QueryServiceConfigW(service.Get(), nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<unsigned long long> buffer(needed / 8 + 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    ASSERT_TRUE(QueryServiceConfigW(service.Get(), config, needed, &needed));
    EXPECT_EQ(config->dwStartType, SERVICE_AUTO_START);
    EXPECT_EQ(std::u16string(config->lpBinaryPathName), u"\"/usr/bin/true\" -x");
    EXPECT_EQ(std::u16string(config->lpDisplayName), u"Qbk Service");
    EXPECT_EQ(std::u16string(config->lpDependencies), u"RPCSS");
}

TEST_F(ServiceDatabaseTest, CreateRefusesTakenNamesAndBadArguments)
{
    ScHandle first(Create(u"Alpha", u"Alpha Display"));
    ASSERT_TRUE(first);

    struct Case {
        const char16_t* name;
        const char16_t* displayName;
        const char16_t* path;
        DWORD error;
    };
    const Case cases[] = {
        {u"Alpha", u"Other", u"/bin/x", ERROR_SERVICE_EXISTS},
        {u"ALPHA", nullptr, u"/bin/x", ERROR_SERVICE_EXISTS},
        {u"Beta", u"alpha display", u"/bin/x", ERROR_DUPLICATE_SERVICE_NAME},
        {u"Beta", u"Alpha", u"/bin/x", ERROR_DUPLICATE_SERVICE_NAME},
        {u"Alpha Display", nullptr, u"/bin/x", ERROR_DUPLICATE_SERVICE_NAME},
        {u"", nullptr, u"/bin/x", ERROR_INVALID_NAME},
        {u"a/b", nullptr, u"/bin/x", ERROR_INVALID_NAME},
        {u"a\\b", nullptr, u"/bin/x", ERROR_INVALID_NAME},
        {u"Gamma", nullptr, nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        ScHandle handle(Create(c.name, c.displayName, c.path));
        EXPECT_FALSE(handle) << Utf16ToUtf8(c.name);
        EXPECT_EQ(GetLastError(), c.error) << Utf16ToUtf8(c.name);
    }

    ScHandle readOnly(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    EXPECT_FALSE(CreateServiceW(readOnly.Get(), u"Delta", nullptr, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, u"/bin/x", nullptr, nullptr, nullptr,
                                nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(ServiceDatabaseTest, OpenFindsNamesWithoutRegardToCase)
{
    ScHandle created(Create(u"MixedCase", nullptr));
    ASSERT_TRUE(created);
    ScHandle opened(OpenServiceW(m_scm.Get(), u"mixedcase", SERVICE_QUERY_STATUS));
    EXPECT_TRUE(opened);

    SetLastError(0);
    EXPECT_EQ(OpenServiceW(m_scm.Get(), u"Missing", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(OpenServiceA(m_scm.Get(), "MIXEDCASE", SERVICE_ALL_ACCESS) != nullptr, true);

    // A handle of the wrong kind or one already closed is refused.
    EXPECT_EQ(OpenServiceW(created.Get(), u"MixedCase", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SC_HANDLE closed = OpenServiceW(m_scm.Get(), u"MixedCase", SERVICE_ALL_ACCESS);
    ASSERT_TRUE(CloseServiceHandle(closed));
    EXPECT_FALSE(CloseServiceHandle(closed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ServiceDatabaseTest, KeyAndDisplayNamesMapBothWays)
{
    ScHandle withDisplay(Create(u"Tessivo", u"Tessivo 4.0 Monitor"));
    ScHandle withoutDisplay(Create(u"Plain", nullptr));
    ASSERT_TRUE(withDisplay && withoutDisplay);

    WCHAR name[64];
    DWORD size = 64;
    ASSERT_TRUE(GetServiceKeyNameW(m_scm.Get(), u"tessivo 4.0 monitor", name, &size));
    EXPECT_EQ(std::u16string(name), u"Tessivo");
    EXPECT_EQ(size, 7u);
    size = 64;
    ASSERT_TRUE(GetServiceKeyNameW(m_scm.Get(), u"Plain", name, &size)); // no display name: the name shows
    EXPECT_EQ(std::u16string(name), u"Plain");

    size = 3;
    EXPECT_FALSE(GetServiceDisplayNameW(m_scm.Get(), u"TESSIVO", name, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, 19u);
    size = 20;
    ASSERT_TRUE(GetServiceDisplayNameW(m_scm.Get(), u"TESSIVO", name, &size));
    EXPECT_EQ(std::u16string(name), u"Tessivo 4.0 Monitor");

    char narrow[64];
    size = sizeof narrow;
    ASSERT_TRUE(GetServiceKeyNameA(m_scm.Get(), "Tessivo 4.0 Monitor", narrow, &size));
    EXPECT_STREQ(narrow, "Tessivo");

    size = 64;
    EXPECT_FALSE(GetServiceKeyNameW(m_scm.Get(), u"Nobody", name, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}

TEST_F(ServiceDatabaseTest, StoppedServiceReportsNeverStartedAndRefusesControls)
{
    ScHandle service(Create(u"Idle", nullptr));
    ASSERT_TRUE(service);
    SERVICE_STATUS status = {};
    ASSERT_TRUE(QueryServiceStatus(service.Get(), &status));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(status.dwServiceType, SERVICE_WIN32_OWN_PROCESS);
    EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_NEVER_STARTED));

    struct Case {
        DWORD control;
        DWORD error;
    };
    for (auto [control, error] :
         {Case{SERVICE_CONTROL_STOP, ERROR_SERVICE_NOT_ACTIVE},
          Case{SERVICE_CONTROL_INTERROGATE, ERROR_SERVICE_NOT_ACTIVE},
          Case{SERVICE_CONTROL_DEVICEEVENT, ERROR_INVALID_SERVICE_CONTROL}, Case{99, ERROR_INVALID_SERVICE_CONTROL}}) {
        status = {};
        EXPECT_FALSE(ControlService(service.Get(), control, &status)) << control;
        EXPECT_EQ(GetLastError(), error) << control;
        EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED) << control;
    }

    DWORD needed = 0;
    BYTE small[8];
    EXPECT_FALSE(QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, small, sizeof small, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, sizeof(SERVICE_STATUS_PROCESS));
}

TEST_F(ServiceDatabaseTest, HandleAccessIsEnforced)
{
    ScHandle created(Create(u"Guarded", nullptr));
    ASSERT_TRUE(created);
    ScHandle queryOnly(OpenServiceW(m_scm.Get(), u"Guarded", SERVICE_QUERY_STATUS));
    ASSERT_TRUE(queryOnly);
    SERVICE_STATUS status;
    EXPECT_FALSE(ControlService(queryOnly.Get(), SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(StartServiceW(queryOnly.Get(), 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteService(queryOnly.Get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // The generic rights carry the specific ones.
    ScHandle generic(OpenServiceW(m_scm.Get(), u"Guarded", 0x80000000u /* GENERIC_READ */));
    EXPECT_TRUE(QueryServiceStatus(generic.Get(), &status));
}

TEST_F(ServiceDatabaseTest, DeletingAStoppedServiceRemovesItAtOnce)
{
    ScHandle service(Create(u"Doomed", u"Doomed Display"));
    ASSERT_TRUE(service);
    ASSERT_TRUE(DeleteService(service.Get()));
    EXPECT_EQ(ReadString(u"Doomed", u"ImagePath"), u"<no key>");
    EXPECT_FALSE(DeleteService(service.Get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_FALSE(StartServiceW(service.Get(), 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_EQ(OpenServiceW(m_scm.Get(), u"Doomed", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));

    // The name and the display name are free again.
    ScHandle again(Create(u"Doomed", u"Doomed Display"));
    EXPECT_TRUE(again);
}

TEST_F(ServiceDatabaseTest, DescriptionAndConfigurationChanges)
{
    ScHandle service(Create(u"Changing", nullptr));
    ASSERT_TRUE(service);
    SERVICE_DESCRIPTIONW description = {const_cast<LPWSTR>(u"Scanner hardware service")};
    ASSERT_TRUE(ChangeServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, &description));
    EXPECT_EQ(ReadString(u"Changing", u"Description"), u"Scanner hardware service");
    description.lpDescription = const_cast<LPWSTR>(u"");
    ASSERT_TRUE(ChangeServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, &description));
    EXPECT_EQ(ReadString(u"Changing", u"Description"), u"<no value>");

    ASSERT_TRUE(ChangeServiceConfigW(service.Get(), SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, u"Changed Name"));
    EXPECT_EQ(ReadString(u"Changing", u"DisplayName"), u"Changed Name");
    EXPECT_FALSE(StartServiceW(service.Get(), 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DISABLED));
}

TEST(ServiceCommandLine, SplitsByTheRuntimeRules)
{
    struct Case {
        const char16_t* line;
        std::vector<std::u16string> words;
    };
    const Case cases[] = {
        {u"\"/opt/my dir/prog\" -Service", {u"/opt/my dir/prog", u"-Service"}},
        {u"  /bin/prog\ta  b ", {u"/bin/prog", u"a", u"b"}},
        {u"prog \"a \\\"quoted\\\" word\"", {u"prog", u"a \"quoted\" word"}},
        {u"prog back\\\\slash \\\\\"x y\"", {u"prog", u"back\\\\slash", u"\\x y"}},
        {u"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(plat::services::SplitCommandLine(c.line), c.words) << Utf16ToUtf8(c.line);

    for (const auto& args : {std::vector<std::u16string>{}, std::vector<std::u16string>{u""},
                             std::vector<std::u16string>{u"a;b", u"", u"\u00E4rger", u"x y"}})
        EXPECT_EQ(plat::services::DecodeArguments(plat::services::EncodeArguments(args)), args);
}

} // namespace
