// The common part of the tests' stand-in objects of the library's
// interfaces: a counted IUnknown answering one interface (and IDispatch),
// and an IDispatch half that declines every late-bound call.
#pragma once

#include "pipeline/RNXCOMCoreInterfaces.h"
#include "platform/com/RefCounted.h"

template <class Interface, const IID& kIid>
class TestDispatchObject : public plat::RefCounted<Interface> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != kIid)
            return E_NOINTERFACE;
        *ppv = static_cast<Interface*>(this);
        this->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    using plat::RefCounted<Interface>::References;

protected:
    ~TestDispatchObject() override = default;
};
