#include "stillimage/CRNXStiWiaDriverClassFactory.h"

#include "stillimage/CRNX_STIWIA_Driver.h"

#include "stillimage/DriverModule.h"

#include <new>

CRNXStiWiaDriverClassFactory::CRNXStiWiaDriverClassFactory() { DriverModuleObjectCreated(); }
CRNXStiWiaDriverClassFactory::~CRNXStiWiaDriverClassFactory() { DriverModuleObjectDestroyed(); }

HRESULT CRNXStiWiaDriverClassFactory::QueryInterface(REFIID riid, void** ppvObj)
{
    if (!ppvObj)
        return E_INVALIDARG;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppvObj = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObj = nullptr;
    return E_NOINTERFACE;
}

HRESULT CRNXStiWiaDriverClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObj)
{
    if (!ppvObj)
        return E_INVALIDARG;
    *ppvObj = nullptr;
    // An outer object may only ask for the inner object's own unknown.
    if (pUnkOuter && riid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    CRNX_STIWIA_Driver* driver = nullptr;
    try {
        driver = new CRNX_STIWIA_Driver(pUnkOuter);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    HRESULT hr = driver->NonDelegatingQueryInterface(riid, ppvObj);
    driver->NonDelegatingRelease();
    return hr;
}

HRESULT CRNXStiWiaDriverClassFactory::LockServer(BOOL) { return S_OK; }

HRESULT GetStiWiaDriverClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (rclsid != CLSID_RNXStiWiaDriver)
        return CLASS_E_CLASSNOTAVAILABLE;
    if (riid != IID_IUnknown && riid != IID_IClassFactory)
        return E_NOINTERFACE;
    auto* factory = new (std::nothrow) CRNXStiWiaDriverClassFactory;
    if (!factory)
        return E_OUTOFMEMORY;
    *ppv = static_cast<IClassFactory*>(factory);
    return S_OK;
}
