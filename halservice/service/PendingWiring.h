// The program's scanner session and class provider until the scanner
// object and the COM classes are wired in: the session stays off-line and
// owns the main loop's four events; the class object creates nothing.
#pragma once

#include "halservice/service/ServiceHost.h"

class PendingScannerSession final : public IScannerSession {
public:
    PendingScannerSession();
    ~PendingScannerSession() override;

    HANDLE GetStopEvent() override { return m_events[0]; }
    HANDLE GetButtonEvent() override { return m_events[1]; }
    HANDLE GetArrivalEvent() override { return m_events[2]; }
    HANDLE GetRemovalEvent() override { return m_events[3]; }
    void SetSymbolicName(const std::u16string&) override {}
    bool IsOnline() override { return false; }
    void SetLoopThreadId(DWORD threadId) override { m_loopThreadId = threadId; }
    DWORD GetLoopThreadId() override { return m_loopThreadId; }
    LONG Initialize(void*) override { return -1; }
    void UnInitialize(void*) override {}
    void DispatchButtonEvents() override {}
    void OnDeviceChange(BOOL) override {}
    void SendStatusEvent(LONG) override {}

private:
    HANDLE m_events[4] = {};
    volatile DWORD m_loopThreadId = 0;
};

class PendingClassProvider final : public IHALClassProvider {
public:
    IUnknown* CreateClassObject(int slot) override;
    std::string_view ClassScript(int) override { return {}; }
};
