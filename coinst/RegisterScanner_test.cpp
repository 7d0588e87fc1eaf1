// Installation and removal of scanner instances against a fresh system
// root: the per-device copies, the device's values, the service copy's own
// registration and the shared libraries' registration.
#include "coinst/CoInstallerTesting.h"
#include "coinst/ProcessHelpers.h"
#include "coinst/RegisterScanner.h"
#include "coinst/UnregisterScanner.h"
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "platform/services/ServiceControl.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using namespace coinst::testing;
namespace fs = std::filesystem;

class RegisterScannerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MakeLogFolder();
        m_system = m_root.Path() + "/system";
        m_serviceFolder = m_system + "/RNX/";
        m_dsFolder = m_root.Path() + "/windows/twain_32/RNX/";
        fs::create_directories(m_serviceFolder);
        fs::create_directories(m_dsFolder);
        std::ofstream(m_dsFolder + "RNXQBK24DS.BIN") << "data source image";
        ASSERT_TRUE(CopyFileA(QBK_RNXHALPS, (m_serviceFolder + "RNXHALPSx.dll").c_str(), FALSE));
    }

    void TearDown() override
    {
        // A service copy registered by a test goes with it.
        for (const auto& entry : fs::directory_iterator(m_serviceFolder)) {
            const std::string name = entry.path().filename().string();
            if (name.size() > 4 && name.substr(name.size() - 4) == ".EXE")
                coinst::RegisterHAL(Utf8ToUtf16(entry.path().string()), false);
        }
    }

    // The hardware-service image: the real program, or a stand-in that only ends.
    void InstallServiceImage(bool realProgram)
    {
        const std::string image = m_serviceFolder + "RNXQBK24Tx.BIN";
        if (realProgram) {
            // With the platform library it loads from the system folder,
            // where devinstall stages it.
            ASSERT_TRUE(CopyFileA(QBK_HAL_PROGRAM, image.c_str(), FALSE));
            ASSERT_TRUE(CopyFileA(QBK_PLATFORM_LIBRARY, (m_system + "/libplatform.so").c_str(), FALSE));
        } else {
            std::ofstream(image) << "#!/bin/sh\nexit 0\n";
            fs::permissions(image, fs::perms::owner_all);
        }
    }

    plat::devices::DeviceRecord AddConfiguredScanner(const std::u16string& serial)
    {
        plat::devices::DeviceRecord record = AddScanner(serial);
        SetString(record.driverKey, u"TWAIN_DS_FileName_BIN", u"RNXQBK24DS");
        SetString(record.driverKey, u"HAL_FileName_BIN", u"RNXQBK24T");
        SetString(record.driverKey, u"PS_NAME", u"RNXHALPS");
        return record;
    }

    static std::string InstanceKey(const plat::devices::DeviceRecord& record)
    {
        return Utf16ToUtf8(record.driverKey.substr(record.driverKey.rfind(u'\\') + 1));
    }

    std::string HalCopy(const plat::devices::DeviceRecord& record, int slot) const
    {
        return m_serviceFolder + "RNXQBK24T_" + InstanceKey(record) + "_" + std::to_string(slot) + ".EXE";
    }

    std::string DsCopy(const plat::devices::DeviceRecord& record) const
    {
        return m_dsFolder + "RNXQBK24DS_" + InstanceKey(record) + ".ds";
    }

    static bool ProxyStubRegistered()
    {
        HKEY key = nullptr;
        const std::u16string path = u"Interface\\" + plat::GuidToWideString(IID_IRNXHALS);
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    static bool ServiceExists(const std::string& name)
    {
        SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE service = OpenServiceW(scm, Utf8ToUtf16(name).c_str(), SERVICE_QUERY_STATUS);
        if (service)
            CloseServiceHandle(service);
        CloseServiceHandle(scm);
        return service != nullptr;
    }

    plat::testing::TempSystemRoot m_root;
    std::string m_system;
    std::string m_serviceFolder;
    std::string m_dsFolder;
};

