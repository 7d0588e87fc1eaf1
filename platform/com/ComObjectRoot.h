// The root of a creatable COM object that may be aggregated: its reference
// count, its module's lock count, and the split between the non-delegating
// unknown (which owns the object's lifetime) and the controlling unknown
// (the outer object when there is one, otherwise the object's own).
//
// A class derives from ComObjectRoot and its interfaces, answers its own
// interfaces in GetInterface, and sends the IUnknown operations of all its
// interfaces to the controlling unknown:
//
//     HRESULT QueryInterface(REFIID riid, void** ppv) override { return OuterQueryInterface(riid, ppv); }
//     ULONG AddRef() override { return OuterAddRef(); }
//     ULONG Release() override { return OuterRelease(); }
//
// and is made by CreateComObject.
#pragma once

#include "platform/base/unknwn.h"
#include "platform/com/ComModule.h"

#include <atomic>
#include <new>

namespace plat {

class ComObjectRoot {
public:
    ComObjectRoot(IUnknown* outer, ComModule& module)
        : m_inner(*this), m_controlling(outer ? outer : static_cast<IUnknown*>(&m_inner)), m_moduleLock(module)
    {
    }
    virtual ~ComObjectRoot() = default;
    ComObjectRoot(const ComObjectRoot&) = delete;
    ComObjectRoot& operator=(const ComObjectRoot&) = delete;

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
        explicit Inner(ComObjectRoot& self) : m_self(self) {}
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
            const ULONG left = --m_self.m_refs;
            if (left == 0) {
                // Guards against a release from inside FinalRelease.
                m_self.m_refs = 1;
                m_self.FinalRelease();
                delete &m_self;
            }
            return left;
        }

    private:
        ComObjectRoot& m_self;
    };

    std::atomic<ULONG> m_refs{1};
    Inner m_inner;
    IUnknown* m_controlling; // not owned: an outer object holds us
    ModuleLock m_moduleLock;
};

// Makes an object of class T (constructed from the outer unknown) and hands
// out its interface riid, applying the aggregation rule first.
template <class T>
HRESULT CreateComObject(IUnknown* outer, REFIID riid, void** ppv, bool aggregatable)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    HRESULT hr = CheckAggregation(outer, riid, aggregatable);
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

} // namespace plat
