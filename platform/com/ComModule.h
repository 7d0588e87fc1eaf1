// Building blocks of an in-process server library: the module lock count
// behind DllCanUnloadNow, a class factory, and the aggregation rule.
//
// A library keeps one ComModule; its objects hold a ModuleLock for their
// lifetime, and IClassFactory::LockServer counts on the same module:
//     plat::ComModule g_module;
//     extern "C" HRESULT DllCanUnloadNow() { return g_module.CanUnloadNow(); }
#pragma once

#include "platform/base/winerror.h"
#include "platform/com/RefCounted.h"
#include "platform/com/objbase.h"

#include <atomic>
#include <new>

namespace plat {

class ComModule {
public:
    void Lock() { ++m_locks; }
    void Unlock() { --m_locks; }
    LONG LockCount() const { return m_locks; }
    // S_OK when no object, class factory or server lock is alive.
    HRESULT CanUnloadNow() const { return m_locks == 0 ? S_OK : S_FALSE; }

private:
    std::atomic<LONG> m_locks{0};
};

// Counts one object on its module for as long as it lives.
class ModuleLock {
public:
    explicit ModuleLock(ComModule& module) : m_module(module) { m_module.Lock(); }
    ~ModuleLock() { m_module.Unlock(); }
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;

private:
    ComModule& m_module;
};

// The rule for an outer object at creation: refused (CLASS_E_NOAGGREGATION)
// by a class that cannot be aggregated, and by any class when the outer asks
// for an interface other than IUnknown (the outer must hold the inner's
// non-delegating unknown). S_OK when creation may go on.
inline HRESULT CheckAggregation(IUnknown* outer, REFIID riid, bool aggregatable)
{
    if (outer && (!aggregatable || riid != IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return S_OK;
}

// A class factory that creates through a function of the class:
//     HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);
// (which applies CheckAggregation). The factory counts on the module while
// it exists, and LockServer adds to the same count.
class ClassFactory final : public RefCounted<IClassFactory> {
public:
    using Creator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

    // A new factory for DllGetClassObject, answering riid.
    static HRESULT Make(ComModule& module, Creator create, REFIID riid, void** ppv)
    {
        if (!ppv)
            return E_INVALIDARG;
        *ppv = nullptr;
        auto* factory = new (std::nothrow) ClassFactory(module, create);
        if (!factory)
            return E_OUTOFMEMORY;
        HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override
    {
        if (!ppvObject)
            return E_POINTER;
        *ppvObject = nullptr;
        return m_create(pUnkOuter, riid, ppvObject);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override
    {
        if (fLock)
            m_module.Lock();
        else
            m_module.Unlock();
        return S_OK;
    }

private:
    ClassFactory(ComModule& module, Creator create) : m_lock(module), m_module(module), m_create(create) {}
    ~ClassFactory() override = default;

    ModuleLock m_lock;
    ComModule& m_module;
    Creator m_create;
};

} // namespace plat