TEST_F(RegisterScannerTest, InstallationSetsUpTheInstanceAndRemovalUndoesIt)
{
    InstallServiceImage(true);
    const auto record = AddConfiguredScanner(u"FULL1");
    const std::string halCopy = HalCopy(record, 0);
    const std::string serviceName = fs::path(halCopy).stem().string();

    ASSERT_TRUE(coinst::RegisterScanner(record.driverKey, record.instanceId));
    EXPECT_TRUE(fs::is_regular_file(halCopy));
    EXPECT_TRUE(fs::is_regular_file(DsCopy(record)));
    EXPECT_EQ(GetString(record.driverKey, u"SymbolicName"), record.interfacePath);
    EXPECT_EQ(GetString(record.driverKey, u"HAL_PATH"), Utf8ToUtf16(halCopy));
    EXPECT_EQ(GetString(record.driverKey, u"TWAIN_DS_PATH"), Utf8ToUtf16(DsCopy(record)));
    // The copy registered itself when run with " -Service".
    const auto clsid = GetString(record.driverKey, u"HAL_CLSID");
    ASSERT_TRUE(clsid);
    EXPECT_EQ(clsid->size(), 38u);
    EXPECT_TRUE(ServiceExists(serviceName));
    EXPECT_TRUE(ProxyStubRegistered());
    const std::string log = ReadLog();
    EXPECT_NE(log.find(Lines("\nRegsvr32 strPath64\n") + m_system + "/regsvr32 /s \"" + m_serviceFolder +
                       "RNXHALPSx.dll\"" + Lines("RegisterPS END\n")),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(Lines("RegisterMSXML6 END\n")), std::string::npos) << log;

    // Installed again unchanged: the already-configured line and nothing else.
    fs::remove(coinst::CoInstallerLogPath());
    ASSERT_TRUE(coinst::RegisterScanner(record.driverKey, record.instanceId));
    EXPECT_EQ(ReadLog(), Lines(halCopy + " is already configured for " + Utf16ToUtf8(record.interfacePath) +
                               ". RegisterScanner exiting.\n"));

    fs::remove(coinst::CoInstallerLogPath());
    ASSERT_TRUE(coinst::UnregisterScanner(record.driverKey, record.instanceId));
    EXPECT_FALSE(fs::exists(halCopy));
    EXPECT_FALSE(fs::exists(DsCopy(record)));
    EXPECT_FALSE(ServiceExists(serviceName));
    EXPECT_FALSE(ProxyStubRegistered());
    // The unregistering command has no blank between "/u" and the quote.
    EXPECT_NE(ReadLog().find(m_system + "/regsvr32 /s /u\"" + m_serviceFolder + "RNXHALPSx.dll\""), std::string::npos);
    // The device's values stay; the next installation sets it up again.
    EXPECT_EQ(GetString(record.driverKey, u"HAL_PATH"), Utf8ToUtf16(halCopy));
    ASSERT_TRUE(coinst::RegisterScanner(record.driverKey, record.instanceId));
    EXPECT_TRUE(fs::is_regular_file(halCopy));
}

TEST_F(RegisterScannerTest, TheLowestSlotNoCopyUsesIsTaken)
{
    InstallServiceImage(false);
    for (const char* name : {"RNXQBK24T_0901_0.EXE", "rnxqbk24t_0902_1.exe", "RNXQBK24T_09003_2.EXE",
                             "RNXQBK24_0904_3.EXE", "RNXQBK24T_0905_4.DLL"})
        std::ofstream(m_serviceFolder + name) << "x";
    const auto record = AddConfiguredScanner(u"SLOT1");

    ASSERT_TRUE(coinst::RegisterScanner(record.driverKey, record.instanceId));
    EXPECT_EQ(GetString(record.driverKey, u"HAL_PATH"), Utf8ToUtf16(HalCopy(record, 2)));

    // A copy gone frees its slot; SymbolicName still matches, so only a new copy is made.
    fs::remove(HalCopy(record, 2));
    fs::remove(m_serviceFolder + "RNXQBK24T_0901_0.EXE");
    ASSERT_TRUE(coinst::RegisterScanner(record.driverKey, record.instanceId));
    EXPECT_EQ(GetString(record.driverKey, u"HAL_PATH"), Utf8ToUtf16(HalCopy(record, 0)));
}

TEST_F(RegisterScannerTest, WithAllTenSlotsUsedOnlyTheDataSourceCopyIsMade)
{
    InstallServiceImage(false);
    for (int slot = 0; slot <= 9; ++slot)
        std::ofstream(m_serviceFolder + "RNXQBK24T_08" + std::to_string(slot) + "0_" + std::to_string(slot) + ".EXE")
            << "x";
    const auto record = AddConfiguredScanner(u"FULLSLOTS");

    EXPECT_FALSE(coinst::RegisterScanner(record.driverKey, record.instanceId));
    EXPECT_TRUE(fs::is_regular_file(DsCopy(record)));
    EXPECT_EQ(GetString(record.driverKey, u"TWAIN_DS_PATH"), Utf8ToUtf16(DsCopy(record)));
    EXPECT_FALSE(GetString(record.driverKey, u"HAL_PATH"));
}

