// The library's exports. Registration is the device installation's work:
// the library registers nothing itself.
#include "diag/EventLogObject.h"
#include "platform/windows.h"
#include "stillimage/CRNXStiWiaDriverClassFactory.h"
#include "stillimage/DriverModule.h"

namespace {

// Not at load time: the library's initialisers may run before the name's
// own storage is constructed, which would then wipe the name (and leak it).
// The first request for the class object comes before any driver logs.
void SetApplicationNameOnce()
{
    static const bool set = (SetLogApplicationName(u"Quillbox K24 WIA"), true);
    (void)set;
}

BOOL DllMain(HINSTANCE /*hInstance*/, DWORD /*reason*/, LPVOID /*reserved*/) { return TRUE; }

plat::DllMainCaller s_dllMain(&DllMain);

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    SetApplicationNameOnce();
    return GetStiWiaDriverClassObject(rclsid, riid, ppv);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow()
{
    // Unloading under a live factory or driver would pull the code from under it.
    return DriverModuleObjects() == 0 ? S_OK : S_FALSE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() { return S_OK; }

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() { return S_OK; }
