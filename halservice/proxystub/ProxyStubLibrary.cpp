// The library's entry points: the class object COM asks for when it needs
// to marshal one of the interfaces, and the self-registration that names
// this library for them.
#include "halservice/proxystub/ProxyBase.h"
#include "platform/rpc/ProxyStubRegistration.h"

#include <string>

namespace rnxhalps {
namespace {

// {E2A4C6F1-3B5D-4F70-9C18-7D2E0B4A6C95}
constexpr CLSID CLSID_RNXHALProxyStub = plat::MakeGuid("E2A4C6F1-3B5D-4F70-9C18-7D2E0B4A6C95");

const plat::rpc::ProxyStubInterface kInterfaces[] = {
    {&IID_IRNXHALS, u"IRNXHALS", 16},
    {&IID_IRNXButton, u"IRNXButton", 5},
    {&IID_ICKelXmlHAL, u"ICKelXmlHAL", 38},
    {&IID_IRNXRasterBandHAL, u"IRNXRasterBandHAL", 28},
};

// The factory is the class object itself: one per process, never freed
// (proxies made through it may live until the process ends).
class Factory final : public plat::rpc::IProxyStubFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == plat::rpc::IID_IProxyStubFactory) {
            *ppv = static_cast<plat::rpc::IProxyStubFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateProxy(REFIID iid, plat::rpc::RpcChannel* channel, IUnknown* outer,
                                          plat::rpc::InterfaceProxy** proxy) override
    {
        if (!proxy || !channel || !outer)
            return E_POINTER;
        *proxy = rnxhalps::CreateProxy(iid, channel, outer);
        return *proxy ? S_OK : E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE Invoke(REFIID iid, IUnknown* object, std::uint32_t method,
                                     plat::rpc::MessageReader& request, plat::rpc::MessageWriter& results) override
    {
        if (!object)
            return E_POINTER;
        return InvokeStub(iid, object, method, request, results);
    }
};

Factory g_factory;

std::u16string ModulePath()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ModulePath), &module))
        return {};
    WCHAR path[4096];
    DWORD length = GetModuleFileNameW(module, path, 4096);
    return length > 0 && length < 4096 ? std::u16string(path, length) : std::u16string();
}

} // namespace
} // namespace rnxhalps

using namespace rnxhalps;

extern "C" HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_RNXHALProxyStub)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

// Proxies may outlive any count this library could keep: it stays loaded.
extern "C" HRESULT DllCanUnloadNow() { return S_FALSE; }

extern "C" HRESULT DllRegisterServer()
{
    std::u16string path = ModulePath();
    if (path.empty())
        return E_FAIL;
    return plat::rpc::RegisterProxyStubs(CLSID_RNXHALProxyStub, u"RNXHAL proxy/stub factory", path, kInterfaces);
}

extern "C" HRESULT DllUnregisterServer()
{
    return plat::rpc::UnregisterProxyStubs(CLSID_RNXHALProxyStub, kInterfaces);
}
