// The class factory of the driver object.
#pragma once

#include "platform/com/RefCounted.h"
#include "platform/windows.h"

class CRNXStiWiaDriverClassFactory final : public plat::RefCounted<IClassFactory> {
public:
    HRESULT QueryInterface(REFIID riid, void** ppvObj) override;
    HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObj) override;
    HRESULT LockServer(BOOL fLock) override;

    CRNXStiWiaDriverClassFactory();
    ~CRNXStiWiaDriverClassFactory() override;
};

// The library's class object: CLASS_E_CLASSNOTAVAILABLE for another class,
// E_NOINTERFACE for an interface other than IUnknown and IClassFactory.
HRESULT GetStiWiaDriverClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
