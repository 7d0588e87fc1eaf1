// The library's entry points: the class object COM asks for when it needs
// to marshal one of the interfaces, and the self-registration that names
// this library for them.
#include "halservice/proxystub/ProxyBase.h"

#include <string>

namespace rnxhalps {
namespace {

// {E2A4C6F1-3B5D-4F70-9C18-7D2E0B4A6C95}
constexpr CLSID CLSID_RNXHALProxyStub = plat::MakeGuid("E2A4C6F1-3B5D-4F70-9C18-7D2E0B4A6C95");

struct InterfaceEntry {
    const IID* iid;
    const char16_t* name;
    const char16_t* methods; // vtable size, IUnknown included
};

const InterfaceEntry kInterfaces[] = {
    {&IID_IRNXHALS, u"IRNXHALS", u"16"},
    {&IID_IRNXButton, u"IRNXButton", u"5"},
    {&IID_ICKelXmlHAL, u"ICKelXmlHAL", u"38"},
    {&IID_IRNXRasterBandHAL, u"IRNXRasterBandHAL", u"28"},
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

LSTATUS SetDefault(HKEY root, const std::u16string& path, const char16_t* name, const std::u16string& value)
{
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
    return status;
}

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

std::u16string ClassKey() { return u"CLSID\\" + plat::GuidToWideString(CLSID_RNXHALProxyStub); }

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
    std::u16string classId = plat::GuidToWideString(CLSID_RNXHALProxyStub);
    LSTATUS status = SetDefault(HKEY_CLASSES_ROOT, ClassKey(), nullptr, u"RNXHAL proxy/stub factory");
    if (status == ERROR_SUCCESS)
        status = SetDefault(HKEY_CLASSES_ROOT, ClassKey() + u"\\InprocServer32", nullptr, path);
    if (status == ERROR_SUCCESS)
        status = SetDefault(HKEY_CLASSES_ROOT, ClassKey() + u"\\InprocServer32", u"ThreadingModel", u"Both");
    for (const InterfaceEntry& entry : kInterfaces) {
        std::u16string key = u"Interface\\" + plat::GuidToWideString(*entry.iid);
        if (status == ERROR_SUCCESS)
            status = SetDefault(HKEY_CLASSES_ROOT, key, nullptr, entry.name);
        if (status == ERROR_SUCCESS)
            status = SetDefault(HKEY_CLASSES_ROOT, key + u"\\ProxyStubClsid32", nullptr, classId);
        if (status == ERROR_SUCCESS)
            status = SetDefault(HKEY_CLASSES_ROOT, key + u"\\NumMethods", nullptr, entry.methods);
    }
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

extern "C" HRESULT DllUnregisterServer()
{
    for (const InterfaceEntry& entry : kInterfaces)
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (u"Interface\\" + plat::GuidToWideString(*entry.iid)).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey().c_str());
    return S_OK;
}
