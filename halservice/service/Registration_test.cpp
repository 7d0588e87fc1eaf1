// Registration switches against a fresh registry: what each one writes and
// removes.
#include "halservice/service/HALClassIds.h"
#include "halservice/service/RNXHALServiceModule.h"
#include "halservice/service/ServiceTestDoubles.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

std::optional<std::u16string> ReadString(HKEY root, const std::u16string& key, const char16_t* value)
{
    WCHAR buffer[512] = {};
    DWORD size = sizeof buffer - sizeof(WCHAR);
    DWORD type = 0;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return std::nullopt;
    LONG result = RegQueryValueExW(hKey, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(hKey);
    if (result != ERROR_SUCCESS)
        return std::nullopt;
    return std::u16string(buffer);
}

std::optional<std::vector<BYTE>> ReadBinary(HKEY root, const std::u16string& key, const char16_t* value)
{
    std::vector<BYTE> buffer(512);
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD type = 0;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return std::nullopt;
    LONG result = RegQueryValueExW(hKey, value, nullptr, &type, buffer.data(), &size);
    RegCloseKey(hKey);
    if (result != ERROR_SUCCESS || type != REG_BINARY)
        return std::nullopt;
    buffer.resize(size);
    return buffer;
}

bool KeyExists(HKEY root, const std::u16string& key)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::devices::DeviceRecord record;
        plat::devices::DeviceIdentity identity;
        identity.vendorId = 0x04c5;
        identity.productId = 0x1234;
        identity.serial = u"SER1";
        ASSERT_TRUE(plat::devices::AddDevice(identity, &record));
        m_instanceKey = record.driverKey.substr(record.driverKey.size() - 4);
        m_deviceKey = std::u16string(kImageClassKey) + u"\\" + m_instanceKey;
        m_path = u"/opt/qbk24/RNXQBK24x_" + m_instanceKey + u"_3.EXE";
        ASSERT_TRUE(m_module.InitHALIdentity(m_path));
        m_appIdKey = u"AppID\\" + m_module.Identity().APPID;
    }

    HRESULT Switch(const char16_t* line)
    {
        HRESULT hr = E_UNEXPECTED;
        EXPECT_FALSE(m_module.ParseCommandLine((u"\"/opt/qbk24/prog\" " + std::u16string(line)).c_str(), &hr));
        return hr;
    }

    SC_HANDLE OpenService()
    {
        SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE service = OpenServiceW(scm, m_module.ServiceName().c_str(), SERVICE_ALL_ACCESS);
        CloseServiceHandle(scm);
        return service;
    }

    plat::testing::TempSystemRoot m_root;
    FakeScannerSession m_scanner;
    FakeClassProvider m_classes;
    CRNXHALServiceModule m_module{m_scanner, m_classes};
    std::u16string m_instanceKey;
    std::u16string m_deviceKey;
    std::u16string m_path;
    std::u16string m_appIdKey;
};

TEST_F(RegistrationTest, NoSwitchGoesOnToRun)
{
    HRESULT hr = E_UNEXPECTED;
    EXPECT_TRUE(m_module.ParseCommandLine(u"\"/opt/Reg Server/-RegServer\" -Embedding", &hr));
    EXPECT_EQ(hr, S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, m_appIdKey));
}

TEST_F(RegistrationTest, RegServerWritesAppIdClassAndHalClsidAndUnregServerRemovesThem)
{
    const std::u16string name = u"RNXQBK24x_" + m_instanceKey + u"_3";
    ASSERT_EQ(Switch(u"-RegServer"), S_OK);

    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, m_appIdKey, nullptr), name);
    EXPECT_FALSE(ReadString(HKEY_CLASSES_ROOT, m_appIdKey, u"LocalService"));
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, u"AppID\\" + name + u".EXE", u"AppID"), m_module.Identity().APPID);
    const std::u16string classKey = u"CLSID\\" + plat::GuidToWideString(kHALClassIds[3]);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, classKey + u"\\LocalServer32", nullptr), m_path);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, m_deviceKey, u"HAL_CLSID"), u"{4E2A9C13-6B3D-4F58-9A71-0C8D2E5B1F63}");
    EXPECT_EQ(OpenService(), nullptr); // no Windows service for a local server

    ASSERT_EQ(Switch(u"/UnregServer"), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, m_appIdKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"AppID\\" + name + u".EXE"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, classKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"AppID"));
    // Clients of a removed copy still find the value; the device key is the installer's.
    EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, m_deviceKey, u"HAL_CLSID"));
}

