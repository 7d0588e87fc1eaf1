#include "tools/scan/ServiceSession.h"

namespace scan {

namespace {

constexpr LONG kOnline = 0;
constexpr LONG kLockTaken = 0;

} // namespace

ServiceSession::Opened ServiceSession::Open(const CLSID& serviceClass)
{
    Close();
    m_openResult = CoCreateInstance(serviceClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS,
                                    m_service.ReleaseAndGetVoidAddress());
    if (FAILED(m_openResult) || !m_service) {
        m_service.Reset();
        return Opened::ServiceUnavailable;
    }
    LONG status = -1;
    m_openResult = m_service->Initialize(&status);
    if (FAILED(m_openResult))
        return Opened::ServiceUnavailable;
    // Joined even when off-line: the service counts the client either way.
    m_joined = true;
    if (status != kOnline)
        return Opened::ScannerUnplugged;
    m_openResult = m_service->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status);
    if (FAILED(m_openResult))
        return Opened::ServiceUnavailable;
    if (status != kLockTaken)
        return Opened::Locked;
    m_locked = true;
    return Opened::Ready;
}

bool ServiceSession::Unlock()
{
    if (!m_locked)
        return m_answered;
    m_locked = false;
    LONG status = 0;
    m_answered = SUCCEEDED(m_service->UnlockScanner(&status));
    return m_answered;
}

bool ServiceSession::Close()
{
    if (!m_service)
        return true;
    Unlock();
    if (m_joined && m_answered)
        m_answered = SUCCEEDED(m_service->Uninitialize());
    const bool answered = m_answered;
    m_service.Reset();
    m_joined = false;
    m_answered = true;
    return answered;
}

} // namespace scan
