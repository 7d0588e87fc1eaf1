// Test fixture: an installed scanner whose device path leads to an
// in-process emulator, a scanner session set to that path, the test clock,
// and a button sink that records what it receives.
#pragma once

#include "emulator/EmulatedScanner.h"
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "halservice/scanner/ScannerWrap.h"
#include "halservice/testing/EmulatorBackend.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/kernel/TestClock.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/usb/UsbBackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace hal::testing {

struct ButtonCall {
    std::u16string name;
    LONG pressType;
    LONG funcNumber;
    bool operator==(const ButtonCall&) const = default;
};

class RecordingButtonSink : public IRNXButton {
public:
    virtual ~RecordingButtonSink() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IRNXButton) {
            *ppv = static_cast<IRNXButton*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE SendButtonEvent(BSTR szName, LONG lPressType, LONG lFuncNumber) override
    {
        buttons.push_back({szName ? std::u16string(szName) : std::u16string(), lPressType, lFuncNumber});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SendStatusEvent(LONG lStatus) override
    {
        statuses.push_back(lStatus);
        return S_OK;
    }

    ULONG refs = 1; // the test's own
    std::vector<ButtonCall> buttons;
    std::vector<LONG> statuses;
};

class ScannerSessionFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::devices::DeviceRecord record;
        ASSERT_TRUE(plat::devices::AddDevice({0x0ABC, 0x0DEF, u"EMU1", u"Scanner", u"Maker"}, &record));
        m_path = record.interfacePath;
        m_session->SetSymbolicName(m_path);
    }
    void TearDown() override
    {
        m_session.reset();
        if (m_attached)
            plat::usb::DetachInProcessDevice(m_path);
    }

    void Plug(emulator::ScannerConfig config = {})
    {
        m_scanner = std::make_shared<emulator::EmulatedScanner>(config);
        m_backend = std::make_shared<EmulatorBackend>(m_scanner);
        plat::usb::AttachInProcessDevice(m_path, m_backend);
        m_attached = true;
    }

    // Lets the scanner thread's idle wait run out once it sits in it, and
    // waits until the thread is back there, until one more key poll has
    // completed. A poll never runs while the test goes on.
    void RunPoll()
    {
        const unsigned before = m_session->PollCount();
        while (m_session->PollCount() == before) {
            const DWORD thread = m_session->ScannerThreadId();
            ASSERT_NE(thread, 0u);
            WaitUntil([&] { return m_session->InIdleWait() && m_clock->IsThreadBlocked(thread); });
            if (HasFatalFailure())
                return;
            const unsigned waits = m_session->IdleWaitCount();
            m_clock->Advance(CScannerWrap::kPollIntervalMs);
            WaitUntil([&] { return m_session->IdleWaitCount() != waits; });
            if (HasFatalFailure())
                return;
        }
    }

    template <class Condition>
    static void WaitUntil(Condition condition)
    {
        for (int i = 0; !condition(); ++i) {
            ASSERT_LT(i, 30000) << "the scanner thread did not reach its idle wait";
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Runs a call on a caller thread; the clock moves by stepMs whenever the
    // scanner thread waits inside a handler (not in its idle wait).
    template <class Call>
    void RunMovingClock(Call call, DWORD stepMs)
    {
        std::atomic<bool> done{false};
        std::thread caller([&] {
            call();
            done = true;
        });
        const DWORD thread = m_session->ScannerThreadId();
        while (!done) {
            if (m_clock->IsThreadBlocked(thread) && !m_session->InIdleWait())
                m_clock->Advance(stepMs);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        caller.join();
    }

    // A process id that no longer runs.
    static DWORD DeadProcessId()
    {
        const pid_t child = fork();
        if (child == 0)
            _exit(0);
        int status = 0;
        waitpid(child, &status, 0);
        return static_cast<DWORD>(child);
    }

    // The operation codes of the commands the scanner received, in order.
    std::vector<BYTE> CommandCodes()
    {
        std::vector<BYTE> codes;
        for (const auto& entry : m_scanner->Log().Entries()) {
            if (entry.kind == emulator::PacketLogEntry::Kind::Out && entry.what == "command")
                codes.push_back(entry.bytes.at(12));
        }
        return codes;
    }

    void QueueKeys(std::initializer_list<std::pair<emulator::PanelKey, emulator::KeyAction>> keys)
    {
        for (const auto& [key, action] : keys)
            m_scanner->QueueKeyEvent(key, action);
    }

    plat::testing::TempSystemRoot m_root;
    plat::ScopedTestClock m_clock;
    std::u16string m_path;
    bool m_attached = false;
    std::shared_ptr<emulator::EmulatedScanner> m_scanner;
    std::shared_ptr<EmulatorBackend> m_backend;
    std::unique_ptr<CScannerWrap> m_session = std::make_unique<CScannerWrap>();
};

} // namespace hal::testing
