// The data source as an application meets it: a copy of the library under a
// device's file name, its DS_Entry, and a hardware service class of the
// test's own registered in this process.
#include "halservice/interfaces/testing/FakeHal.h"
#include "platform/com/ComTesting.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/twain/twain.h"
#include "platform/windows.h"
#include "twainfw/CapabilitySweep.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qbk24::testing::FakeHal;
using qbk24::testing::FakeHalFactory;

// {7D2A41F0-5C3B-4E19-8A64-2F0B9C6D1E53}
constexpr CLSID kFakeHalClsid = plat::MakeGuid("7D2A41F0-5C3B-4E19-8A64-2F0B9C6D1E53");
constexpr char kFakeHalClsidText[] = "{7D2A41F0-5C3B-4E19-8A64-2F0B9C6D1E53}";

constexpr char kFriendlyName[] = "Quillbox K24 #2";
constexpr char kSymbolicName[] = "\\\\?\\usb#vid_1d4f&pid_0b24#0003#{6bfd1fc6}";

// One library copy per test: each file is its own module with its own data
// source, so no test sees another's.
int NextDeviceNumber()
{
    static int number = 0;
    return ++number;
}

class DSEntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_device = NextDeviceNumber();
        char name[32];
        std::snprintf(name, sizeof(name), "QBK24_%04d.ds", m_device);
        fs::path folder = fs::path(m_root.Path()) / "twain_32" / "RNX";
        fs::create_directories(folder);
        m_copy = (folder / name).string();
        ASSERT_TRUE(CopyFileA(QBK_TWAIN_DS, m_copy.c_str(), FALSE));
        char key[160];
        std::snprintf(key, sizeof(key),
                      "SYSTEM\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\%04d",
                      m_device);
        m_classKey = key;
        m_values = {{"FriendlyName", kFriendlyName},
                    {"HAL_CLSID", kFakeHalClsidText},
                    {"TWAIN_DS_PATH", m_copy},
                    {"SymbolicName", kSymbolicName}};
        m_app.Id = 1;
        std::strcpy(m_app.ProductName, "Test Application");
    }

    void TearDown() override
    {
        if (m_library)
            FreeLibrary(m_library);
        if (m_cookie)
            CoRevokeClassObject(m_cookie);
        EXPECT_EQ(m_hal.References.load(), 0u) << "the data source still holds the service";
    }

    void WriteDeviceValues()
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, Utf8ToUtf16(m_classKey).c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        for (const auto& [name, value] : m_values) {
            const std::u16string text = Utf8ToUtf16(value);
            ASSERT_EQ(RegSetValueExW(key, Utf8ToUtf16(name).c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>((text.size() + 1) * sizeof(char16_t))),
                      ERROR_SUCCESS);
        }
        RegCloseKey(key);
    }

    void RegisterService()
    {
        ASSERT_EQ(CoRegisterClassObject(kFakeHalClsid, &m_factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &m_cookie),
                  S_OK);
    }

    void LoadSource()
    {
        m_library = LoadLibraryA(m_copy.c_str());
        ASSERT_NE(m_library, nullptr);
        m_entry = reinterpret_cast<DSENTRYPROC>(GetProcAddress(m_library, "DS_Entry"));
        ASSERT_NE(m_entry, nullptr);
    }

    // A device set up as installed, with its service class ready.
    void Install()
    {
        WriteDeviceValues();
        RegisterService();
        LoadSource();
    }

    TW_UINT16 Call(TW_IDENTITY& origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
    {
        return m_entry(&origin, dg, dat, msg, data);
    }

    TW_IDENTITY SourceIdentity() { return SourceIdentity(m_app); }
    TW_IDENTITY SourceIdentity(TW_IDENTITY& origin)
    {
        TW_IDENTITY identity{};
        EXPECT_EQ(Call(origin, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
        identity.Id = 2; // the manager's number for the source
        return identity;
    }

    TW_UINT16 OpenAs(TW_IDENTITY& origin)
    {
        TW_IDENTITY identity = SourceIdentity(origin);
        return Call(origin, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity);
    }

    TW_UINT16 CloseAs(TW_IDENTITY& origin)
    {
        TW_IDENTITY identity = SourceIdentity(origin);
        return Call(origin, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity);
    }

    TW_UINT16 ConditionCode(TW_IDENTITY& origin)
    {
        TW_STATUS status{};
        EXPECT_EQ(Call(origin, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
        return status.ConditionCode;
    }

    plat::testing::TempSystemRoot m_root;
    plat::testing::ComScope m_com;
    FakeHal m_hal;
    FakeHalFactory m_factory{m_hal};
    DWORD m_cookie = 0;
    int m_device = 0;
    std::string m_copy;
    std::string m_classKey;
    std::vector<std::pair<std::string, std::string>> m_values;
    HMODULE m_library = nullptr;
    DSENTRYPROC m_entry = nullptr;
    TW_IDENTITY m_app{};
};

TEST_F(DSEntryTest, LoadingTheLibraryRegistersTheRichEditAndLinkControls)
{
    const auto make = [](const char16_t* className) {
        HWND window = CreateWindowExW(0, className, u"", WS_CHILD, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        if (window)
            DestroyWindow(window);
        return window != nullptr;
    };
    EXPECT_FALSE(make(u"RichEdit20W"));
    LoadSource();
    for (const char16_t* className : {u"RichEdit20W", u"RichEdit20A", u"SysLink"})
        EXPECT_TRUE(make(className)) << Utf16ToUtf8(className);
}

TEST_F(DSEntryTest, IdentityNamesTheMakerAndTheDeviceFromItsRegistryValues)
{
    Install();
    TW_IDENTITY identity = SourceIdentity();
    EXPECT_STREQ(identity.Manufacturer, "Quorvant");
    EXPECT_STREQ(identity.ProductFamily, "Quillbox");
    EXPECT_STREQ(identity.ProductName, kFriendlyName);
    TW_VERSION version = identity.Version;
    EXPECT_EQ(version.MajorNum, 5);
    EXPECT_EQ(version.MinorNum, 0);
    EXPECT_EQ(version.Language, 13) << "TWLG_ENGLISH_USA";
    EXPECT_EQ(version.Country, TWCY_USA);
    EXPECT_STREQ(version.Info, "5.0.0.1");
    TW_UINT32 groups = identity.SupportedGroups;
    EXPECT_EQ(groups, 0x40000003u) << "DG_CONTROL | DG_IMAGE | DF_DS2";
}

TEST_F(DSEntryTest, OpenLocksTheScannerForThisProcessAndCloseLetsItGo)
{
    Install();
    // The first triplet need not be an identity one: it makes the source.
    EXPECT_EQ(ConditionCode(m_app), TWCC_SUCCESS);

    ASSERT_EQ(OpenAs(m_app), TWRC_SUCCESS);
    EXPECT_EQ(m_hal.Initialized, 1);
    EXPECT_EQ(m_hal.LockedBy, std::vector<LONG>{static_cast<LONG>(GetCurrentProcessId())});
    // Support information, counters and firmware revision, each into a buffer of its size.
    EXPECT_EQ(m_hal.Controls, (std::vector<LONG>{9, 10, 11}));
    EXPECT_EQ(m_hal.OutputSizes, (std::vector<ULONG>{32, 14, 5}));
    EXPECT_GT(m_hal.References.load(), 0u);

    ASSERT_EQ(CloseAs(m_app), TWRC_SUCCESS);
    EXPECT_EQ(m_hal.Unlocked, 1);
    EXPECT_EQ(m_hal.Uninitialized, 1);
    EXPECT_EQ(m_hal.References.load(), 0u);

    // Closing again is out of sequence and touches nothing.
    EXPECT_EQ(CloseAs(m_app), TWRC_FAILURE);
    EXPECT_EQ(m_hal.Unlocked, 1);
}

TEST_F(DSEntryTest, CloseLetsTheServiceGoEvenWhenUnlockingFails)
{
    Install();
    ASSERT_EQ(OpenAs(m_app), TWRC_SUCCESS);
    m_hal.UnlockResult = E_FAIL;
    EXPECT_EQ(CloseAs(m_app), TWRC_FAILURE);
    EXPECT_EQ(ConditionCode(m_app), TWCC_BUMMER);
    EXPECT_EQ(m_hal.Uninitialized, 1);
    EXPECT_EQ(m_hal.References.load(), 0u);
}

TEST_F(DSEntryTest, EveryApplicationOfTheProcessMeetsTheSameSource)
{
    Install();
    TW_IDENTITY second = m_app;
    second.Id = 7;
    ASSERT_EQ(OpenAs(m_app), TWRC_SUCCESS);
    // The source is taken: another application is refused by the same object.
    TW_IDENTITY identity = SourceIdentity();
    EXPECT_EQ(Call(second, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity), TWRC_FAILURE);
    EXPECT_EQ(m_hal.Initialized, 1);
    ASSERT_EQ(CloseAs(m_app), TWRC_SUCCESS);
    ASSERT_EQ(OpenAs(second), TWRC_SUCCESS);
    EXPECT_EQ(m_hal.Initialized, 2);
    ASSERT_EQ(CloseAs(second), TWRC_SUCCESS);
}

TEST_F(DSEntryTest, TheDevicePathMayDifferInLetterCase)
{
    for (auto& [name, value] : m_values) {
        if (name == "TWAIN_DS_PATH")
            for (char& c : value)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    Install();
    EXPECT_STREQ(SourceIdentity().ProductName, kFriendlyName);
    EXPECT_EQ(OpenAs(m_app), TWRC_SUCCESS);
    EXPECT_EQ(CloseAs(m_app), TWRC_SUCCESS);
}

// Only the copy's own name carries the device number: a plainly named copy
// in a folder named like a device copy takes no device.
TEST_F(DSEntryTest, TheDeviceNumberIsReadFromTheFileNameOnly)
{
    const fs::path folder = fs::path(m_copy).parent_path() / fs::path(m_copy).stem();
    fs::create_directories(folder);
    const std::string plain = (folder / "source.ds").string();
    ASSERT_TRUE(CopyFileA(QBK_TWAIN_DS, plain.c_str(), FALSE));
    m_copy = plain;
    for (auto& [name, value] : m_values)
        if (name == "TWAIN_DS_PATH")
            value = plain;
    Install();
    EXPECT_EQ(OpenAs(m_app), TWRC_FAILURE);
    EXPECT_EQ(ConditionCode(m_app), TWCC_OPERATIONERROR);
}
TEST_F(DSEntryTest, TheFirstTripletSetsUpTheDebugLogOfTheSource)
{
    ASSERT_TRUE(WriteProfileStringA("Quorvant", "DEBUG", "1"));
    // Without device values the source still answers every triplet.
    LoadSource();
    EXPECT_EQ(ConditionCode(m_app), TWCC_SUCCESS);
    char path[512] = {};
    GetProfileStringA("Quorvant", "DSLogFileName", "", path, sizeof(path));
    // The user's own temporary folder, inside the test's root.
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(plat::UserTempFolder()));
    EXPECT_EQ(fs::path(path).filename(), "QBK24.log");
    EXPECT_EQ(OpenAs(m_app), TWRC_FAILURE);
    EXPECT_EQ(ConditionCode(m_app), TWCC_OPERATIONERROR);
    EXPECT_TRUE(fs::exists(path));
}

TEST_F(DSEntryTest, UnloadingTheLibraryEndsAnOpenSource)
{
    Install();
    ASSERT_EQ(OpenAs(m_app), TWRC_SUCCESS);
    ASSERT_GT(m_hal.References.load(), 0u);
    FreeLibrary(m_library);
    m_library = nullptr;
    EXPECT_EQ(m_hal.References.load(), 0u);
}

// Every capability the opened source lists passes the conformance sweep
// through the library's entry, the device's own behind the framework's
// hooks included. (Their shapes are checked in CQBK24CustomCapabilities_test.)
TEST_F(DSEntryTest, EveryListedCapabilityPassesTheConformanceSweep)
{
    Install();
    ASSERT_EQ(OpenAs(m_app), TWRC_SUCCESS);

    Trellis::testing::CapabilitySweep sweep(
        [this](TW_UINT16 msg, TW_CAPABILITY& capability) {
            return Call(m_app, DG_CONTROL, DAT_CAPABILITY, msg, &capability);
        },
        [this] { return ConditionCode(m_app); });
    const std::vector<TW_UINT16> ids = sweep.Listed();
    EXPECT_EQ(ids.size(), 66u);
    // The threshold's default sits one below the value its reset gives, as
    // the device has always reported it.
    using Reset = Trellis::testing::CapabilitySweep::Reset;
    for (TW_UINT16 id : ids)
        sweep.Run(id, id == ICAP_THRESHOLD ? Reset::ToItsOwnValue : Reset::ToDefault);
    ASSERT_EQ(CloseAs(m_app), TWRC_SUCCESS);
}

struct OpenFailure {
    const char* what;
    std::function<void(FakeHal&, std::vector<std::pair<std::string, std::string>>&)> arrange;
    bool registerValues;
    bool registerService;
    TW_UINT16 conditionCode;
    bool serviceCreated;
};

class DSEntryOpenFailureTest : public DSEntryTest, public ::testing::WithParamInterface<int> {};

void NoChange(FakeHal&, std::vector<std::pair<std::string, std::string>>&) {}

void DropValue(std::vector<std::pair<std::string, std::string>>& values, const std::string& name)
{
    std::erase_if(values, [&](const auto& value) { return value.first == name; });
}

void SetValue(std::vector<std::pair<std::string, std::string>>& values, const std::string& name,
              const std::string& text)
{
    for (auto& value : values)
        if (value.first == name)
            value.second = text;
}

const OpenFailure kOpenFailures[] = {
    {"no device values", NoChange, false, true, TWCC_OPERATIONERROR, false},
    {"no HAL_CLSID", [](auto&, auto& v) { DropValue(v, "HAL_CLSID"); }, true, true, TWCC_OPERATIONERROR, false},
    {"HAL_CLSID no class id", [](auto&, auto& v) { SetValue(v, "HAL_CLSID", "not a class"); }, true, true,
     TWCC_OPERATIONERROR, false},
    {"another copy registered", [](auto&, auto& v) { SetValue(v, "TWAIN_DS_PATH", "/elsewhere/QBK24_0001.ds"); }, true,
     true, TWCC_OPERATIONERROR, false},
    {"no SymbolicName", [](auto&, auto& v) { DropValue(v, "SymbolicName"); }, true, true, TWCC_OPERATIONERROR, false},
    {"service class missing", NoChange, true, false, TWCC_OPERATIONERROR, false},
    {"scanner off-line", [](FakeHal& hal, auto&) { hal.InitializeStatus = -1; }, true, true, TWCC_CHECKDEVICEONLINE,
     true},
    {"service start refused", [](FakeHal& hal, auto&) { hal.InitializeStatus = 1; }, true, true, TWCC_OPERATIONERROR,
     true},
    {"scanner held by another process", [](FakeHal& hal, auto&) { hal.LockStatus = 1; }, true, true,
     TWCC_MAXCONNECTIONS, true},
};

TEST_P(DSEntryOpenFailureTest, OpenFailsWithItsConditionCodeAndLeavesNoBinding)
{
    const OpenFailure& failure = kOpenFailures[GetParam()];
    SCOPED_TRACE(failure.what);
    failure.arrange(m_hal, m_values);
    if (failure.registerValues)
        WriteDeviceValues();
    if (failure.registerService)
        RegisterService();
    LoadSource();

    EXPECT_EQ(OpenAs(m_app), TWRC_FAILURE);
    EXPECT_EQ(ConditionCode(m_app), failure.conditionCode);
    EXPECT_EQ(m_hal.References.load(), 0u);
    if (failure.serviceCreated) {
        EXPECT_EQ(m_hal.Unlocked, 1);
        EXPECT_EQ(m_hal.Uninitialized, 1);
        // Once the scanner is free, the same source opens afresh.
        m_hal.InitializeStatus = 0;
        m_hal.LockStatus = 0;
        EXPECT_EQ(OpenAs(m_app), TWRC_SUCCESS);
        EXPECT_EQ(CloseAs(m_app), TWRC_SUCCESS);
    } else {
        EXPECT_EQ(m_hal.Initialized, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, DSEntryOpenFailureTest,
                         ::testing::Range(0, static_cast<int>(std::size(kOpenFailures))));

} // namespace
