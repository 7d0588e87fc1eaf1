#include "stillimage/CRNX_STIWIA_Driver.h"
#include "stillimage/CRNXStiWiaDriverClassFactory.h"

#include "diag/RecordingLogSink.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// The driver attaches to the process's log sink, which reads its settings
// from the system root: every test runs under a fresh one.
plat::testing::TempSystemRoot g_systemRoot;

// An outer object that counts the calls its inner object forwards to it.
class CountingOuter final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID, void** ppv) override
    {
        ++queries;
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    int queries = 0;
    ULONG refs = 1;
};

IStiUSD* CreateStiUSD()
{
    IClassFactory* factory = nullptr;
    EXPECT_EQ(GetStiWiaDriverClassObject(CLSID_RNXStiWiaDriver, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    IStiUSD* usd = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IStiUSD, reinterpret_cast<void**>(&usd)), S_OK);
    factory->Release();
    return usd;
}

TEST(StiDriverLibrary, ExportsServeTheDriverClassOnly)
{
    HMODULE library = LoadLibraryA(QBK_STI_DRIVER);
    ASSERT_NE(library, nullptr);
    auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(GetProcAddress(library, "DllGetClassObject"));
    auto canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(library, "DllCanUnloadNow"));
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnloadNow, nullptr);
    for (const char* name : {"DllRegisterServer", "DllUnregisterServer"}) {
        auto entry = reinterpret_cast<HRESULT (*)()>(GetProcAddress(library, name));
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_EQ(entry(), S_OK) << name;
    }

    const CLSID otherClass = plat::MakeGuid("11111111-2222-3333-4444-555555555555");
    struct Case {
        const CLSID* clsid;
        const IID* iid;
        HRESULT expected;
    } cases[] = {
        {&otherClass, &IID_IStiUSD, CLASS_E_CLASSNOTAVAILABLE}, // the class is checked before the interface
        {&otherClass, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {&CLSID_RNXStiWiaDriver, &IID_IStiUSD, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(getClassObject(*c.clsid, *c.iid, &out), c.expected);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(getClassObject(CLSID_RNXStiWiaDriver, IID_IClassFactory, nullptr), E_INVALIDARG);

    EXPECT_EQ(canUnloadNow(), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject(CLSID_RNXStiWiaDriver, IID_IUnknown, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    IUnknown* driver = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&driver)), S_OK);
    EXPECT_EQ(factory->Release(), 0u); // created with one reference
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    EXPECT_EQ(driver->Release(), 0u);
    EXPECT_EQ(canUnloadNow(), S_OK);
    // The library stays loaded: its log-name cells live as long as the
    // process by design, and would be lost memory once it was unloaded.
}

TEST(StiDriverClassFactory, CreateInstanceRefusesAsTheAggregationRulesSay)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(GetStiWiaDriverClassObject(CLSID_RNXStiWiaDriver, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    CountingOuter outer;
    struct Case {
        IUnknown* outer;
        const IID* iid;
        HRESULT expected;
    } cases[] = {
        {&outer, &IID_IStiUSD, CLASS_E_NOAGGREGATION},
        {&outer, &IID_IWiaMiniDrv, CLASS_E_NOAGGREGATION},
        {nullptr, &IID_IClassFactory, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(c.outer, *c.iid, &out), c.expected);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IStiUSD, nullptr), E_INVALIDARG);
    EXPECT_EQ(outer.refs, 1u);

    void* self = nullptr;
    EXPECT_EQ(factory->QueryInterface(IID_IStiUSD, &self), E_NOINTERFACE);
    EXPECT_EQ(factory->QueryInterface(IID_IClassFactory, nullptr), E_INVALIDARG);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST(StiDriverClassFactory, AggregatedDriverForwardsItsInterfacesToTheOuterObject)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(GetStiWiaDriverClassObject(CLSID_RNXStiWiaDriver, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    CountingOuter outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    factory->Release();
    EXPECT_EQ(outer.refs, 1u); // the inner unknown counts for itself

    IStiUSD* usd = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IStiUSD, reinterpret_cast<void**>(&usd)), S_OK);
    EXPECT_EQ(outer.refs, 2u);
    IWiaMiniDrv* miniDrv = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IWiaMiniDrv, reinterpret_cast<void**>(&miniDrv)), S_OK);
    EXPECT_EQ(outer.refs, 3u);

    void* other = nullptr;
    EXPECT_EQ(usd->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
    EXPECT_EQ(outer.queries, 1);
    EXPECT_EQ(usd->QueryInterface(IID_IClassFactory, nullptr), E_INVALIDARG);
    EXPECT_EQ(outer.queries, 1); // refused without asking the outer object
    EXPECT_EQ(inner->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(inner->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);
    IUnknown* self = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&self)), S_OK);
    EXPECT_EQ(self, inner);
    EXPECT_EQ(outer.refs, 3u); // counted by the inner object itself
    self->Release();

    usd->Release();
    miniDrv->Release();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(inner->Release(), 0u);
}

