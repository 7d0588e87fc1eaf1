// The entry: which steps each device-installation function runs, and the
// log lines it writes around them.
#include "coinst/CoInstaller.h"
#include "coinst/CoInstallerTesting.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

namespace {

using namespace coinst::testing;

class CoInstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_record = AddScanner(u"ENTRY1");
        m_set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_IMAGE, nullptr);
        ASSERT_NE(m_set, INVALID_HANDLE_VALUE);
        m_data.cbSize = sizeof m_data;
        ASSERT_TRUE(SetupDiOpenDeviceInfoW(m_set, m_record.instanceId.c_str(), nullptr, 0, &m_data));
    }

    void TearDown() override
    {
        SetupDiDestroyDeviceInfoList(m_set);
        plat::SetReportedWindowsVersion(VER_PLATFORM_WIN32_NT, 6);
    }

    DWORD FinishInstallFlags()
    {
        SP_DEVINSTALL_PARAMS_W params = {};
        params.cbSize = sizeof params;
        EXPECT_TRUE(SetupDiGetDeviceInstallParamsW(m_set, &m_data, &params));
        return params.FlagsEx & DI_FLAGSEX_FINISHINSTALL_ACTION;
    }

    plat::testing::TempSystemRoot m_root;
    plat::devices::DeviceRecord m_record;
    HDEVINFO m_set = nullptr;
    SP_DEVINFO_DATA m_data = {};
};

// The device carries none of the installation values, so installation and
// removal stop quietly at their first read and only the entry's lines show.
TEST_F(CoInstallerTest, EachFunctionWritesItsLines)
{
    struct Case {
        DI_FUNCTION function;
        DWORD majorVersion;
        const char* log;
        DWORD finishInstallFlag;
    };
    const Case cases[] = {
        {DIF_INSTALLDEVICE, 6, "InstallFunction: 00000002\nInstallFunction exit\n", 0},
        {DIF_REMOVE, 6, "InstallFunction: 00000005\nDIF_REMOVE\nDIF_REMOVE exit\nInstallFunction exit\n", 0},
        {DIF_NEWDEVICEWIZARD_FINISHINSTALL, 6,
         "InstallFunction: 0000001E\nDIF_NEWDEVICEWIZARD_FINISHINSTALL\n"
         "DIF_NEWDEVICEWIZARD_FINISHINSTALL exit\nInstallFunction exit\n",
         DI_FLAGSEX_FINISHINSTALL_ACTION},
        // An older system runs the firmware step at once, in the same call.
        {DIF_NEWDEVICEWIZARD_FINISHINSTALL, 5,
         "InstallFunction: 0000001E\nDIF_NEWDEVICEWIZARD_FINISHINSTALL\n"
         "DIF_NEWDEVICEWIZARD_FINISHINSTALL exit\nDIF_FINISHINSTALL_ACTION\n"
         "HandleFirmwareUpdate Enter\nHandleFirmwareUpdate Exit\nDIF_FINISHINSTALL_ACTION exit\n"
         "InstallFunction exit\n",
         0},
        {DIF_FINISHINSTALL_ACTION, 6,
         "InstallFunction: 0000002A\nDIF_FINISHINSTALL_ACTION\nHandleFirmwareUpdate Enter\n"
         "HandleFirmwareUpdate Exit\nDIF_FINISHINSTALL_ACTION exit\nInstallFunction exit\n",
         0},
        {DIF_SELECTDEVICE, 6, "InstallFunction: 00000001\nInstallFunction exit\n", 0},
    };
    MakeLogFolder();
    for (const Case& c : cases) {
        std::filesystem::remove(coinst::CoInstallerLogPath());
        SetupDiDestroyDeviceInfoList(m_set);
        m_set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_IMAGE, nullptr);
        ASSERT_TRUE(SetupDiOpenDeviceInfoW(m_set, m_record.instanceId.c_str(), nullptr, 0, &m_data));
        plat::SetReportedWindowsVersion(VER_PLATFORM_WIN32_NT, c.majorVersion);

        EXPECT_EQ(coinst::CoInstallerEntry(c.function, m_set, &m_data, nullptr), DWORD(NO_ERROR));
        EXPECT_EQ(ReadLog(), Lines(c.log)) << c.function << " on " << c.majorVersion;
        EXPECT_EQ(FinishInstallFlags(), c.finishInstallFlag) << c.function << " on " << c.majorVersion;
    }
}

TEST_F(CoInstallerTest, WithoutTheDeviceTheStepIsSkippedButItsLinesStay)
{
    MakeLogFolder();
    EXPECT_EQ(coinst::CoInstallerEntry(DIF_REMOVE, m_set, nullptr, nullptr), DWORD(NO_ERROR));
    EXPECT_EQ(ReadLog(), Lines("InstallFunction: 00000005\nDIF_REMOVE\nDIF_REMOVE exit\nInstallFunction exit\n"));
}

TEST_F(CoInstallerTest, WithoutTheLogFolderNothingIsWrittenAndTheEntrySucceeds)
{
    ASSERT_FALSE(std::filesystem::exists(std::filesystem::path(coinst::CoInstallerLogPath()).parent_path()));
    for (DI_FUNCTION function : {DIF_INSTALLDEVICE, DIF_REMOVE, DIF_NEWDEVICEWIZARD_FINISHINSTALL})
        EXPECT_EQ(coinst::CoInstallerEntry(function, m_set, &m_data, nullptr), DWORD(NO_ERROR));
    EXPECT_FALSE(std::filesystem::exists(coinst::CoInstallerLogPath()));
    // The finish-install request was still made.
    EXPECT_EQ(FinishInstallFlags(), DI_FLAGSEX_FINISHINSTALL_ACTION);
}

TEST_F(CoInstallerTest, LogLinesAreFormattedWideAndEndInCarriageReturnLineFeed)
{
    MakeLogFolder();
    coinst::CoInstallerLog(u"%s and %S: %08X\n", u"wide", "narrow", 0x2Au);
    coinst::CoInstallerLog(u"no line feed");
    EXPECT_EQ(ReadLog(), "wide and narrow: 0000002A\r\nno line feed");
}

// The deliverable itself: its export answers like the entry, and DllMain
// gave it the module handle through which the firmware image is found.
TEST_F(CoInstallerTest, TheLibraryExportsTheEntryAndCarriesTheFirmwareImage)
{
    MakeLogFolder();
    HMODULE library = LoadLibraryA(QBK_COINSTALLER);
    ASSERT_NE(library, nullptr);
    using Entry = DWORD (*)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA, PCOINSTALLER_CONTEXT_DATA);
    auto entry = reinterpret_cast<Entry>(GetProcAddress(library, "fnCoInstaller"));
    ASSERT_NE(entry, nullptr);
    COINSTALLER_CONTEXT_DATA context = {};
    EXPECT_EQ(entry(DIF_SELECTDEVICE, m_set, &m_data, &context), DWORD(NO_ERROR));
    EXPECT_EQ(ReadLog(), Lines("InstallFunction: 00000001\nInstallFunction exit\n"));

    HRSRC resource = FindResourceW(library, MAKEINTRESOURCEW(101), u"BINARY");
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(SizeofResource(library, resource), 786432u);
    FreeLibrary(library);
}

} // namespace
