// The process's scanner object as the service module sees it.
#pragma once

#include "halservice/scanner/ScannerWrap.h"
#include "halservice/service/ServiceHost.h"

class ScannerSessionAdapter final : public IScannerSession {
public:
    explicit ScannerSessionAdapter(CScannerWrap& scanner) : m_scanner(scanner) {}

    HANDLE GetStopEvent() override { return m_scanner.GetStopEvent(); }
    HANDLE GetButtonEvent() override { return m_scanner.GetButtonEvent(); }
    HANDLE GetArrivalEvent() override { return m_scanner.GetArrivalEvent(); }
    HANDLE GetRemovalEvent() override { return m_scanner.GetRemovalEvent(); }
    void SetSymbolicName(const std::u16string& path) override { m_scanner.SetSymbolicName(path); }
    bool IsOnline() override { return m_scanner.IsOnline(); }
    void SetLoopThreadId(DWORD threadId) override { m_scanner.SetMainThreadId(threadId); }
    DWORD GetLoopThreadId() override { return m_scanner.GetMainThreadId(); }
    // The module joins and leaves only as the service itself (no client).
    LONG Initialize(void*) override { return m_scanner.Initialize(nullptr); }
    void UnInitialize(void*) override { m_scanner.UnInitialize(nullptr); }
    void DispatchButtonEvents() override { m_scanner.DispatchButtonEvents(); }
    void OnDeviceChange(BOOL bArrival) override { m_scanner.OnDeviceChange(bArrival ? 1 : 0); }
    void SendStatusEvent(LONG lStatus) override { m_scanner.SendStatusEvent(lStatus); }

private:
    CScannerWrap& m_scanner;
};
