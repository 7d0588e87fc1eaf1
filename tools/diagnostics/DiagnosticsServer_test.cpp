#include "diag/DiagnosticsCalls.h"
#include "diag/LogInterface.h"
#include "platform/com/objbase.h"
#include "platform/eventlog/eventlog.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/Wait.h"
#include "platform/oleauto/ScopedBstr.h"
#include "platform/oleauto/comerror.h"
#include "platform/testing/TempSystemRoot.h"
#include "tools/diagnostics/DiagnosticsLogFile.h"
#include "tools/diagnostics/testing/DiagnosticsStandIn.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr const WCHAR* kApp = u"Quillbox K24 HAL";

class DiagnosticsServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_DiagnosticsConfig, nullptr, CLSCTX_ALL, IID_IDiagnosticsConfig,
                                   object.ReleaseAndGetVoidAddress()),
                  S_OK);
    }
    void TearDown() override
    {
        object.Reset();
        CoUninitialize();
    }

    std::vector<std::u16string> Names(plat::ComPtr<IDiagnosticsNameList> list)
    {
        DiagnosticsNameListCalls names(list.Get());
        std::vector<std::u16string> result;
        for (LONG i = 1; i <= names.Count(); ++i)
            result.push_back(names.Item(i));
        return result;
    }

    plat::testing::TempSystemRoot root;
    diagnostics::testing::DiagnosticsStandIn standIn{QBK_DIAGCONFIG_LIBRARY};
    plat::ComPtr<IDiagnosticsConfig> object;
};

TEST_F(DiagnosticsServerTest, NamesStartDisabledAndKeepTheChoiceMadeForThem)
{
    DiagnosticsConfigCalls calls(object.Get());
    calls.RegisterComponent(kApp, u"USB Device");
    calls.RegisterComponent(kApp, u"USB Device.Data");
    calls.RegisterComponent(u"RNX COM Core", u"XMLStore");
    EXPECT_FALSE(calls.IsComponentEnabled(kApp, u"USB Device"));

    calls.SetComponentEnabled(kApp, u"USB Device", true);
    calls.RegisterComponent(kApp, u"USB Device");
    EXPECT_TRUE(calls.IsComponentEnabled(kApp, u"USB Device"));
    EXPECT_FALSE(calls.IsComponentEnabled(kApp, u"USB Device.Data"));
    EXPECT_FALSE(calls.IsComponentEnabled(u"RNX COM Core", u"USB Device"));
    EXPECT_FALSE(calls.IsComponentEnabled(kApp, u"Never Registered"));

    EXPECT_EQ(Names(calls.GetComponents(kApp)), (std::vector<std::u16string>{u"USB Device", u"USB Device.Data"}));
    EXPECT_EQ(Names(calls.GetApplications()), (std::vector<std::u16string>{u"Quillbox K24 HAL", u"RNX COM Core"}));
    EXPECT_TRUE(Names(calls.GetComponents(u"Nobody")).empty());
}

TEST_F(DiagnosticsServerTest, NameListAnswersOnlyIndexesFromOneToCount)
{
    DiagnosticsConfigCalls calls(object.Get());
    calls.RegisterComponent(kApp, u"Only");
    plat::ComPtr<IDiagnosticsNameList> list = calls.GetComponents(kApp);
    for (LONG index : {0, 2, -1}) {
        BSTR name = reinterpret_cast<BSTR>(1);
        EXPECT_EQ(list->Item(index, &name), E_INVALIDARG) << index;
        EXPECT_EQ(name, nullptr);
    }
    plat::ScopedBstr application;
    ASSERT_EQ(list->GetApplication(application.Out()), S_OK);
    EXPECT_EQ(application.View(), kApp);
}