TEST(StiDriverUsd, ReportingOperationsFillTheirRecords)
{
    IStiUSD* usd = CreateStiUSD();
    ASSERT_NE(usd, nullptr);

    STI_USD_CAPS caps = {};
    EXPECT_EQ(usd->GetCapabilities(&caps), S_OK);
    EXPECT_EQ(caps.dwVersion, 0x01000002u);
    EXPECT_EQ(caps.dwGenericCaps, 0x11u);

    struct StatusCase {
        DWORD mask;
        HRESULT expected;
        DWORD onlineState;
        DWORD eventState;
    } statusCases[] = {
        {0, S_OK, 0xAA, 0xFF},
        {STI_DEVSTATUS_ONLINE_STATE, S_OK, STI_ONLINESTATE_OPERATIONAL, 0xFF},
        {STI_DEVSTATUS_EVENTS_STATE, S_FALSE, 0xAA, 0xFB},
        {STI_DEVSTATUS_ONLINE_STATE | STI_DEVSTATUS_EVENTS_STATE, S_FALSE, STI_ONLINESTATE_OPERATIONAL, 0xFB},
    };
    for (const StatusCase& c : statusCases) {
        STI_DEVICE_STATUS status = {};
        status.StatusMask = c.mask;
        status.dwOnlineState = 0xAA;
        status.dwEventHandlingState = 0xFF;
        EXPECT_EQ(usd->GetStatus(&status), c.expected) << c.mask;
        EXPECT_EQ(status.dwOnlineState, c.onlineState) << c.mask;
        EXPECT_EQ(status.dwEventHandlingState, c.eventState) << c.mask;
    }

    STI_DIAG diag;
    std::memset(&diag, 0x5A, sizeof diag);
    EXPECT_EQ(usd->Diagnostic(&diag), S_OK);
    STI_ERROR_INFO info;
    std::memset(&info, 0x5A, sizeof info);
    EXPECT_EQ(usd->GetLastErrorInfo(&info), S_OK);
    const std::vector<BYTE> zeros(sizeof diag, 0);
    EXPECT_EQ(std::memcmp(&diag, zeros.data(), sizeof diag), 0);
    EXPECT_EQ(std::memcmp(&info, zeros.data(), sizeof info), 0);

    DWORD lastError = 0xFFFFFFFF;
    EXPECT_EQ(usd->GetLastError(&lastError), S_OK);
    EXPECT_EQ(lastError, 0u);

    EXPECT_EQ(usd->GetCapabilities(nullptr), E_INVALIDARG);
    EXPECT_EQ(usd->GetStatus(nullptr), E_INVALIDARG);
    EXPECT_EQ(usd->Diagnostic(nullptr), E_INVALIDARG);
    EXPECT_EQ(usd->GetLastError(nullptr), E_INVALIDARG);
    EXPECT_EQ(usd->GetLastErrorInfo(nullptr), E_INVALIDARG);
    EXPECT_EQ(usd->DeviceReset(), S_OK);
    EXPECT_EQ(usd->Release(), 0u);
}

TEST(StiDriverUsd, DeviceAccessRefusesUntilTheHardwareRuns)
{
    IStiUSD* usd = CreateStiUSD();
    ASSERT_NE(usd, nullptr);
    BYTE buffer[8] = {};
    DWORD count = sizeof buffer;
    STINOTIFY notify = {};
    EXPECT_EQ(usd->RawReadData(buffer, &count, nullptr), E_NOTIMPL);
    EXPECT_EQ(usd->RawWriteData(buffer, count, nullptr), E_NOTIMPL);
    EXPECT_EQ(usd->RawReadCommand(buffer, &count, nullptr), E_NOTIMPL);
    EXPECT_EQ(usd->RawWriteCommand(buffer, count, nullptr), E_NOTIMPL);
    EXPECT_EQ(usd->SetNotificationHandle(nullptr), E_NOTIMPL);
    EXPECT_EQ(usd->GetNotificationData(&notify), E_NOTIMPL);
    EXPECT_EQ(usd->LockDevice(), E_FAIL);
    EXPECT_EQ(usd->UnLockDevice(), E_FAIL);
    usd->Release();
}

