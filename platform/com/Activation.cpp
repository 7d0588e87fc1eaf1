// CoGetClassObject and CoCreateInstance: built-in classes, in-process
// servers from the registry, and the seam for local servers.
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/com/Apartment.h"
#include "platform/com/GlobalInterfaceTable.h"
#include "platform/registry/winreg.h"
#include "platform/resources/module.h"
#include "platform/wia/wiaclient.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

// An in-process server library, loaded once per process and kept until
// CoFreeUnusedLibraries finds it unused. `busy` counts calls into its
// DllGetClassObject under way: the library is not unloaded under them, before
// the class object they return can lock the module.
struct ServerLibrary {
    HMODULE module = nullptr;
    LPFNGETCLASSOBJECT getClassObject = nullptr;
    LPFNCANUNLOADNOW canUnloadNow = nullptr;
    int busy = 0;
};

struct ServerLibraries {
    std::mutex mutex;
    std::map<std::u16string, ServerLibrary> byPath;
};

ServerLibraries& Libraries()
{
    static auto* libraries = new ServerLibraries;
    return *libraries;
}

// The default value of HKCR\CLSID\{clsid}\<subkey>: true with the text when
// the key exists (the text may be empty).
bool ReadClassKey(REFCLSID clsid, const char16_t* subkey, std::u16string& value)
{
    std::u16string path = u"CLSID\\" + plat::GuidToWideString(clsid);
    if (subkey)
        path += std::u16string(u"\\") + subkey;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    value.clear();
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && size >= sizeof(WCHAR)) {
        std::vector<BYTE> data(size);
        if (RegQueryValueExW(key, nullptr, nullptr, &type, data.data(), &size) == ERROR_SUCCESS &&
            size <= data.size()) {
            value.assign(reinterpret_cast<const char16_t*>(data.data()), size / sizeof(WCHAR));
            while (!value.empty() && value.back() == 0)
                value.pop_back();
        }
    }
    RegCloseKey(key);
    return true;
}

// Finds or loads the library at `path` and marks it busy; the caller ends
// with ReleaseServerLibrary.
HRESULT AcquireServerLibrary(const std::u16string& path, LPFNGETCLASSOBJECT& getClassObject)
{
    {
        std::lock_guard lock(Libraries().mutex);
        auto it = Libraries().byPath.find(path);
        if (it != Libraries().byPath.end()) {
            ++it->second.busy;
            getClassObject = it->second.getClassObject;
            return S_OK;
        }
    }
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module)
        return GetLastError() == static_cast<DWORD>(ERROR_MOD_NOT_FOUND) ? CO_E_DLLNOTFOUND : CO_E_ERRORINDLL;
    ServerLibrary library;
    library.module = module;
    library.getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(GetProcAddress(module, "DllGetClassObject"));
    library.canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(module, "DllCanUnloadNow"));
    if (!library.getClassObject) {
        FreeLibrary(module);
        return CO_E_ERRORINDLL;
    }
    bool alreadyThere = false;
    {
        std::lock_guard lock(Libraries().mutex);
        auto [it, inserted] = Libraries().byPath.emplace(path, library);
        alreadyThere = !inserted; // another thread loaded it meanwhile
        ++it->second.busy;
        getClassObject = it->second.getClassObject;
    }
    if (alreadyThere)
        FreeLibrary(module); // drops only our extra load
    return S_OK;
}

void ReleaseServerLibrary(const std::u16string& path)
{
    std::lock_guard lock(Libraries().mutex);
    auto it = Libraries().byPath.find(path);
    if (it != Libraries().byPath.end())
        --it->second.busy;
}

HRESULT GetInprocClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    std::u16string path;
    if (!ReadClassKey(rclsid, u"InprocServer32", path))
        return REGDB_E_CLASSNOTREG;
    if (path.empty())
        return CO_E_DLLNOTFOUND;
    LPFNGETCLASSOBJECT getClassObject = nullptr;
    HRESULT hr = AcquireServerLibrary(path, getClassObject);
    if (FAILED(hr))
        return hr;
    hr = getClassObject(rclsid, riid, ppv);
    ReleaseServerLibrary(path);
    return hr;
}

HRESULT GetLocalClassObject(REFCLSID rclsid, DWORD context, REFIID riid, LPVOID* ppv)
{
    if (auto activator = plat::com::CurrentHooks().getLocalClassObject)
        return activator(rclsid, context, riid, ppv);
    // Out-of-process activation is not here yet: a class that names a local
    // server is registered but cannot be started.
    std::u16string ignored;
    return ReadClassKey(rclsid, u"LocalServer32", ignored) ? CO_E_SERVER_EXEC_FAILURE : REGDB_E_CLASSNOTREG;
}

} // namespace

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (plat::com::CurrentApartment() == plat::com::ApartmentKind::None)
        return CO_E_NOTINITIALIZED;
    if (!(dwClsContext & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER)))
        return E_INVALIDARG;

    if ((dwClsContext & CLSCTX_INPROC_SERVER) && rclsid == CLSID_StdGlobalInterfaceTable)
        return plat::com::GetGlobalInterfaceTableClassObject(riid, ppv);
    // The image-acquisition service's device manager is the platform's own.
    if ((dwClsContext & CLSCTX_LOCAL_SERVER) && rclsid == CLSID_WiaDevMgr)
        return plat::wia::GetDeviceManagerClassObject(riid, ppv);

    HRESULT hr = REGDB_E_CLASSNOTREG;
    if (dwClsContext & CLSCTX_INPROC_SERVER) {
        hr = GetInprocClassObject(rclsid, riid, ppv);
        if (hr != REGDB_E_CLASSNOTREG)
            return hr;
    }
    if (dwClsContext & CLSCTX_LOCAL_SERVER)
        hr = GetLocalClassObject(rclsid, dwClsContext, riid, ppv);
    return hr;
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}

void CoFreeUnusedLibraries()
{
    std::vector<HMODULE> unused;
    {
        std::lock_guard lock(Libraries().mutex);
        for (auto it = Libraries().byPath.begin(); it != Libraries().byPath.end();) {
            if (it->second.busy == 0 && it->second.canUnloadNow && it->second.canUnloadNow() == S_OK) {
                unused.push_back(it->second.module);
                it = Libraries().byPath.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (HMODULE module : unused)
        FreeLibrary(module);
}
