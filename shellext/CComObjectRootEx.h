// The common root of the library's COM classes (single-threaded model:
// each object lives in its creator's apartment): reference count, module
// count and aggregation. An object answers its interfaces in FindInterface
// and sends the IUnknown calls of its interfaces (one override serves them
// all) to Controlling(), which is the outer object when it is aggregated.
#pragma once

#include "shellext/CRNXShellExtModule.h"

#include <atomic>
#include <new>

class CComObjectRootEx {
public:
    explicit CComObjectRootEx(IUnknown* outer) : m_nonDelegating(this), m_outer(outer) {}
    virtual ~CComObjectRootEx() = default;
    CComObjectRootEx(const CComObjectRootEx&) = delete;
    CComObjectRootEx& operator=(const CComObjectRootEx&) = delete;

    IUnknown* NonDelegatingUnknown() { return &m_nonDelegating; }
    IUnknown* Controlling() { return m_outer ? m_outer : &m_nonDelegating; }

protected:
    // Interface riid of the object (not AddRef'd), or null.
    virtual void* FindInterface(REFIID riid) = 0;

private:
    class NonDelegating final : public IUnknown {
    public:
        explicit NonDelegating(CComObjectRootEx* object) : m_object(object) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
        ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
        ULONG STDMETHODCALLTYPE Release() override;

    private:
        CComObjectRootEx* m_object;
        std::atomic<ULONG> m_refs{1};
    };

    NonDelegating m_nonDelegating;
    IUnknown* m_outer; // not held: the outer object holds us
    plat::ModuleLock m_moduleLock{CRNXShellExtModule()};
};

// Creates a T from the outer object and hands out its interface riid.
template <class T>
HRESULT CreateAggregatable(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (HRESULT hr = plat::CheckAggregation(outer, riid, true); FAILED(hr))
        return hr;
    auto* object = new (std::nothrow) T(outer);
    if (!object)
        return E_OUTOFMEMORY;
    IUnknown* inner = object->NonDelegatingUnknown();
    const HRESULT hr = inner->QueryInterface(riid, ppv);
    inner->Release();
    return hr;
}