TEST(StiDriverTrace, DriverAndItsPropertyModelLogUnderTheDriversName)
{
    IStiUSD* usd = CreateStiUSD();
    ASSERT_NE(usd, nullptr);
    auto* driver = static_cast<CRNX_STIWIA_Driver*>(usd);
    RecordingLogSink sink;
    driver->SetLogInterface(&sink);
    EXPECT_EQ(sink.registered, (std::vector<std::u16string>{u"WIA Driver", u"WIA Driver.Data"}));
    LogMaskCell* mainCell = sink.RegisterLogName(u"WIA Driver");
    mainCell->store(LOG_ERROR | LOG_TRACE);

    EXPECT_EQ(usd->GetCapabilities(nullptr), E_INVALIDARG);
    driver->InitializeCaps(); // property-model code inside the driver
    mainCell->store(0);

    auto logged = [&](const std::u16string& text) {
        for (const LogRecord& record : sink.records)
            if (record.text == text)
                return record.logName == u"WIA Driver";
        return false;
    };
    EXPECT_TRUE(logged(u"Invalid parameters were passed, hr = 0x80070057\n"));
    EXPECT_TRUE(logged(u"InitializeCaps Entered."));
    driver->SetLogInterface(nullptr);
    EXPECT_EQ(driver->GetLogInterface(), nullptr);
    EXPECT_EQ(driver->GetLogName(), u"WIA Driver");
    usd->Release();
}

class StiDriverInitialize : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\Test\\DeviceParameters", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override { RegCloseKey(m_key); }

    void SetValue(DWORD type, const void* data, DWORD bytes)
    {
        ASSERT_EQ(RegSetValueExW(m_key, u"HAL_CLSID", 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
    }

    HKEY m_key = nullptr;
};

TEST_F(StiDriverInitialize, ReadHalClsidAcceptsOnlyTerminatedTexts)
{
    const std::u16string braces = u"{8F2A4C61-3B7D-4E59-A1C8-D64E0B7F2935}";
    const std::u16string tooLong(300, u'A');
    struct Case {
        const char* what;
        DWORD type;
        std::u16string data;
        DWORD bytes; // 0: the whole text with its terminator
        LONG expected;
        size_t length;
    } cases[] = {
        {"text", REG_SZ, braces, 0, ERROR_SUCCESS, braces.size()},
        {"expandable text", REG_EXPAND_SZ, braces, 0, ERROR_SUCCESS, braces.size()},
        {"empty value", REG_SZ, u"", 1, ERROR_SUCCESS, 0},
        {"binary", REG_BINARY, braces, 0, ERROR_INVALID_DATA, 0},
        {"odd byte count", REG_SZ, braces, 5, ERROR_INVALID_DATA, 0},
        {"no terminator", REG_SZ, braces, static_cast<DWORD>(braces.size() * 2), ERROR_INVALID_DATA, 0},
        {"too long", REG_SZ, tooLong, 0, ERROR_MORE_DATA, 0},
    };
    for (const Case& c : cases) {
        DWORD bytes = c.bytes == 0 ? static_cast<DWORD>((c.data.size() + 1) * 2) : c.bytes == 1 ? 0 : c.bytes;
        SetValue(c.type, c.data.c_str(), bytes);
        WCHAR buffer[kHalClsidChars];
        DWORD length = kHalClsidChars;
        EXPECT_EQ(ReadHalClsid(m_key, buffer, &length), c.expected) << c.what;
        if (c.expected == ERROR_SUCCESS) {
            EXPECT_EQ(length, c.length) << c.what;
            EXPECT_EQ(std::u16string(buffer), c.data) << c.what;
        }
    }
}

TEST_F(StiDriverInitialize, RefusesBadArgumentsAndAMissingClass)
{
    IStiUSD* usd = CreateStiUSD();
    ASSERT_NE(usd, nullptr);
    // The driver keeps the control block without calling it.
    auto* control = reinterpret_cast<PSTIDEVICECONTROL>(&m_key);
    EXPECT_EQ(usd->Initialize(nullptr, 2, m_key), E_INVALIDARG);
    EXPECT_EQ(usd->Initialize(control, 2, nullptr), E_INVALIDARG);
    EXPECT_EQ(usd->Initialize(control, 2, m_key), E_INVALIDARG); // no HAL_CLSID
    SetValue(REG_DWORD, "\1\0\0\0", 4);
    EXPECT_EQ(usd->Initialize(control, 2, m_key), E_INVALIDARG);
    usd->Release();
}

} // namespace
