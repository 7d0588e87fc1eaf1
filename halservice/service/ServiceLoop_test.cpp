// The main loop on a test clock, the control handler, and device events
// decided by the presence check.
#include "emulator/EmulatedScanner.h"
#include "halservice/service/DevicePresence.h"
#include "halservice/service/HALClassIds.h"
#include "halservice/service/RNXHALServiceModule.h"
#include "halservice/service/ServiceTestDoubles.h"
#include "halservice/testing/EmulatorBackend.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/kernel/TestClock.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/UsbBackend.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

class LoopTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (m_thread) {
            SetEvent(m_scanner.GetStopEvent());
            WaitForSingleObject(m_thread, INFINITE);
            CloseHandle(m_thread);
        }
    }

    void StartLoop()
    {
        m_thread = CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD { return static_cast<DWORD>(static_cast<LoopTest*>(p)->m_module.RunMessageLoop()); },
            this, 0, &m_threadId);
        ASSERT_NE(m_thread, nullptr);
        ASSERT_TRUE(m_clock->WaitForThreadBlocked(m_threadId));
    }

    // The loop ran what the signal asked for and waits again.
    void Signal(HANDLE event)
    {
        SetEvent(event);
        ASSERT_TRUE(m_clock->WaitForThreadBlocked(m_threadId));
    }

    bool LoopEnded() { return WaitForSingleObject(m_thread, INFINITE) == WAIT_OBJECT_0; }

    plat::ScopedTestClock m_clock;
    FakeScannerSession m_scanner;
    FakeClassProvider m_classes;
    CRNXHALServiceModule m_module{m_scanner, m_classes};
    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
};

TEST_F(LoopTest, EventsReachTheSessionInTurnAndTheStopEventEndsTheLoop)
{
    StartLoop();
    EXPECT_EQ(m_scanner.GetLoopThreadId(), m_threadId);
    EXPECT_EQ(m_clock->SleeperCount(), 1u); // the loop's wait has a time-out

    Signal(m_scanner.GetButtonEvent());
    Signal(m_scanner.GetArrivalEvent());
    Signal(m_scanner.GetRemovalEvent());
    EXPECT_EQ(m_scanner.Calls(), (Calls{"DispatchButtonEvents", "OnDeviceChange 1", "OnDeviceChange 0"}));

    // A turn that times out does nothing and waits again for 2000 ms.
    m_clock->Advance(CRNXHALServiceModule::kLoopWaitMs - 1);
    EXPECT_TRUE(m_clock->IsThreadBlocked(m_threadId));
    m_clock->Advance(1);
    ASSERT_TRUE(m_clock->WaitForThreadBlocked(m_threadId));
    EXPECT_EQ(m_scanner.Calls().size(), 3u);

    SetEvent(m_scanner.GetStopEvent());
    ASSERT_TRUE(LoopEnded());
    EXPECT_EQ(m_scanner.Calls().back(), "SendStatusEvent -1");
    EXPECT_EQ(m_scanner.Calls().size(), 4u);
}

