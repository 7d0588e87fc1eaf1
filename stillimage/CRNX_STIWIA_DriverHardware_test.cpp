#include "stillimage/CRNX_STIWIA_Driver.h"
#include "stillimage/CRNXStiWiaDriverClassFactory.h"
#include "stillimage/EscapeCodes.h"

#include "halservice/MessageWait.h"
#include "platform/com/ComTesting.h"
#include "halservice/interfaces/testing/FakeHal.h"

#include <gtest/gtest.h>

#include <cstring>
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
        ASSERT_EQ(CoRegisterClassObject(kFakeHalClsid, &m_factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &m_cookie),
                  S_OK);
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\Test\\StiParameters", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
        SetHalClsid(kFakeHalClsidText);
        IClassFactory* factory = nullptr;
        ASSERT_EQ(
            GetStiWiaDriverClassObject(CLSID_RNXStiWiaDriver, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
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
            leftCom = hr == S_OK; // S_FALSE would mean the call left COM entered
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

    m_hal.LockStatus = 1; // another process holds the scanner
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
    EXPECT_FALSE(driver->ReadDocumentStatus()); // not running: nothing to ask
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
        ASSERT_EQ(
            GetStiWiaDriverClassObject(CLSID_RNXStiWiaDriver, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
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

TEST_F(StiDriverHardware, EscapeAnswersFixedValuesWhereTheCallerCanTakeThem)
{
    // The answers need no hardware. Sizes of 0 are what clients that never
    // looked at them pass; a size that is given must hold the answer.
    struct Case {
        DWORD code;
        bool inBuffer;
        DWORD inSize;
        bool outBuffer;
        DWORD outSize;
        HRESULT expected;
        std::vector<BYTE> in, out; // the buffers afterwards (filled with 0xEE before)
    } cases[] = {
        {ESCAPE_NOP, false, 0, false, 7, S_OK, {}, {}},
        {ESCAPE_REPORT_ONE, true, 4, false, 0, S_OK, {1, 0, 0, 0}, {}},
        {ESCAPE_REPORT_ONE_AGAIN, true, 0, false, 0, S_OK, {1, 0, 0, 0}, {}},
        {ESCAPE_REPORT_FLAGS, true, 4, false, 0, S_OK, {1, 0, 0, 1}, {}},
        {ESCAPE_REPORT_FLAGS, true, 3, false, 0, E_INVALIDARG, {0xEE, 0xEE, 0xEE, 0xEE}, {}},
        {ESCAPE_REPORT_ONE, false, 4, false, 0, E_FAIL, {}, {}},
        {ESCAPE_REPORT_TWO, false, 0, true, 1, S_OK, {}, {2, 0xEE}},
        {ESCAPE_REPORT_TWO, true, 4, false, 1, E_FAIL, {0xEE, 0xEE, 0xEE, 0xEE}, {}},
        {6, true, 4, true, 2, E_FAIL, {0xEE, 0xEE, 0xEE, 0xEE}, {0xEE, 0xEE}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << c.code << ", sizes " << std::dec << c.inSize << "/"
                                        << c.outSize);
        std::vector<BYTE> in(4, 0xEE), out(2, 0xEE);
        DWORD actual = 0xFFFF;
        EXPECT_EQ(m_usd->Escape(c.code, c.inBuffer ? in.data() : nullptr, c.inSize, c.outBuffer ? out.data() : nullptr,
                                c.outSize, &actual),
                  c.expected);
        EXPECT_EQ(actual, c.outSize); // what the caller gave, whatever happened
        if (c.inBuffer) {
            EXPECT_EQ(in, c.in);
        }
        if (c.outBuffer) {
            EXPECT_EQ(out, c.out);
        }
    }
    EXPECT_EQ(m_usd->Escape(ESCAPE_NOP, nullptr, 0, nullptr, 0, nullptr), S_OK);
}

TEST_F(StiDriverHardware, EscapeScsiCommandChecksItsBlockAndReportsTheOutcome)
{
    DWORD status = 0xEE;
    BYTE reply[96] = {};
    ESCAPE_SCSI_COMMAND_BLOCK inquiry{};
    inquiry.dwDirection = 1;
    const BYTE cdb[] = {0x12, 0, 0, 0, 96, 0};
    std::memcpy(inquiry.abCommand, cdb, sizeof cdb);
    inquiry.wCommandLength = sizeof cdb;
    inquiry.dwDataLength = sizeof reply;
    inquiry.pData = reply;
    inquiry.pdwStatus = &status;
    auto send = [&](ESCAPE_SCSI_COMMAND_BLOCK block, DWORD size = sizeof(ESCAPE_SCSI_COMMAND_BLOCK)) {
        return m_usd->Escape(ESCAPE_SCSI_COMMAND, &block, size, nullptr, 0, nullptr);
    };

    // Not running: refused without a word to the status.
    EXPECT_EQ(send(inquiry), E_FAIL);
    EXPECT_EQ(status, 0xEEu);
    ASSERT_EQ(InitializeDriver(), S_OK);

    m_hal.CommandResult = S_OK;
    EXPECT_EQ(send(inquiry), S_OK);
    EXPECT_EQ(status, 1u);
    ASSERT_EQ(m_hal.Commands.size(), 1u);
    EXPECT_EQ(m_hal.Commands[0].bytes, std::vector<BYTE>(cdb, cdb + sizeof cdb));
    EXPECT_EQ(m_hal.Commands[0].dataLength, 96);
    EXPECT_EQ(m_hal.Commands[0].direction, 1);

    // No data buffer: one byte of the driver's own goes with the command.
    ESCAPE_SCSI_COMMAND_BLOCK noData = inquiry;
    noData.dwDirection = 0;
    noData.pData = nullptr;
    noData.pdwStatus = nullptr;
    EXPECT_EQ(send(noData), S_OK);
    EXPECT_EQ(m_hal.Commands.back().dataLength, 1);
    EXPECT_EQ(m_hal.Commands.back().direction, 0);

    // The scanner refused the command, then the service failed the call.
    m_hal.CommandStatus = -1;
    EXPECT_EQ(send(inquiry), S_OK);
    EXPECT_EQ(status, 4u);
    m_hal.CommandResult = E_UNEXPECTED;
    status = 0;
    EXPECT_EQ(send(inquiry), E_FAIL);
    EXPECT_EQ(status, 4u);

    // Blocks that do not hold what they claim never reach the service.
    const size_t sent = m_hal.Commands.size();
    ESCAPE_SCSI_COMMAND_BLOCK tooLong = inquiry;
    tooLong.wCommandLength = 11;
    ESCAPE_SCSI_COMMAND_BLOCK hugeData = inquiry;
    hugeData.dwDataLength = 0x80000000u;
    EXPECT_EQ(send(tooLong), E_INVALIDARG);
    EXPECT_EQ(send(hugeData), E_INVALIDARG);
    EXPECT_EQ(send(inquiry, 28), E_INVALIDARG); // a 32-bit client's block
    EXPECT_EQ(send(inquiry, sizeof inquiry + 1), E_INVALIDARG);
    EXPECT_EQ(m_usd->Escape(ESCAPE_SCSI_COMMAND, nullptr, sizeof inquiry, nullptr, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(m_hal.Commands.size(), sent);
}

} // namespace
