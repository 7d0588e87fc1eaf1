// The library's entry points: class objects, unloading, and registration of
// its classes, application identifier, type library and proxies. The merged
// proxy/stub part (proxystub/) is asked first and counts in unloading.
#include "pipeline/RNXCOMCoreModule.h"

#include "diag/EventLogObject.h"
#include "pipeline/ClassScripts.h"
#include "pipeline/EmptyShells.h"
#include "pipeline/RNXCOMCoreIds.h"
#include "pipeline/RNXHALWrap.h"
#include "pipeline/RNXInterconnection.h"
#include "pipeline/RNXRBConvert.h"
#include "pipeline/RNXRasterBand.h"
#include "pipeline/TypeLibrary.h"
#include "pipeline/XMLObj.h"
#include "pipeline/proxystub/ProxyStubPart.h"
#include "platform/registry/Registrar.h"
#include "platform/windows.h"

#include <string>

namespace {

// A registered class: its script, and the creator of its objects (null for
// the classes whose objects this library does not make yet).
struct ClassEntry {
    const CLSID& clsid;
    WORD script;
    plat::ClassFactory::Creator create;
};

const ClassEntry kClasses[] = {
    {CLSID_RNXHALWrap, IDR_RNXHALWRAP, &Tessivo::CRNXHALWrap::Create},
    {CLSID_RNXRasterBand, IDR_RNXRASTERBAND, &Tessivo::CRNXRasterBand::Create},
    {CLSID_RNXRBConvert, IDR_RNXRBCONVERT, &Tessivo::CRNXRBConvert::Create},
    {CLSID_RNXInterconnection, IDR_RNXINTERCONNECTION, &Tessivo::CRNXInterconnection::Create},
    {CLSID_XMLObj, IDR_XMLOBJ, &CXMLObj::Create},
    {CLSID_RNXPipelineManager, IDR_RNXPIPELINEMANAGER, &CreatePipelineManager},
    {CLSID_RNXQueue, IDR_RNXQUEUE, &CreateQueue},
    {CLSID_RNXDestination, IDR_RNXDESTINATION, &CreateDestination},
    {CLSID_RNXDestinationModule, IDR_RNXDESTINATIONMODULE, &CreateDestinationModule},
    {CLSID_TestFree, IDR_TESTFREE, &CreateTestFree},
};

bool g_perUser = false;

std::u16string ModulePath()
{
    WCHAR path[4096] = {};
    DWORD length = GetModuleFileNameW(plat::ThisModule(), path, 4096);
    return std::u16string(path, length < 4096 ? length : 0);
}

void PrepareRegistrar(plat::Registrar& registrar, const std::u16string& modulePath)
{
    registrar.SetPerUser(g_perUser);
    registrar.AddReplacement(u"MODULE", modulePath);
    registrar.AddReplacement(u"APPID", plat::GuidToWideString(APPID_RNXCOMCore));
    registrar.AddReplacement(u"LIBID", plat::GuidToWideString(LIBID_RNXCOMCoreLib));
}

HRESULT RunScript(plat::Registrar& registrar, WORD id, bool doRegister)
{
    std::string_view script = LoadRegistryScript(id);
    if (script.empty())
        return E_UNEXPECTED;
    return doRegister ? registrar.Register(script) : registrar.Unregister(script);
}

// Takes away everything registration writes; missing entries are no error.
HRESULT UnregisterAll()
{
    plat::Registrar registrar;
    PrepareRegistrar(registrar, ModulePath());
    HRESULT result = S_OK;
    for (const ClassEntry& entry : kClasses) {
        HRESULT hr = RunScript(registrar, entry.script, false);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    HRESULT hr = plat::UnregisterTypeLibrary(RNXCOMCoreTypeLibrary(), g_perUser);
    if (FAILED(hr) && SUCCEEDED(result))
        result = hr;
    hr = RunScript(registrar, IDR_APPID, false);
    if (FAILED(hr) && SUCCEEDED(result))
        result = hr;
    hr = PrxDllUnregisterServer(g_perUser);
    if (FAILED(hr) && SUCCEEDED(result))
        result = hr;
    return result;
}

HRESULT RegisterAll()
{
    const std::u16string modulePath = ModulePath();
    if (modulePath.empty())
        return E_UNEXPECTED;
    plat::Registrar registrar;
    PrepareRegistrar(registrar, modulePath);
    HRESULT hr = RunScript(registrar, IDR_APPID, true);
    for (const ClassEntry& entry : kClasses) {
        if (FAILED(hr))
            break;
        hr = RunScript(registrar, entry.script, true);
    }
    if (SUCCEEDED(hr))
        hr = plat::RegisterTypeLibrary(RNXCOMCoreTypeLibrary(), modulePath.c_str(), g_perUser);
    if (SUCCEEDED(hr))
        hr = PrxDllRegisterServer(modulePath, g_perUser);
    // A registration that stops half-way would leave classes that point at a
    // library whose type library or proxies are missing: take it all back.
    if (FAILED(hr))
        UnregisterAll();
    return hr;
}

bool StartsWithUser(LPCWSTR cmdLine)
{
    if (!cmdLine)
        return false;
    const char16_t* user = u"user";
    for (; *user; ++user, ++cmdLine) {
        WCHAR c = *cmdLine;
        if (c >= u'A' && c <= u'Z')
            c = static_cast<WCHAR>(c - u'A' + u'a');
        if (c != *user)
            return false;
    }
    return true;
}

} // namespace

void SetApplicationNameOnce()
{
    // Not from a static initialiser: the name's own storage may not be
    // constructed yet when the library's initialisers run.
    static const bool set = (SetLogApplicationName(u"RNX COM Core"), true);
    (void)set;
}

plat::ComModule& RNXCOMCoreModule()
{
    static plat::ComModule module;
    return module;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    SetApplicationNameOnce();
    HRESULT hr = PrxDllGetClassObject(rclsid, riid, ppv);
    if (hr != CLASS_E_CLASSNOTAVAILABLE)
        return hr;
    for (const ClassEntry& entry : kClasses) {
        if (entry.clsid == rclsid && entry.create)
            return plat::ClassFactory::Make(RNXCOMCoreModule(), entry.create, riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow()
{
    return PrxDllCanUnloadNow() == S_OK && RNXCOMCoreModule().CanUnloadNow() == S_OK ? S_OK : S_FALSE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() { return RegisterAll(); }

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() { return UnregisterAll(); }

extern "C" __attribute__((visibility("default"))) HRESULT DllInstall(BOOL bInstall, LPCWSTR pszCmdLine)
{
    g_perUser = StartsWithUser(pszCmdLine);
    // A failed install takes its registration back (RegisterAll does).
    HRESULT hr = bInstall ? RegisterAll() : UnregisterAll();
    g_perUser = false;
    return hr;
}