TEST_F(RegisterScannerTest, AMissingOrEmptyInstallationValueStopsBeforeAnyCopy)
{
    InstallServiceImage(false);
    struct Case {
        const char16_t* value;
        bool remove; // else written empty
    };
    const Case cases[] = {
        {u"PS_NAME", false},
        {u"PS_NAME", true},
        {u"HAL_FileName_BIN", false},
        {u"TWAIN_DS_FileName_BIN", true},
    };
    int serial = 0;
    for (const Case& c : cases) {
        const auto record = AddConfiguredScanner(u"BAD" + Utf8ToUtf16(std::to_string(serial++)));
        if (c.remove) {
            coinst::ScopedKey key(coinst::OpenDeviceClassKey(record.driverKey, KEY_READ | KEY_WRITE));
            ASSERT_EQ(RegDeleteValueW(key.get(), c.value), ERROR_SUCCESS);
        } else {
            SetString(record.driverKey, c.value, u"");
        }
        EXPECT_FALSE(coinst::RegisterScanner(record.driverKey, record.instanceId));
        EXPECT_FALSE(fs::exists(DsCopy(record)));
        EXPECT_FALSE(GetString(record.driverKey, u"TWAIN_DS_PATH"));
        EXPECT_FALSE(GetString(record.driverKey, u"HAL_PATH"));
        // The device path is recorded before the values are read.
        EXPECT_EQ(GetString(record.driverKey, u"SymbolicName"), record.interfacePath);
    }
    EXPECT_FALSE(fs::exists(HalCopy(AddScanner(u"BAD0"), 0)));
    EXPECT_FALSE(coinst::RegisterScanner(u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\9999", u"USB\\X\\Y"));
}

TEST_F(RegisterScannerTest, SharedServersStayRegisteredUntilTheLastInstanceIsRemoved)
{
    InstallServiceImage(false);
    const auto first = AddConfiguredScanner(u"TWO1");
    const auto second = AddConfiguredScanner(u"TWO2");
    ASSERT_TRUE(coinst::RegisterScanner(first.driverKey, first.instanceId));
    ASSERT_TRUE(coinst::RegisterScanner(second.driverKey, second.instanceId));
    EXPECT_EQ(GetString(second.driverKey, u"HAL_PATH"), Utf8ToUtf16(HalCopy(second, 1)));
    ASSERT_TRUE(ProxyStubRegistered());

    ASSERT_TRUE(coinst::UnregisterScanner(first.driverKey, first.instanceId));
    EXPECT_FALSE(fs::exists(HalCopy(first, 0)));
    EXPECT_TRUE(fs::exists(HalCopy(second, 1)));
    EXPECT_TRUE(ProxyStubRegistered());

    ASSERT_TRUE(coinst::UnregisterScanner(second.driverKey, second.instanceId));
    EXPECT_FALSE(fs::exists(HalCopy(second, 1)));
    EXPECT_FALSE(ProxyStubRegistered());
}

// Only what the removal stopped is started again: here the image-acquisition
// service runs and the monitor service is installed but stopped.
TEST_F(RegisterScannerTest, RemovalRestartsOnlyTheServicesItStopped)
{
    const std::string record = m_root.Path() + "/wia.txt";
    const std::u16string command = Utf8ToUtf16("\"" + std::string(QBK_TEST_SERVICE) + "\" --record \"" + record + "\"");
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(scm, nullptr);
    SC_HANDLE services[2] = {};
    const std::pair<const char16_t*, const char16_t*> names[] = {{u"stisvc", coinst::kImageAcquisitionServiceName},
                                                                 {u"QbkMonitor", coinst::kMonitorServiceName}};
    for (int i = 0; i < 2; ++i) {
        services[i] = CreateServiceW(scm, names[i].first, names[i].second, SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                     command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(services[i], nullptr);
    }
    CloseServiceHandle(scm);
    ASSERT_TRUE(StartServiceW(services[0], 0, nullptr));

    InstallServiceImage(false);
    const auto device = AddConfiguredScanner(u"SVC1");
    ASSERT_TRUE(coinst::RegisterScanner(device.driverKey, device.instanceId));
    ASSERT_TRUE(coinst::UnregisterScanner(device.driverKey, device.instanceId));

    SERVICE_STATUS status = {};
    ASSERT_TRUE(QueryServiceStatus(services[0], &status));
    EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_RUNNING));
    ASSERT_TRUE(QueryServiceStatus(services[1], &status));
    EXPECT_EQ(status.dwCurrentState, DWORD(SERVICE_STOPPED));
    std::ifstream file(record);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // Stopped once and started again; the monitor service never ran.
    auto count = [&text](const std::string& line) {
        size_t n = 0;
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("main stisvc\n"), 2u) << text;
    EXPECT_EQ(count("control stop\n"), 1u) << text;
    EXPECT_EQ(count("QbkMonitor"), 0u) << text;

    for (SC_HANDLE service : services) {
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    plat::WaitForServiceState(u"stisvc", SERVICE_STOPPED, 30000);
}

TEST_F(RegisterScannerTest, RemovalWithoutItsValuesTouchesNothing)
{
    InstallServiceImage(false);
    const auto record = AddConfiguredScanner(u"NOPS");
    ASSERT_TRUE(coinst::RegisterScanner(record.driverKey, record.instanceId));
    for (const char16_t* value : {u"PS_NAME", u"HAL_PATH"}) {
        coinst::ScopedKey key(coinst::OpenDeviceClassKey(record.driverKey, KEY_READ | KEY_WRITE));
        const auto saved = coinst::ReadDeviceString(key.get(), value);
        ASSERT_EQ(RegDeleteValueW(key.get(), value), ERROR_SUCCESS);
        fs::remove(coinst::CoInstallerLogPath());

        EXPECT_FALSE(coinst::UnregisterScanner(record.driverKey, record.instanceId));
        EXPECT_TRUE(fs::exists(HalCopy(record, 0)));
        EXPECT_TRUE(fs::exists(DsCopy(record)));
        EXPECT_EQ(ReadLog(), ""); // no registration run
        ASSERT_TRUE(coinst::WriteDeviceString(key.get(), value, *saved));
    }
}

} // namespace
