#include "tools/wiascan/StiServiceObjects.h"

#include <algorithm>

namespace wiascan {

namespace {

template <typename Interface>
HRESULT Answer(Interface* self, REFIID riid, const IID& own, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == own) {
        *ppv = self;
        self->AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

} // namespace

HRESULT StiDeviceControl::QueryInterface(REFIID riid, void** ppv)
{
    return Answer<IStiDeviceControl>(this, riid, IID_IStiDeviceControl, ppv);
}

HRESULT StiDeviceControl::GetMyDevicePortName(LPWSTR pszDevicePath, DWORD cwDevicePathSize)
{
    if (!pszDevicePath || cwDevicePathSize <= m_devicePath.size())
        return E_INVALIDARG;
    std::copy(m_devicePath.begin(), m_devicePath.end(), pszDevicePath);
    pszDevicePath[m_devicePath.size()] = 0;
    return S_OK;
}

HRESULT StiDevice::QueryInterface(REFIID riid, void** ppv)
{
    return Answer<IStiDevice>(this, riid, IID_IStiDevice, ppv);
}

} // namespace wiascan