TEST_F(LoopTest, StopControlReportsStopPendingAndEndsTheLoop)
{
    StartLoop();
    EXPECT_EQ(m_module.HandlerEx(SERVICE_CONTROL_STOP, 0, nullptr), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(m_module.Status().dwCurrentState, SERVICE_STOP_PENDING);
    ASSERT_TRUE(LoopEnded());
    EXPECT_EQ(m_scanner.Calls(), (Calls{"SendStatusEvent -1"}));
}

TEST_F(LoopTest, ShutdownControlEndsTheLoopWithoutAStateChange)
{
    StartLoop();
    EXPECT_EQ(m_module.HandlerEx(SERVICE_CONTROL_SHUTDOWN, 0, nullptr), static_cast<DWORD>(NO_ERROR));
    ASSERT_TRUE(LoopEnded());
    EXPECT_EQ(m_module.Status().dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(m_scanner.Calls(), (Calls{"SendStatusEvent -1"}));
}

TEST(ServiceHandler, AnswersEachControl)
{
    FakeScannerSession scanner;
    FakeClassProvider classes;
    CRNXHALServiceModule module(scanner, classes);
    const struct {
        DWORD control;
        DWORD result;
    } cases[] = {
        {SERVICE_CONTROL_PAUSE, NO_ERROR},
        {SERVICE_CONTROL_CONTINUE, NO_ERROR},
        {SERVICE_CONTROL_INTERROGATE, NO_ERROR},
        {SERVICE_CONTROL_DEVICEEVENT, NO_ERROR},
        {SERVICE_CONTROL_POWEREVENT, NO_ERROR},
        {SERVICE_CONTROL_SESSIONCHANGE, NO_ERROR},
        {0, ERROR_CALL_NOT_IMPLEMENTED},
        {SERVICE_CONTROL_PARAMCHANGE, ERROR_CALL_NOT_IMPLEMENTED},
        {SERVICE_CONTROL_HARDWAREPROFILECHANGE, ERROR_CALL_NOT_IMPLEMENTED},
        {SERVICE_CONTROL_PRESHUTDOWN, ERROR_CALL_NOT_IMPLEMENTED},
        {200, ERROR_CALL_NOT_IMPLEMENTED},
    };
    for (const auto& c : cases)
        EXPECT_EQ(module.HandlerEx(c.control, 0, nullptr), c.result) << c.control;
    // None of them touched the loop's events or the state.
    EXPECT_FALSE(FakeScannerSession::Signalled(scanner.GetStopEvent()));
    EXPECT_EQ(module.Status().dwCurrentState, SERVICE_STOPPED);
    EXPECT_TRUE(scanner.Calls().empty());
}

// The device-interface record a device event carries.
struct Broadcast {
    DWORD dbcc_size;
    DWORD dbcc_devicetype;
    DWORD dbcc_reserved;
    GUID dbcc_classguid;
    WCHAR dbcc_name[128];
};

class DeviceEventTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::devices::DeviceIdentity identity;
        identity.vendorId = 0x0ABC;
        identity.productId = 0x0DEF;
        identity.serial = u"EVT1";
        plat::devices::DeviceRecord record;
        ASSERT_TRUE(plat::devices::AddDevice(identity, &record));
        m_interfacePath = record.interfacePath;
        m_instanceKey = record.driverKey.substr(record.driverKey.size() - 4);

        const std::u16string deviceKey = std::u16string(kImageClassKey) + u"\\" + m_instanceKey;
        HKEY hKey = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, deviceKey.c_str(), 0, KEY_WRITE, &hKey), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(hKey, u"SymbolicName", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(m_interfacePath.c_str()),
                                 static_cast<DWORD>((m_interfacePath.size() + 1) * sizeof(WCHAR))),
                  ERROR_SUCCESS);
        RegCloseKey(hKey);
        ASSERT_TRUE(m_module.InitHALIdentity(u"/opt/qbk24/RNXQBK24x_" + m_instanceKey + u"_1.EXE"));
        ASSERT_EQ(m_module.SymbolicName(), m_interfacePath);
        ASSERT_EQ(m_scanner.symbolicName, m_interfacePath); // the scanner thread binds only this device
    }

    void TearDown() override { plat::usb::DetachInProcessDevice(m_interfacePath); }

    void PlugIn()
    {
        auto scanner = std::make_shared<emulator::EmulatedScanner>(emulator::ScannerConfig{});
        plat::usb::AttachInProcessDevice(m_interfacePath, std::make_shared<hal::testing::EmulatorBackend>(scanner));
    }

    Broadcast MakeBroadcast(const GUID& classGuid = kImageClassGuid)
    {
        Broadcast b = {};
        b.dbcc_size = static_cast<DWORD>(offsetof(Broadcast, dbcc_name) + sizeof(WCHAR));
        b.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        b.dbcc_classguid = classGuid;
        return b;
    }

    // Which of arrival and removal the event signalled.
    std::string Outcome(DWORD eventType, void* data)
    {
        m_module.HandlerEx(SERVICE_CONTROL_DEVICEEVENT, eventType, data);
        std::string outcome;
        if (FakeScannerSession::Signalled(m_scanner.GetArrivalEvent()))
            outcome += "arrival";
        if (FakeScannerSession::Signalled(m_scanner.GetRemovalEvent()))
            outcome += "removal";
        return outcome.empty() ? "none" : outcome;
    }

    plat::testing::TempSystemRoot m_root;
    FakeScannerSession m_scanner;
    FakeClassProvider m_classes;
    CRNXHALServiceModule m_module{m_scanner, m_classes};
    std::u16string m_interfacePath;
    std::u16string m_instanceKey;
};

TEST_F(DeviceEventTest, PresenceCheckDecidesArrivalAndRemoval)
{
    Broadcast b = MakeBroadcast();
    EXPECT_FALSE(CheckDevicePresence(m_interfacePath, m_instanceKey));
    EXPECT_EQ(Outcome(DBT_DEVICEARRIVAL, &b), "none"); // recorded but absent, off-line

    PlugIn();
    EXPECT_TRUE(CheckDevicePresence(m_interfacePath, m_instanceKey));
    EXPECT_FALSE(CheckDevicePresence(m_interfacePath, u"9999"));
    EXPECT_EQ(Outcome(DBT_DEVICEARRIVAL, &b), "arrival");
    // The device the notice names does not matter: any image-class event checks.
    EXPECT_EQ(Outcome(DBT_DEVICEQUERYREMOVEFAILED, &b), "arrival");
    EXPECT_EQ(Outcome(DBT_DEVICEREMOVECOMPLETE, &b), "arrival");

    m_scanner.online = true;
    EXPECT_EQ(Outcome(DBT_DEVICEARRIVAL, &b), "none"); // present and on-line already

    plat::usb::DetachInProcessDevice(m_interfacePath);
    EXPECT_EQ(Outcome(DBT_DEVICEREMOVECOMPLETE, &b), "removal");
    m_scanner.online = false;
    EXPECT_EQ(Outcome(DBT_DEVICEREMOVECOMPLETE, &b), "none"); // removal while off-line
}

TEST_F(DeviceEventTest, OtherEventsAndRecordsChangeNothing)
{
    PlugIn();
    Broadcast good = MakeBroadcast();
    Broadcast otherClass = MakeBroadcast(plat::MakeGuid("{A5DCBF10-6530-11D2-901F-00C04FB951ED}"));
    Broadcast otherType = MakeBroadcast();
    otherType.dbcc_devicetype = 3;
    Broadcast cut = MakeBroadcast();
    cut.dbcc_size = sizeof(DEV_BROADCAST_HDR); // too short to hold a class

    EXPECT_EQ(Outcome(DBT_DEVICEQUERYREMOVE, &good), "none");
    EXPECT_EQ(Outcome(DBT_DEVICEREMOVEPENDING, &good), "none");
    EXPECT_EQ(Outcome(DBT_DEVICEARRIVAL, &otherClass), "none");
    EXPECT_EQ(Outcome(DBT_DEVICEARRIVAL, &otherType), "none");
    EXPECT_EQ(Outcome(DBT_DEVICEARRIVAL, &cut), "none");
    EXPECT_EQ(Outcome(DBT_DEVICEARRIVAL, nullptr), "none");
    EXPECT_EQ(Outcome(DBT_DEVICEARRIVAL, &good), "arrival");
}

} // namespace
