// COM in the process: apartments, class objects and activation.
//
// Each thread that uses COM enters an apartment with CoInitialize(Ex) and
// leaves it with as many CoUninitialize calls. In-process servers are shared
// libraries named by HKCR\CLSID\{clsid}\InprocServer32; activation loads
// the library once per process and asks its DllGetClassObject.
//
// Calls between threads of this process go straight to the object whatever
// the apartments, as with free-threaded objects: the servers of this suite
// guard their own state. Calls from other processes arrive through the
// out-of-process layer, which dispatches them on a single-threaded
// apartment's thread through its message queue (see ApartmentHooks below).
#pragma once

#include "platform/base/guid.h"
#include "platform/base/unknwn.h"
#include "platform/base/wintypes.h"

// Execution contexts.
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// Apartment models of CoInitializeEx.
constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD COINIT_DISABLE_OLE1DDE = 0x4;
constexpr DWORD COINIT_SPEED_OVER_MEMORY = 0x8;

// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory = plat::MakeGuid("00000001-0000-0000-C000-000000000046");

struct IClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};
using LPCLASSFACTORY = IClassFactory*;

// The exports of an in-process server library, by these names.
using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
using LPFNCANUNLOADNOW = HRESULT (*)();

extern "C" {

// S_OK for the first entry of the thread, S_FALSE for each further one of
// the same model, RPC_E_CHANGED_MODE (not counted) for the other model.
HRESULT CoInitialize(LPVOID pvReserved);
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
// Balances one successful CoInitialize(Ex); the thread leaves its apartment
// with the last one. Without a matching entry it does nothing.
void CoUninitialize();

// CO_E_NOTINITIALIZED on a thread outside any apartment. REGDB_E_CLASSNOTREG
// when no context asked for has the class; CO_E_DLLNOTFOUND when the
// registered library is missing; CO_E_ERRORINDLL when it cannot be loaded or
// lacks DllGetClassObject; CO_E_SERVER_EXEC_FAILURE when only a local server
// is registered and no out-of-process activator is installed.
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv);
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);

// Unloads every in-process server library whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();

} // extern "C"

namespace plat::com {

enum class ApartmentKind { None, SingleThreaded, MultiThreaded };

// The calling thread's apartment (None outside COM).
ApartmentKind CurrentApartment();

// Where the out-of-process layer plugs in.
struct ApartmentHooks {
    // A thread entered (first CoInitialize) or left (last CoUninitialize) an
    // apartment. A single-threaded apartment's thread is where calls from
    // other processes will be dispatched, through its message queue.
    void (*entered)(ApartmentKind kind) = nullptr;
    void (*left)(ApartmentKind kind) = nullptr;
    // Activation of CLSCTX_LOCAL_SERVER classes, tried after the in-process
    // server when the context asks for both. Answers like CoGetClassObject.
    HRESULT (*getLocalClassObject)(REFCLSID rclsid, DWORD dwClsContext, REFIID riid, LPVOID* ppv) = nullptr;
};
// Installs the hooks for the process (replacing earlier ones).
void SetApartmentHooks(const ApartmentHooks& hooks);

} // namespace plat::com
