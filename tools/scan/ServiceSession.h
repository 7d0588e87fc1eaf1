// The hardware service as a client holds it for a scan: its object created
// out of process from the scanner's class, joined, and the scanner locked
// for this process; at the end unlocked and left.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"
#include "platform/com/ComPtr.h"

namespace scan {

class ServiceSession {
public:
    enum class Opened {
        Ready,
        ServiceUnavailable, // the object cannot be created (OpenResult says why)
        ScannerUnplugged,   // the service finds no scanner
        Locked,             // another client holds the scanner
    };

    ServiceSession() = default;
    ~ServiceSession() { Close(); }
    ServiceSession(const ServiceSession&) = delete;
    ServiceSession& operator=(const ServiceSession&) = delete;

    Opened Open(const CLSID& serviceClass);
    HRESULT OpenResult() const { return m_openResult; }
    IRNXHALS* Service() const { return m_service.Get(); }

    // Gives up the scanner lock; false when the service no longer answers
    // (its process has gone). Nothing to unlock counts as answered.
    bool Unlock();
    // Unlocks, leaves and lets the object go; false as for Unlock.
    bool Close();

private:
    plat::ComPtr<IRNXHALS> m_service;
    HRESULT m_openResult = S_OK;
    bool m_joined = false;
    bool m_locked = false;
    bool m_answered = true;
};

} // namespace scan
