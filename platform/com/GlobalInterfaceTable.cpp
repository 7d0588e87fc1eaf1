#include "platform/com/GlobalInterfaceTable.h"

#include "platform/base/winerror.h"
#include "platform/com/Apartment.h"

#include <map>
#include <mutex>
#include <vector>

namespace plat::com {
namespace {

struct Entry {
    IUnknown* object; // the registered interface, one reference held
    IID iid;
};

// Locks only around the map: QueryInterface and Release of the stored
// objects run unlocked, as an object may revoke its own cookie when it dies.
class GlobalInterfaceTable final : public IGlobalInterfaceTable {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IGlobalInterfaceTable) {
            *ppv = static_cast<IGlobalInterfaceTable*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // One table for the process's life: counting would not change that.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE RegisterInterfaceInGlobal(IUnknown* pUnk, REFIID riid, DWORD* pdwCookie) override
    {
        if (CurrentApartment() == ApartmentKind::None)
            return CO_E_NOTINITIALIZED;
        if (!pdwCookie)
            return E_INVALIDARG;
        *pdwCookie = 0;
        if (!pUnk)
            return E_INVALIDARG;
        void* object = nullptr;
        HRESULT hr = pUnk->QueryInterface(riid, &object);
        if (FAILED(hr))
            return hr;
        if (!object)
            return E_NOINTERFACE;
        std::lock_guard lock(m_mutex);
        do {
            ++m_lastCookie;
        } while (m_lastCookie == 0 || m_entries.contains(m_lastCookie));
        m_entries.emplace(m_lastCookie, Entry{static_cast<IUnknown*>(object), riid});
        *pdwCookie = m_lastCookie;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE RevokeInterfaceFromGlobal(DWORD dwCookie) override
    {
        if (CurrentApartment() == ApartmentKind::None)
            return CO_E_NOTINITIALIZED;
        IUnknown* object = nullptr;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_entries.find(dwCookie);
            if (it == m_entries.end())
                return E_INVALIDARG;
            object = it->second.object;
            m_entries.erase(it);
        }
        object->Release();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetInterfaceFromGlobal(DWORD dwCookie, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_INVALIDARG;
        *ppv = nullptr;
        if (CurrentApartment() == ApartmentKind::None)
            return CO_E_NOTINITIALIZED;
        IUnknown* object = nullptr;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_entries.find(dwCookie);
            if (it == m_entries.end())
                return E_INVALIDARG;
            object = it->second.object;
            object->AddRef(); // keeps it alive against a revoke on another thread
        }
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }

    std::vector<IUnknown*> TakeAll()
    {
        std::vector<IUnknown*> objects;
        std::lock_guard lock(m_mutex);
        for (auto& [cookie, entry] : m_entries)
            objects.push_back(entry.object);
        m_entries.clear();
        return objects;
    }

private:
    std::mutex m_mutex;
    std::map<DWORD, Entry> m_entries;
    DWORD m_lastCookie = 0;
};

GlobalInterfaceTable& TheTable()
{
    // Never destroyed: objects may revoke their cookies in static destructors.
    static auto* table = new GlobalInterfaceTable;
    return *table;
}

// The class object: creating an instance gives the one table.
class TableFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (pUnkOuter)
            return CLASS_E_NOAGGREGATION;
        return TheTable().QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

} // namespace

HRESULT GetGlobalInterfaceTableClassObject(REFIID riid, void** ppv)
{
    static TableFactory factory;
    return factory.QueryInterface(riid, ppv);
}

std::vector<IUnknown*> TakeGlobalInterfaces() { return TheTable().TakeAll(); }

} // namespace plat::com
