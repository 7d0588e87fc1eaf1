// The library's entry points: class objects of its two classes, unloading,
// and registration of the application id, the classes (with the shell
// extension entries) and the type library.
#include "shellext/CRNXShellExtModule.h"

#include "platform/registry/Registrar.h"
#include "shellext/CRNXHWPropertyPage.h"
#include "shellext/CRNXWIADialogExtHandler.h"
#include "shellext/RegistryScripts.h"
#include "shellext/ResourceIds.h"
#include "shellext/TypeLibrary.h"

#include <string>

namespace {

struct ClassEntry {
    const CLSID& clsid;
    plat::ClassFactory::Creator create;
};

const ClassEntry kClasses[] = {
    {CLSID_RNXWIADialogExtHandler, &CRNXWIADialogExtHandler::Create},
    {CLSID_RNXHWPropertyPage, &CRNXHWPropertyPage::Create},
};

// In registration order; unregistration runs them backwards.
const WORD kScripts[] = {IDR_RNXSHELLEXT, IDR_RNXWIADIALOGEXTHANDLER, IDR_RNXHWPROPERTYPAGE};

void PrepareRegistrar(plat::Registrar& registrar, const std::u16string& modulePath, bool perUser)
{
    registrar.SetPerUser(perUser);
    registrar.AddReplacement(u"MODULE", modulePath);
    registrar.AddReplacement(u"APPID", plat::GuidToWideString(APPID_RNXShellExt));
    registrar.AddReplacement(u"LIBID", plat::GuidToWideString(LIBID_RNXShellExtLib));
    registrar.AddReplacement(u"HANDLER", plat::GuidToWideString(CLSID_RNXWIADialogExtHandler));
    registrar.AddReplacement(u"PAGE", plat::GuidToWideString(CLSID_RNXHWPropertyPage));
}

HRESULT UnregisterAll(bool perUser)
{
    plat::Registrar registrar;
    PrepareRegistrar(registrar, GetModuleFileNameString(), perUser);
    HRESULT result = plat::UnregisterTypeLibrary(RNXShellExtTypeLibrary(), perUser);
    for (size_t i = std::size(kScripts); i-- > 0;) {
        const std::string_view script = LoadRegistryScript(kScripts[i]);
        const HRESULT hr = script.empty() ? E_UNEXPECTED : registrar.Unregister(script);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    return result;
}

HRESULT RegisterAll(bool perUser)
{
    const std::u16string modulePath = GetModuleFileNameString();
    if (modulePath.empty())
        return E_UNEXPECTED;
    plat::Registrar registrar;
    PrepareRegistrar(registrar, modulePath, perUser);
    HRESULT hr = S_OK;
    for (WORD id : kScripts) {
        const std::string_view script = LoadRegistryScript(id);
        hr = script.empty() ? E_UNEXPECTED : registrar.Register(script);
        if (FAILED(hr))
            break;
    }
    if (SUCCEEDED(hr))
        hr = plat::RegisterTypeLibrary(RNXShellExtTypeLibrary(), modulePath.c_str(), perUser);
    // Half a registration would name classes without their type library.
    if (FAILED(hr))
        UnregisterAll(perUser);
    return hr;
}

// "user" (any case) at the head of DllInstall's text: the current user only.
bool StartsWithUser(LPCWSTR text)
{
    if (!text)
        return false;
    for (const char16_t* user = u"user"; *user; ++user, ++text) {
        const WCHAR c = (*text >= u'A' && *text <= u'Z') ? static_cast<WCHAR>(*text - u'A' + u'a') : *text;
        if (c != *user)
            return false;
    }
    return true;
}

} // namespace

plat::ComModule& CRNXShellExtModule()
{
    static plat::ComModule module;
    return module;
}

HINSTANCE ShellExtInstance() { return plat::ThisModule(); }

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (const ClassEntry& entry : kClasses) {
        if (entry.clsid == rclsid)
            return plat::ClassFactory::Make(CRNXShellExtModule(), entry.create, riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow()
{
    return CRNXShellExtModule().CanUnloadNow();
}

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() { return RegisterAll(false); }

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() { return UnregisterAll(false); }

extern "C" __attribute__((visibility("default"))) HRESULT DllInstall(BOOL bInstall, LPCWSTR pszCmdLine)
{
    const bool perUser = StartsWithUser(pszCmdLine);
    return bInstall ? RegisterAll(perUser) : UnregisterAll(perUser);
}
