// An in-process server with two classes, for the activation tests.
#include "platform/com/testlib/TestServer.h"

#include "platform/com/ComModule.h"
#include "platform/com/ComObjectRoot.h"
#include "platform/com/RefCounted.h"

#include <new>

namespace {

plat::ComModule g_module;

// Answers 42; cannot be aggregated.
class PlainObject final : public plat::RefCounted<ITestValue> {
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
    HRESULT STDMETHODCALLTYPE GetValue(LONG* value) override
    {
        if (!value)
            return E_POINTER;
        *value = 42;
        return S_OK;
    }

private:
    plat::ModuleLock m_lock{g_module};
};

// Answers 7; may live inside an outer object, which then owns its identity:
// ITestValue's IUnknown methods go to the outer, the inner's own lifetime is
// held through its non-delegating unknown.
class AggregatableObject final : public plat::ComObjectRoot, public ITestValue {
public:
    explicit AggregatableObject(IUnknown* outer) : plat::ComObjectRoot(outer, g_module) {}

    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv)
    {
        return plat::CreateComObject<AggregatableObject>(outer, riid, ppv, true);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return OuterQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }
    HRESULT STDMETHODCALLTYPE GetValue(LONG* value) override
    {
        if (!value)
            return E_POINTER;
        *value = 7;
        return S_OK;
    }

protected:
    void* GetInterface(REFIID riid) override
    {
        return riid == IID_ITestValue ? static_cast<ITestValue*>(this) : nullptr;
    }
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
