// A stand-in precursor module for tests: a payload source whose Produce runs
// a test's handler, counting its calls, its references and the thread it
// was called on.
#pragma once

#include "pipeline/RNXCOMCoreInterfaces.h"
#include "platform/windows.h"

#include <atomic>
#include <functional>
#include <thread>

class FakePayloadSource final : public IRNXPayloadSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != IID_IRNXPayloadSource)
            return E_NOINTERFACE;
        *ppv = static_cast<IRNXPayloadSource*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE Produce(IDispatch** thePayload) override
    {
        ++calls;
        lastThread = std::this_thread::get_id();
        return handler ? handler(thePayload) : S_OK;
    }

    ULONG References() const { return m_refs; }

    std::function<HRESULT(IDispatch**)> handler;
    std::atomic<int> calls{0};
    std::thread::id lastThread;

private:
    std::atomic<ULONG> m_refs{1};
};
