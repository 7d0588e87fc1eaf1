#include "stillimage/CRNX_STIWIA_Driver.h"
#include "stillimage/CRNXStiWiaDriverClassFactory.h"

#include "halservice/MessageWait.h"
#include "platform/com/ComTesting.h"
#include "halservice/interfaces/testing/FakeHal.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using qbk24::testing::FakeHal;
using qbk24::testing::FakeHalFactory;

constexpr CLSID kFakeHalClsid = plat::MakeGuid("5B0E93A7-2C41-4F8D-9E16-A3D07B54C82E");
constexpr char16_t kFakeHalClsidText[] = u"{5B0E93A7-2C41-4F8D-9E16-A3D07B54C82E}";
constexpr HRESULT kLockViolation = static_cast<HRESULT>(0x80070021u);

// The service stand-in is published by the test thread, a single-threaded
// apartment: its calls run there while the driver's waits pump messages.
class StiDriverHardware : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoRegisterClassObject(kFakeHalClsid, &m_factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                        &m_cookie),
                  S_OK);
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\Test\\StiParameters", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
        SetHalClsid(kFakeHalClsidText);
        IClassFactory* factory = nullptr;
        ASSERT_EQ(GetStiWiaDriverClassObject(CLSID_RNXStiWiaDriver, IID_IClassFactory,
                                             reinterpret_cast<void**>(&factory)),
                  S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IStiUSD, reinterpret_cast<void**>(&m_usd)), S_OK);
        factory->Release();
    }

    void TearDown() override
    {
        if (m_usd)
            m_usd->Release();
        RegCloseKey(m_key);
        CoRevokeClassObject(m_cookie);
    }

    void SetHalClsid(const std::u16string& text)
    {
        ASSERT_EQ(RegSetValueExW(m_key, u"HAL_CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(char16_t))),
                  ERROR_SUCCESS);
    }

    HRESULT InitializeDriver()
    {
        // The driver keeps the control block without calling it.
        return m_usd->Initialize(reinterpret_cast<PSTIDEVICECONTROL>(&m_key), 2, m_key);
    }

    // Runs `call` on a thread of its own that has not entered COM; tells
    // whether the thread was out of COM again afterwards.
    template <typename Call>
    bool OnThreadWithoutCom(Call call)
    {
        bool leftCom = false;
        std::thread caller([&] {
            call();
            const HRESULT hr = CoInitialize(nullptr);
            leftCom = hr == S_OK;  // S_FALSE would mean the call left COM entered
            if (SUCCEEDED(hr))
                CoUninitialize();
        });
        // The thread's calls into the service run here.
        HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::thread waiter([&] {
            caller.join();
            SetEvent(done);
        });
        WaitWithMessages(done, INFINITE);
        waiter.join();
        CloseHandle(done);
        return leftCom;
    }

    // The system root is the test program's own (see the driver tests).
    plat::testing::ComScope m_com;
    FakeHal m_hal;
    FakeHalFactory m_factory{m_hal};
    DWORD m_cookie = 0;
    HKEY m_key = nullptr;
    IStiUSD* m_usd = nullptr;
};

TEST_F(StiDriverHardware, LendsTheServiceToOtherThreadsAndStopsWithTheDriver)
{
    ASSERT_EQ(InitializeDriver(), S_OK);
    EXPECT_EQ(m_hal.Initialized, 1);
    EXPECT_EQ(m_hal.Uninitialized, 0);

    // Once running, Initialize does not read the registry again.
    SetHalClsid(u"not a class");
    EXPECT_EQ(InitializeDriver(), S_OK);
    EXPECT_EQ(m_hal.Initialized, 1);

    HRESULT locked = E_UNEXPECTED;
    EXPECT_TRUE(OnThreadWithoutCom([&] { locked = m_usd->LockDevice(); }));
    EXPECT_EQ(locked, S_OK);
    ASSERT_EQ(m_hal.LockedBy.size(), 1u);
    EXPECT_EQ(m_hal.LockedBy[0], static_cast<LONG>(GetCurrentProcessId()));

    m_hal.LockStatus = 1;  // another process holds the scanner
    EXPECT_EQ(m_usd->LockDevice(), kLockViolation);
    EXPECT_EQ(m_usd->UnLockDevice(), S_OK);
    m_hal.UnlockResult = E_UNEXPECTED;
    EXPECT_EQ(m_usd->UnLockDevice(), E_POINTER);
    EXPECT_EQ(m_hal.Unlocked, 2);

    EXPECT_EQ(m_usd->Release(), 0u);
    m_usd = nullptr;
    EXPECT_EQ(m_hal.Uninitialized, 1);
    EXPECT_EQ(m_hal.References.load(), 0u);
}

