// A local server (no LocalService value) ends 5000 ms after its last
// object went, each new release restarting the wait; a service never does.
#include "halservice/service/RNXHALServiceModule.h"
#include "halservice/service/ServiceTestDoubles.h"
#include "platform/kernel/TestClock.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

class LocalServerTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (m_worker) {
            if (m_module.load())
                SetEvent(m_scanner.GetStopEvent());
            WaitForSingleObject(m_worker, INFINITE);
            CloseHandle(m_worker);
        }
    }

    // The module lives on the worker, which runs it as the process's first
    // thread would: COM, one object alive, then Run.
    void StartServer()
    {
        m_classes.offerClassObject = true;
        m_worker = CreateThread(
            nullptr, 0,
            [](LPVOID p) -> DWORD {
                auto* self = static_cast<LocalServerTest*>(p);
                CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
                HRESULT hr;
                {
                    CRNXHALServiceModule module(self->m_scanner, self->m_classes);
                    module.InitHALIdentity(u"/opt/qbk24/RNXQBK24x_0001_6.EXE");
                    module.Lock();
                    self->m_module = &module;
                    hr = module.Run(0);
                    self->m_module = nullptr;
                }
                CoUninitialize();
                return static_cast<DWORD>(hr);
            },
            this, 0, &m_workerId);
        ASSERT_NE(m_worker, nullptr);
        ASSERT_TRUE(m_clock->WaitForThreadBlocked(m_workerId));
        ASSERT_NE(m_module.load(), nullptr);
    }

    bool ServerRuns() { return WaitForSingleObject(m_worker, 0) == WAIT_TIMEOUT; }

    plat::testing::TempSystemRoot m_root;
    plat::ScopedTestClock m_clock;
    FakeScannerSession m_scanner;
    FakeClassProvider m_classes;
    std::atomic<CRNXHALServiceModule*> m_module{nullptr};
    HANDLE m_worker = nullptr;
    DWORD m_workerId = 0;
};

TEST_F(LocalServerTest, EndsAFullTimeOutAfterTheLastRelease)
{
    StartServer();
    CRNXHALServiceModule* module = m_module.load();

    // The loop and the monitor's grace period both wait on the clock.
    EXPECT_EQ(module->Unlock(), 0);
    ASSERT_TRUE(m_clock->WaitForSleepers(2));
    m_clock->Advance(3000);
    ASSERT_TRUE(m_clock->WaitForSleepers(2));
    EXPECT_TRUE(ServerRuns());

    // An object made and released meanwhile restarts the wait.
    module->Lock();
    module->Unlock();
    ASSERT_TRUE(m_clock->WaitForSleepers(2));
    m_clock->Advance(CRNXHALServiceModule::kShutdownTimeoutMs - 1);
    ASSERT_TRUE(m_clock->WaitForSleepers(2));
    EXPECT_TRUE(ServerRuns());

    m_clock->Advance(1);
    ASSERT_EQ(WaitForSingleObject(m_worker, INFINITE), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeThread(m_worker, &code);
    EXPECT_EQ(code, static_cast<DWORD>(S_OK));
    EXPECT_EQ(m_scanner.Calls().back(), "SendStatusEvent -1");
}

TEST_F(LocalServerTest, StaysWhileAnObjectLives)
{
    StartServer();
    CRNXHALServiceModule* module = m_module.load();
    module->Lock();
    EXPECT_EQ(module->Unlock(), 1);
    ASSERT_TRUE(m_clock->WaitForSleepers(1));
    m_clock->Advance(3 * CRNXHALServiceModule::kShutdownTimeoutMs);
    ASSERT_TRUE(m_clock->WaitForSleepers(1));
    EXPECT_TRUE(ServerRuns());
}

} // namespace