TEST_F(RegistrationTest, ServiceInstallsTheServiceAndRegServerTakesItAway)
{
    ASSERT_EQ(Switch(u"-Service"), S_OK);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, m_appIdKey, u"LocalService"), m_module.ServiceName());
    auto launch = ReadBinary(HKEY_CLASSES_ROOT, m_appIdKey, u"LaunchPermission");
    auto access = ReadBinary(HKEY_CLASSES_ROOT, m_appIdKey, u"AccessPermission");
    ASSERT_TRUE(launch && access);
    EXPECT_EQ(*launch, *access);

    SC_HANDLE service = OpenService();
    ASSERT_NE(service, nullptr);
    std::vector<BYTE> buffer(4096);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    ASSERT_TRUE(QueryServiceConfigW(service, config, static_cast<DWORD>(buffer.size()), &needed));
    EXPECT_EQ(config->dwServiceType, SERVICE_WIN32_OWN_PROCESS);
    EXPECT_EQ(config->dwStartType, SERVICE_AUTO_START);
    EXPECT_EQ(config->dwErrorControl, SERVICE_ERROR_NORMAL);
    EXPECT_EQ(std::u16string(config->lpBinaryPathName), u"\"" + m_path + u"\"");
    EXPECT_EQ(std::u16string(config->lpDependencies), u"RPCSS");
    EXPECT_EQ(std::u16string(config->lpDisplayName), m_module.ServiceName());
    CloseServiceHandle(service);

    // A second "Service" removes the service and makes it anew.
    ASSERT_EQ(Switch(u"-service"), S_OK);
    service = OpenService();
    ASSERT_NE(service, nullptr);
    CloseServiceHandle(service);

    ASSERT_EQ(Switch(u"-RegServer"), S_OK);
    EXPECT_EQ(OpenService(), nullptr);
    EXPECT_FALSE(ReadString(HKEY_CLASSES_ROOT, m_appIdKey, u"LocalService"));
    EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, m_appIdKey, u"LaunchPermission")); // kept, as before

    ASSERT_EQ(Switch(u"-Service"), S_OK);
    ASSERT_EQ(Switch(u"-UnregServer"), S_OK);
    EXPECT_EQ(OpenService(), nullptr);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"AppID\\" + m_module.ServiceName() + u".EXE"));
}

TEST_F(RegistrationTest, PerUserSwitchWritesTheClassUnderTheUsersClasses)
{
    ASSERT_EQ(Switch(u"-RegServerPerUser"), S_OK);
    const std::u16string classKey = u"Software\\Classes\\CLSID\\" + plat::GuidToWideString(kHALClassIds[3]);
    const std::u16string userAppId = u"Software\\Classes\\" + m_appIdKey;
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, classKey));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, userAppId));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, u"Software\\Classes\\" + m_appIdKey));
    ASSERT_EQ(Switch(u"-UnregServerPerUser"), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, classKey));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, userAppId));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, m_appIdKey));
}

TEST_F(RegistrationTest, MissingDeviceKeyFailsTheRegistration)
{
    ASSERT_TRUE(m_module.InitHALIdentity(u"/opt/qbk24/RNXQBK24x_9999_3.EXE"));
    EXPECT_EQ(Switch(u"-RegServer"), E_FAIL);
}

TEST_F(RegistrationTest, SymbolicNameIsReadFromTheDeviceKey)
{
    const char16_t path[] = u"\\\\?\\usb#vid_04c5&pid_1234#ser1#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_deviceKey.c_str(), 0, KEY_WRITE, &hKey), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(hKey, u"SymbolicName", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path),
              ERROR_SUCCESS);
    RegCloseKey(hKey);
    EXPECT_EQ(m_module.ReadSymbolicName(), S_OK);
    EXPECT_EQ(m_module.SymbolicName(), path);
}

TEST_F(RegistrationTest, SymbolicNameIsTakenOnlyFromATerminatedStringThatFits)
{
    const std::u16string first = u"\\\\?\\first";
    const std::u16string other = u"\\\\?\\other";
    struct Case {
        const char* what;
        DWORD type;
        std::u16string data; // written with its terminator unless cut
        bool cut;
        bool taken;
    };
    const Case cases[] = {
        {"expandable string", REG_EXPAND_SZ, other, false, true},
        {"empty string", REG_SZ, u"", false, true},
        {"no terminator", REG_SZ, other, true, false},
        {"not a string", REG_BINARY, other, false, false},
        {"longer than 259 characters", REG_SZ, std::u16string(260, u'x'), false, false},
    };
    for (const Case& c : cases) {
        HKEY hKey = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_deviceKey.c_str(), 0, KEY_WRITE, &hKey), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(hKey, u"SymbolicName", 0, REG_SZ, reinterpret_cast<const BYTE*>(first.c_str()),
                                 static_cast<DWORD>((first.size() + 1) * sizeof(WCHAR))),
                  ERROR_SUCCESS);
        RegCloseKey(hKey);
        ASSERT_EQ(m_module.ReadSymbolicName(), S_OK);
        ASSERT_EQ(m_module.SymbolicName(), first);

        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_deviceKey.c_str(), 0, KEY_WRITE, &hKey), ERROR_SUCCESS);
        const DWORD bytes = static_cast<DWORD>((c.data.size() + (c.cut ? 0 : 1)) * sizeof(WCHAR));
        ASSERT_EQ(
            RegSetValueExW(hKey, u"SymbolicName", 0, c.type, reinterpret_cast<const BYTE*>(c.data.c_str()), bytes),
            ERROR_SUCCESS);
        RegCloseKey(hKey);
        EXPECT_EQ(m_module.ReadSymbolicName(), c.taken ? S_OK : E_FAIL) << c.what;
        EXPECT_EQ(m_module.SymbolicName(), c.taken ? c.data : first) << c.what;
    }
}

} // namespace
