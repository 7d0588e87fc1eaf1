#include "platform/rpc/ProxyStubs.h"

#include "platform/com/objbase.h"
#include "platform/registry/winreg.h"
#include "platform/rpc/ProxyStubArgs.h"

#include <map>
#include <mutex>
#include <vector>

namespace plat::rpc {
namespace {

// IClassFactory crosses processes with every activation, so its proxy and
// stub are part of the runtime.
class ClassFactoryProxy final : public IClassFactory, public InterfaceProxy {
public:
    ClassFactoryProxy(RpcChannel* channel, IUnknown* outer) : m_channel(channel), m_outer(outer) {}

    IUnknown* Interface() override { return static_cast<IClassFactory*>(this); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return m_outer->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_outer->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_outer->Release(); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override
    {
        if (!ppvObject)
            return E_POINTER;
        *ppvObject = nullptr;
        if (pUnkOuter)
            return CLASS_E_NOAGGREGATION; // no aggregation across processes
        MessageWriter request(m_channel->Context());
        request.WriteGuid(riid);
        HRESULT status = S_OK;
        Bytes results;
        HRESULT hr = m_channel->Invoke(IID_IClassFactory, 3, request, status, results);
        if (FAILED(hr))
            return hr;
        if (FAILED(status))
            return status;
        MessageReader reader(results.data(), results.size(), m_channel->Context());
        hr = m_channel->Context()->ReadInterface(reader, riid, ppvObject);
        if (SUCCEEDED(hr) && reader.Remaining() != 0) {
            if (*ppvObject)
                static_cast<IUnknown*>(*ppvObject)->Release();
            *ppvObject = nullptr;
            hr = RPC_E_INVALID_DATA;
        }
        return SUCCEEDED(hr) ? status : hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override
    {
        return ProxyCall(m_channel, IID_IClassFactory, 4, LongIn{fLock});
    }

private:
    RpcChannel* m_channel;
    IUnknown* m_outer;
};

class ClassFactoryProxyStub final : public IProxyStubFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IProxyStubFactory) {
            *ppv = static_cast<IProxyStubFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateProxy(REFIID iid, RpcChannel* channel, IUnknown* outer,
                                          InterfaceProxy** proxy) override
    {
        *proxy = nullptr;
        if (iid != IID_IClassFactory)
            return E_NOINTERFACE;
        *proxy = new ClassFactoryProxy(channel, outer);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Invoke(REFIID iid, IUnknown* object, std::uint32_t method, MessageReader& request,
                                     MessageWriter& results) override
    {
        if (iid != IID_IClassFactory)
            return RPC_E_INVALID_DATA;
        auto* factory = static_cast<IClassFactory*>(object);
        if (method == 3) {
            GUID riid{};
            if (!request.ReadGuid(riid) || request.Remaining() != 0)
                return RPC_E_INVALID_DATA;
            IUnknown* created = nullptr;
            HRESULT hr = factory->CreateInstance(nullptr, riid, reinterpret_cast<void**>(&created));
            if (SUCCEEDED(hr) && created) {
                HRESULT written = results.Context()->WriteInterface(results, riid, created);
                created->Release();
                if (FAILED(written)) {
                    results.Data().clear();
                    return written;
                }
            } else if (SUCCEEDED(hr)) {
                hr = E_UNEXPECTED;
            }
            return hr;
        }
        if (method == 4) {
            StubLong lock;
            return StubCall(request, results, factory, &IClassFactory::LockServer, lock);
        }
        return RPC_E_INVALID_DATA;
    }
};

ClassFactoryProxyStub g_classFactoryProxyStub;

struct Factories {
    std::mutex mutex;
    std::map<IID, IProxyStubFactory*> byIid;
};

Factories& AllFactories()
{
    static auto* factories = new Factories; // kept: proxies outlive main
    return *factories;
}

// HKCR\Interface\{iid}\ProxyStubClsid32, as a CLSID.
bool ReadProxyStubClsid(REFIID iid, CLSID& clsid)
{
    std::u16string path = u"Interface\\" + plat::GuidToWideString(iid) + u"\\ProxyStubClsid32";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    WCHAR text[64] = {};
    DWORD size = sizeof text - sizeof(WCHAR);
    DWORD type = 0;
    LONG status = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return false;
    return plat::GuidFromRegistryForm(std::u16string_view(text), clsid);
}

} // namespace

IProxyStubFactory* FindProxyStubFactory(REFIID iid)
{
    if (iid == IID_IClassFactory)
        return &g_classFactoryProxyStub;
    {
        std::lock_guard lock(AllFactories().mutex);
        auto it = AllFactories().byIid.find(iid);
        if (it != AllFactories().byIid.end())
            return it->second;
    }
    CLSID clsid{};
    if (!ReadProxyStubClsid(iid, clsid))
        return nullptr;
    IProxyStubFactory* factory = nullptr;
    if (FAILED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IProxyStubFactory,
                                reinterpret_cast<void**>(&factory))) ||
        !factory)
        return nullptr;
    std::lock_guard lock(AllFactories().mutex);
    auto [it, inserted] = AllFactories().byIid.emplace(iid, factory);
    if (!inserted)
        factory->Release();
    return it->second; // the table's reference keeps the library loaded
}

} // namespace plat::rpc
