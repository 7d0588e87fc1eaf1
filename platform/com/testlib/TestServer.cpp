// An in-process server with two classes, for the activation tests.
#include "platform/com/testlib/TestServer.h"

#include "platform/com/ComModule.h"

#include <atomic>
#include <new>

namespace {

plat::ComModule g_module;

// Answers 42; cannot be aggregated.
class PlainObject final : public ITestValue {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv)
    {
        HRESULT hr = plat::CheckAggregation(outer, riid, false);
        if (FAILED(hr))
            return hr;
        auto* object = new (std::nothrow) PlainObject;
        if (!object)
            return E_OUTOFMEMORY;
        hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ITestValue) {
            *ppv = static_cast<ITestValue*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG* value) override
    {
        if (!value)
            return E_POINTER;
        *value = 42;
        return S_OK;
    }

private:
    std::atomic<ULONG> m_refs{1};
    plat::ModuleLock m_lock{g_module};
};

// Answers 7; may live inside an outer object, which then owns its identity:
// ITestValue's IUnknown methods go to the outer, the inner's own lifetime is
// held through its non-delegating unknown.
class AggregatableObject final {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv)
    {
        HRESULT hr = plat::CheckAggregation(outer, riid, true);
        if (FAILED(hr))
            return hr;
        auto* object = new (std::nothrow) AggregatableObject(outer);
        if (!object)
            return E_OUTOFMEMORY;
        hr = object->m_inner.QueryInterface(riid, ppv);
        object->m_inner.Release();
        return hr;
    }

private:
    struct Inner final : IUnknown {
        AggregatableObject* self;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
        {
            if (!ppv)
                return E_POINTER;
            if (riid == IID_IUnknown)
                *ppv = static_cast<IUnknown*>(this);
            else if (riid == IID_ITestValue)
                *ppv = static_cast<ITestValue*>(&self->m_value);
            else {
                *ppv = nullptr;
                return E_NOINTERFACE;
            }
            static_cast<IUnknown*>(*ppv)->AddRef();
            return S_OK;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return ++self->m_refs; }
        ULONG STDMETHODCALLTYPE Release() override
        {
            ULONG left = --self->m_refs;
            if (left == 0)
                delete self;
            return left;
        }
    };

    struct Value final : ITestValue {
        AggregatableObject* self;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
        {
            return self->m_controlling->QueryInterface(riid, ppv);
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return self->m_controlling->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return self->m_controlling->Release(); }
        HRESULT STDMETHODCALLTYPE GetValue(LONG* value) override
        {
            if (!value)
                return E_POINTER;
            *value = 7;
            return S_OK;
        }
    };

    explicit AggregatableObject(IUnknown* outer)
    {
        m_inner.self = this;
        m_value.self = this;
        m_controlling = outer ? outer : static_cast<IUnknown*>(&m_inner);
    }

    std::atomic<ULONG> m_refs{1};
    Inner m_inner;
    Value m_value;
    IUnknown* m_controlling = nullptr; // not owned
    plat::ModuleLock m_lock{g_module};
};

} // namespace

extern "C" HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (rclsid == CLSID_TestPlain)
        return plat::ClassFactory::Make(g_module, &PlainObject::Create, riid, ppv);
    if (rclsid == CLSID_TestAggregatable)
        return plat::ClassFactory::Make(g_module, &AggregatableObject::Create, riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT DllCanUnloadNow() { return g_module.CanUnloadNow(); }

// For the tests: objects, factories and server locks alive.
extern "C" LONG TestServerLockCount() { return g_module.LockCount(); }
