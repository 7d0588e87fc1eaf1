// The scanner session and the per-slot classes as the service module takes
// them: the module's main loop, start and stop reach the process's
// CScannerWrap through CScannerSessionHost, and its class registration and
// registry scripts come from CHALClassProvider.
#pragma once

#include "halservice/scanner/ScannerWrap.h"
#include "halservice/service/ServiceHost.h"

class CScannerSessionHost final : public IScannerSession {
public:
    explicit CScannerSessionHost(CScannerWrap& session) : m_session(session) {}

    HANDLE GetStopEvent() override { return m_session.GetStopEvent(); }
    HANDLE GetButtonEvent() override { return m_session.GetButtonEvent(); }
    HANDLE GetArrivalEvent() override { return m_session.GetArrivalEvent(); }
    HANDLE GetRemovalEvent() override { return m_session.GetRemovalEvent(); }
    bool IsOnline() override { return m_session.IsOnline(); }
    void SetLoopThreadId(DWORD threadId) override { m_session.SetMainThreadId(threadId); }
    DWORD GetLoopThreadId() override { return m_session.GetMainThreadId(); }
    // The module joins and leaves with no client only.
    LONG Initialize(void* pClient) override { return m_session.Initialize(static_cast<CScannerClient*>(pClient)); }
    void UnInitialize(void* pClient) override { m_session.UnInitialize(static_cast<CScannerClient*>(pClient)); }
    void DispatchButtonEvents() override { m_session.DispatchButtonEvents(); }
    void OnDeviceChange(BOOL bArrival) override { m_session.OnDeviceChange(bArrival ? 1 : 0); }
    void SendStatusEvent(LONG lStatus) override { m_session.SendStatusEvent(lStatus); }

private:
    CScannerWrap& m_session;
};

class CHALClassProvider final : public IHALClassProvider {
public:
    IUnknown* CreateClassObject(int slot) override;
    std::string_view ClassScript(int slot) override;
};
