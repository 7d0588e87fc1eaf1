// The library's entry points: the class object COM asks for when it needs
// to marshal one of the interfaces, and the self-registration that names
// this library for them.
#include "halservice/proxystub/ProxyBase.h"
#include "platform/rpc/ProxyStubFactory.h"
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

// The class object: one per process, never freed (proxies made through it
// may live until the process ends).
plat::rpc::ProxyStubFactory g_factory(&rnxhalps::CreateProxy, &rnxhalps::InvokeStub);

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

extern "C" HRESULT DllUnregisterServer() { return plat::rpc::UnregisterProxyStubs(CLSID_RNXHALProxyStub, kInterfaces); }
