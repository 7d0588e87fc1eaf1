// The class factory of the driver object.
#pragma once

#include "platform/windows.h"

class CRNXStiWiaDriverClassFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObj) override;
    HRESULT LockServer(BOOL fLock) override;

    CRNXStiWiaDriverClassFactory();
    ~CRNXStiWiaDriverClassFactory();

private:
    LONG m_cRef = 1;
};

// The library's class object: CLASS_E_CLASSNOTAVAILABLE for another class,
// E_NOINTERFACE for an interface other than IUnknown and IClassFactory.
HRESULT GetStiWiaDriverClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