TEST_F(StiDriverHardware, DocumentStatusIsTheSensorByteOfAPlainSuccess)
{
    auto* driver = static_cast<CRNX_STIWIA_Driver*>(m_usd);
    EXPECT_FALSE(driver->ReadDocumentStatus());  // not running: nothing to ask
    LONG status = 0;
    EXPECT_EQ(driver->DoSCSICmd(0, nullptr, 0, nullptr, 0, &status), E_FAIL);
    ASSERT_EQ(InitializeDriver(), S_OK);

    // The stand-in answers code 4 with 0x40 0x41 when it succeeds.
    struct Case {
        HRESULT answer;
        bool present;
    } cases[] = {{S_OK, true}, {S_FALSE, false}, {E_FAIL, false}};
    for (const Case& c : cases) {
        m_hal.Results[4] = c.answer;
        EXPECT_EQ(driver->ReadDocumentStatus(), c.present) << std::hex << c.answer;
    }
    ASSERT_EQ(m_hal.Controls, (std::vector<LONG>{4, 4, 4}));
    EXPECT_EQ(m_hal.Inputs[0].size(), 2u);
    EXPECT_EQ(m_hal.OutputSizes[0], 2u);

    // The stand-in refuses commands: the wrapper's own failure comes back.
    EXPECT_EQ(driver->DoSCSICmd(0, nullptr, 0, nullptr, 0, &status), E_FAIL);
}

TEST_F(StiDriverHardware, ScannerNotOnLineFailsTheStartForGood)
{
    m_hal.InitializeStatus = -1;
    EXPECT_EQ(InitializeDriver(), E_FAIL);
    // Given up before the driver's Initialize returned.
    EXPECT_EQ(m_hal.Uninitialized, 1);
    EXPECT_EQ(m_hal.References.load(), 0u);
    EXPECT_EQ(m_usd->LockDevice(), E_FAIL);

    // The ended thread's handle is kept: no second start while the driver lives.
    m_hal.InitializeStatus = 0;
    EXPECT_EQ(InitializeDriver(), E_FAIL);
    EXPECT_EQ(m_hal.Initialized, 1);
}

TEST_F(StiDriverHardware, UnknownServiceClassFailsTheStart)
{
    for (const char16_t* text : {u"", u"{00000000-1111-2222-3333-444444444444}"}) {
        SCOPED_TRACE(Utf16ToUtf8(text));
        SetHalClsid(text);
        IClassFactory* factory = nullptr;
        ASSERT_EQ(GetStiWiaDriverClassObject(CLSID_RNXStiWiaDriver, IID_IClassFactory,
                                             reinterpret_cast<void**>(&factory)),
                  S_OK);
        IStiUSD* usd = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IStiUSD, reinterpret_cast<void**>(&usd)), S_OK);
        factory->Release();
        EXPECT_TRUE(FAILED(usd->Initialize(reinterpret_cast<PSTIDEVICECONTROL>(&m_key), 2, m_key)));
        EXPECT_EQ(usd->LockDevice(), E_FAIL);
        EXPECT_EQ(usd->UnLockDevice(), E_FAIL);
        EXPECT_EQ(usd->Release(), 0u);
    }
    EXPECT_EQ(m_hal.Initialized, 0);
}

} // namespace
