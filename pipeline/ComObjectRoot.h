// What every creatable object of the library shares: an atomic reference
// count, the module count, aggregation, and the construct and release
// hooks.
//
// A class derives from CComObjectRoot and its interfaces, answers its own
// interfaces in GetInterface, and sends the IUnknown operations of all its
// interfaces to the controlling unknown:
//
//     HRESULT QueryInterface(REFIID riid, void** ppv) override { return OuterQueryInterface(riid, ppv); }
//     ULONG AddRef() override { return OuterAddRef(); }
//     ULONG Release() override { return OuterRelease(); }
//
// Without an outer object the controlling unknown is the object's own.
#pragma once

#include "pipeline/RNXCOMCoreModule.h"
#include "platform/windows.h"

#include <atomic>
#include <new>

class CComObjectRoot {
public:
    explicit CComObjectRoot(IUnknown* outer)
        : m_inner(*this), m_controlling(outer ? outer : static_cast<IUnknown*>(&m_inner))
    {
    }
    virtual ~CComObjectRoot() = default;
    CComObjectRoot(const CComObjectRoot&) = delete;
    CComObjectRoot& operator=(const CComObjectRoot&) = delete;

    // The non-delegating unknown, which owns the object's lifetime.
    IUnknown* InnerUnknown() { return &m_inner; }

    // Runs once the object is made, before anyone holds it; a failure
    // destroys it again.
    virtual HRESULT FinalConstruct() { return S_OK; }
    // Runs at the last release, before the object is deleted.
    virtual void FinalRelease() {}

protected:
    // The interface riid of this object (besides IUnknown), not yet
    // AddRef'd; null when it has none.
    virtual void* GetInterface(REFIID riid) = 0;

    HRESULT OuterQueryInterface(REFIID riid, void** ppv) { return m_controlling->QueryInterface(riid, ppv); }
    ULONG OuterAddRef() { return m_controlling->AddRef(); }
    ULONG OuterRelease() { return m_controlling->Release(); }

private:
    class Inner final : public IUnknown {
    public:
        explicit Inner(CComObjectRoot& self) : m_self(self) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
        {
            if (!ppv)
                return E_POINTER;
            *ppv = riid == IID_IUnknown ? static_cast<IUnknown*>(this) : m_self.GetInterface(riid);
            if (!*ppv)
                return E_NOINTERFACE;
            static_cast<IUnknown*>(*ppv)->AddRef();
            return S_OK;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return ++m_self.m_refs; }
        ULONG STDMETHODCALLTYPE Release() override
        {
            ULONG left = --m_self.m_refs;
            if (left == 0) {
                // Guards against a release from inside FinalRelease.
                m_self.m_refs = 1;
                m_self.FinalRelease();
                delete &m_self;
            }
            return left;
        }

    private:
        CComObjectRoot& m_self;
    };

    std::atomic<ULONG> m_refs{1};
    Inner m_inner;
    IUnknown* m_controlling; // not owned
    plat::ModuleLock m_moduleLock{RNXCOMCoreModule()};
};

// Makes an object of class T (constructed from the outer unknown) and hands
// out its interface riid, applying the aggregation rule first.
template <class T>
HRESULT CreateComObject(IUnknown* outer, REFIID riid, void** ppv, bool aggregatable)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    HRESULT hr = plat::CheckAggregation(outer, riid, aggregatable);
    if (FAILED(hr))
        return hr;
    T* object = new (std::nothrow) T(outer);
    if (!object)
        return E_OUTOFMEMORY;
    IUnknown* inner = object->InnerUnknown();
    hr = object->FinalConstruct();
    if (SUCCEEDED(hr))
        hr = inner->QueryInterface(riid, ppv);
    inner->Release();
    return hr;
}