TEST_F(DiagnosticsServerTest, EachSettingsNameHasItsOwnLevelMask)
{
    DiagnosticsConfigCalls calls(object.Get());
    calls.OpenSettings(u"RNX Diagnostics");
    EXPECT_EQ(calls.GetLogLevelMask(), 0u);
    calls.SetLogLevelMask(LOG_ERROR | LOG_TRACE);
    EXPECT_EQ(calls.GetLogLevelMask(), 5u);
    calls.OpenSettings(u"Other");
    EXPECT_EQ(calls.GetLogLevelMask(), 0u);
    calls.OpenSettings(u"RNX Diagnostics");
    EXPECT_EQ(calls.GetLogLevelMask(), 5u);
}

TEST_F(DiagnosticsServerTest, NamesThatWouldReachOtherKeysAreRefused)
{
    struct Case {
        const WCHAR* application;
        const WCHAR* name;
    } cases[] = {
        {kApp, u""}, {u"", u"USB Device"}, {kApp, u"..\\Settings"}, {u"a\\b", u"USB Device"}, {nullptr, u"x"},
    };
    for (const Case& c : cases) {
        plat::ScopedBstr app(c.application), name(c.name);
        VARIANT_BOOL enabled = VARIANT_TRUE;
        EXPECT_EQ(object->RegisterComponent(app.Get(), name.Get()), E_INVALIDARG);
        EXPECT_EQ(object->SetComponentEnabled(app.Get(), name.Get(), VARIANT_TRUE), E_INVALIDARG);
        EXPECT_EQ(object->IsComponentEnabled(app.Get(), name.Get(), &enabled), E_INVALIDARG);
        EXPECT_EQ(enabled, VARIANT_FALSE);
    }
    plat::ScopedBstr settings(u"a\\b");
    EXPECT_EQ(object->OpenSettings(settings.Get()), E_INVALIDARG);
    EXPECT_EQ(object->OpenSettings(nullptr), E_INVALIDARG);
}

TEST_F(DiagnosticsServerTest, WriteLogAppendsTheRecordToTheApplicationsFile)
{
    DiagnosticsConfigCalls(object.Get())
        .WriteLog(kApp, LOG_WARNING, u"QBK24 Device", u"2026-03-04 05:06:07:089", u"0x00000010", u"0x0000BEEF",
                  u"Read Exit. [FALSE]");
    auto records = diagnostics::ReadLogFile(kApp);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].application, kApp);
    EXPECT_EQ(records[0].level, LOG_WARNING);
    EXPECT_EQ(records[0].logName, u"QBK24 Device");
    EXPECT_EQ(records[0].timestamp, u"2026-03-04 05:06:07:089");
    EXPECT_EQ(records[0].processId, u"0x00000010");
    EXPECT_EQ(records[0].threadId, u"0x0000BEEF");
    EXPECT_EQ(records[0].text, u"Read Exit. [FALSE]");
}

TEST_F(DiagnosticsServerTest, EverySettingChangeIsAnnouncedInTheEventLog)
{
    HANDLE log = OpenEventLogW(nullptr, u"Application");
    ASSERT_NE(log, nullptr);
    HANDLE changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_TRUE(NotifyChangeEventLog(log, changed));

    DiagnosticsConfigCalls calls(object.Get());
    calls.SetComponentEnabled(kApp, u"USB Device", true);
    EXPECT_EQ(WaitForSingleObject(changed, 30000), WAIT_OBJECT_0);
    calls.OpenSettings(u"RNX Diagnostics");
    calls.SetLogLevelMask(7);
    EXPECT_EQ(WaitForSingleObject(changed, 30000), WAIT_OBJECT_0);

    CloseEventLog(log);
    CloseHandle(changed);
}

TEST_F(DiagnosticsServerTest, TheHookCanFailAnOperationWhichThenDoesNothing)
{
    auto failRegister = [](void*, const char* operation) -> HRESULT {
        return std::strcmp(operation, "RegisterComponent") == 0 ? E_ACCESSDENIED : S_OK;
    };
    standIn.SetHook(failRegister, nullptr);
    DiagnosticsConfigCalls calls(object.Get());
    try {
        calls.RegisterComponent(kApp, u"USB Device");
        ADD_FAILURE() << "no error raised";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_ACCESSDENIED);
    }
    EXPECT_TRUE(Names(calls.GetComponents(kApp)).empty());
}

} // namespace
