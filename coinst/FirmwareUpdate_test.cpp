// The firmware step: the version test, and the session with a stand-in
// hardware service (which calls it makes, what it sends, what it logs).
#include "coinst/CoInstallerTesting.h"
#include "coinst/FirmwareUpdate.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace coinst::testing;

TEST(VersionNeedsUpgradeTest, OlderVersionsOfBothFormsNeedTheImage)
{
    const std::pair<const char16_t*, bool> cases[] = {
        {u"T.54", true},  {u"T.5", true},   {u"T.00", true},  {u"T.55", false},  {u"T.99", false},
        {u"T.AB", true},  {u"1.00", true},  {u"1.0", true},   {u"01.0", true},   {u"1.01", false},
        {u"1.1", false},  {u"2.00", false}, {u"0.99", false}, {u"1.", false},    {u".5", false},
        {u"1.0a", false}, {u"", false},     {u"T.-9", true},  {u"1.0.0", false},
    };
    for (const auto& [version, upgrade] : cases)
        EXPECT_EQ(coinst::VersionNeedsUpgrade(version), upgrade) << Utf16ToUtf8(version);
}

// Answers like the hardware service and records the calls.
class FakeHAL : public IRNXHALS {
public:
    HRESULT initializeResult = S_OK;
    LONG initializeStatus = 0;
    LONG lockStatus = 0;
    HRESULT versionResult = S_OK;
    std::string version = "T.54";
    std::vector<std::string> calls;
    size_t downloadedBytes = 0;
    bool downloadMatchesImage = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Initialize(LONG* status) override
    {
        calls.push_back("Initialize");
        *status = initializeStatus;
        return initializeResult;
    }
    HRESULT STDMETHODCALLTYPE Uninitialize() override
    {
        calls.push_back("Uninitialize");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LockScanner(LONG pid, LONG* status) override
    {
        calls.push_back(pid == static_cast<LONG>(GetCurrentProcessId()) ? "LockScanner" : "LockScanner(other)");
        *status = lockStatus;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockScanner(LONG* status) override
    {
        calls.push_back("UnlockScanner");
        *status = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DoSCSICmd(LONG, BYTE*, LONG, BYTE*, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Register(IUnknown*, LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unregister(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Configure(IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Control(LONG, IUnknown*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Produce(IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Configure2(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Produce2(VARIANT*, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Control2(LONG code, BSTR* xml, VARIANT* in, VARIANT* out) override
    {
        calls.push_back("Control2(" + std::to_string(code) + ")");
        if (!xml || !in || !out || in->vt != (VT_ARRAY | VT_UI1) || out->vt != (VT_ARRAY | VT_UI1))
            return E_INVALIDARG;
        if (code == coinst::HCC_GET_FIRMWARE_VERSION) {
            if (versionResult != S_OK)
                return versionResult;
            if (out->parray->rgsabound[0].cElements < 5)
                return E_INVALIDARG;
            void* bytes = nullptr;
            SafeArrayAccessData(out->parray, &bytes);
            std::memset(bytes, 0, 5);
            std::memcpy(bytes, version.data(), std::min<size_t>(version.size(), 5));
            SafeArrayUnaccessData(out->parray);
            return S_OK;
        }
        if (code == coinst::HCC_DOWNLOAD_FIRMWARE) {
            downloadedBytes = in->parray->rgsabound[0].cElements;
            HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(coinst::kFirmwareResourceId), u"BINARY");
            const void* image = LockResource(LoadResource(nullptr, resource));
            void* bytes = nullptr;
            SafeArrayAccessData(in->parray, &bytes);
            downloadMatchesImage = image && downloadedBytes == coinst::kFirmwareImageSize &&
                                   std::memcmp(bytes, image, downloadedBytes) == 0;
            SafeArrayUnaccessData(in->parray);
            return S_OK;
        }
        return E_NOTIMPL;
    }
};

class UpdateFirmwareTest : public ::testing::Test {
protected:
    void SetUp() override { MakeLogFolder(); }

    plat::testing::TempSystemRoot m_root;
    FakeHAL m_hal;
};

TEST_F(UpdateFirmwareTest, AnOlderScannerGetsTheWholeImage)
{
    coinst::UpdateFirmware(&m_hal);
    EXPECT_EQ(m_hal.calls, (std::vector<std::string>{"Initialize", "LockScanner", "Control2(11)", "Control2(12)",
                                                     "UnlockScanner", "Uninitialize"}));
    EXPECT_EQ(m_hal.downloadedBytes, 786432u);
    EXPECT_TRUE(m_hal.downloadMatchesImage);
    EXPECT_EQ(ReadLog(), Lines("Firmware detected T.54\nAttempting upgrade to T.55\nDispatching Firmware to HAL\n"));
}

TEST_F(UpdateFirmwareTest, TheSessionIsReleasedWhateverStepEndsIt)
{
    struct Case {
        const char* name;
        void (*arrange)(FakeHAL&);
        std::vector<std::string> calls;
        const char* log;
    };
    const Case cases[] = {
        {"current firmware",
         [](FakeHAL& h) { h.version = "T.55"; },
         {"Initialize", "LockScanner", "Control2(11)", "UnlockScanner", "Uninitialize"},
         "Firmware detected T.55\n"},
        {"version query fails",
         [](FakeHAL& h) { h.versionResult = E_FAIL; },
         {"Initialize", "LockScanner", "Control2(11)", "UnlockScanner", "Uninitialize"},
         ""},
        {"version query answers S_FALSE",
         [](FakeHAL& h) { h.versionResult = S_FALSE; },
         {"Initialize", "LockScanner", "Control2(11)", "UnlockScanner", "Uninitialize"},
         ""},
        {"locked by another process",
         [](FakeHAL& h) { h.lockStatus = 1; },
         {"Initialize", "LockScanner", "Uninitialize"},
         ""},
        {"scanner off-line", [](FakeHAL& h) { h.initializeStatus = -1; }, {"Initialize", "Uninitialize"}, ""},
        {"no session", [](FakeHAL& h) { h.initializeResult = E_FAIL; }, {"Initialize"}, ""},
    };
    for (const Case& c : cases) {
        FakeHAL hal;
        c.arrange(hal);
        std::filesystem::remove(coinst::CoInstallerLogPath());
        coinst::UpdateFirmware(&hal);
        EXPECT_EQ(hal.calls, c.calls) << c.name;
        EXPECT_EQ(hal.downloadedBytes, 0u) << c.name;
        EXPECT_EQ(ReadLog(), Lines(c.log)) << c.name;
    }
}

TEST_F(UpdateFirmwareTest, WithoutAServiceClassOnlyTheEnterAndExitLinesAreWritten)
{
    const auto record = AddScanner(u"FW1");
    const std::u16string bad[] = {u"", u"{00000000-0000-0000-0000-000000000001}", u"not a class"};
    for (const std::u16string& clsid : bad) {
        std::filesystem::remove(coinst::CoInstallerLogPath());
        if (!clsid.empty())
            SetString(record.driverKey, u"HAL_CLSID", clsid);
        EXPECT_FALSE(coinst::HandleFirmwareUpdate(record.driverKey, record.instanceId));
        EXPECT_EQ(ReadLog(), Lines("HandleFirmwareUpdate Enter\nHandleFirmwareUpdate Exit\n"));
    }
}

} // namespace
