// COM between processes: class objects published by local servers, and the
// calls that reach them.
//
// A local server registers its class object with CoRegisterClassObject
// (CLSCTX_LOCAL_SERVER); the class is then served on a Unix socket in the
// system root's run-time folder, named after the CLSID. CoCreateInstance
// and CoGetClassObject with CLSCTX_LOCAL_SERVER (or CLSCTX_ALL, after the
// in-process server) connect there; when nothing listens they start the
// server (the class's LocalServer32 program with "-Embedding", or through
// the service stand-in when its AppID names a LocalService) and wait for it.
//
// Interface pointers crossing between processes are marshalled by the
// proxy/stub library registered for their IID. Calls into a
// single-threaded apartment run on its thread, in its message loop and in
// its message-pumping waits; a thread waiting for the reply of its own
// outgoing call serves incoming calls meanwhile (callbacks from the peer).
// When a peer process ends, calls to it fail at once (RPC_E_SERVER_DIED
// for calls under way, RPC_E_DISCONNECTED afterwards) and every reference
// it held to this process's objects is released.
#pragma once

#include "platform/base/guid.h"
#include "platform/base/unknwn.h"
#include "platform/base/wintypes.h"

#include <cstdint>

constexpr DWORD REGCLS_SINGLEUSE = 0;
constexpr DWORD REGCLS_MULTIPLEUSE = 1;
constexpr DWORD REGCLS_MULTI_SEPARATE = 2;
constexpr DWORD REGCLS_SUSPENDED = 4;

constexpr DWORD RPC_C_AUTHN_LEVEL_DEFAULT = 0;
constexpr DWORD RPC_C_AUTHN_LEVEL_NONE = 1;
constexpr DWORD RPC_C_AUTHN_LEVEL_CONNECT = 2;
constexpr DWORD RPC_C_AUTHN_LEVEL_CALL = 3;
constexpr DWORD RPC_C_AUTHN_LEVEL_PKT = 4;
constexpr DWORD RPC_C_AUTHN_LEVEL_PKT_INTEGRITY = 5;
constexpr DWORD RPC_C_AUTHN_LEVEL_PKT_PRIVACY = 6;
constexpr DWORD RPC_C_IMP_LEVEL_DEFAULT = 0;
constexpr DWORD RPC_C_IMP_LEVEL_ANONYMOUS = 1;
constexpr DWORD RPC_C_IMP_LEVEL_IDENTIFY = 2;
constexpr DWORD RPC_C_IMP_LEVEL_IMPERSONATE = 3;
constexpr DWORD RPC_C_IMP_LEVEL_DELEGATE = 4;
constexpr DWORD EOAC_NONE = 0;

struct SOLE_AUTHENTICATION_SERVICE {
    DWORD dwAuthnSvc;
    DWORD dwAuthzSvc;
    OLECHAR* pPrincipalName;
    HRESULT hr;
};

// A second registration of a class this process already serves.

extern "C" {

// Publishes `pUnk` as the class object of `rclsid`: to this process, and
// with CLSCTX_LOCAL_SERVER to other processes. Calls on it (and on the
// objects it creates) are served on the registering thread when that is a
// single-threaded apartment. The cookie names the registration for
// CoRevokeClassObject. CO_E_NOTINITIALIZED outside COM.
HRESULT CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext, DWORD flags, LPDWORD lpdwRegister);
// Stops publishing; connections already made stay. E_INVALIDARG for an
// unknown cookie.
HRESULT CoRevokeClassObject(DWORD dwRegister);

// Only processes of the server's own user are admitted (the sockets check
// every peer's credentials), so the settings are accepted and change
// nothing.
HRESULT CoInitializeSecurity(void* pSecDesc, LONG cAuthSvc, SOLE_AUTHENTICATION_SERVICE* asAuthSvc, void* pReserved1,
                             DWORD dwAuthnLevel, DWORD dwImpLevel, void* pAuthList, DWORD dwCapabilities,
                             void* pReserved3);

// The process id of the peer whose call the calling thread is serving
// (taken from the socket); RPC_E_WRONG_THREAD outside an incoming call.
HRESULT CoGetCallerProcessId(DWORD* pdwProcessId);

} // extern "C"

namespace plat::rpc {

// Starts the service named by a class's AppID LocalService value: the
// service stand-in installs this. S_OK once the start was asked for.
using ServiceStarter = HRESULT (*)(const char16_t* serviceName);
void SetServiceStarter(ServiceStarter starter);

// How long activation waits for a started server to publish its class
// (on the installed clock); 30 s unless changed.
void SetServerStartTimeout(DWORD milliseconds);

// The process id of the peer behind a proxy; 0 for an object of this
// process.
DWORD GetPeerProcessId(IUnknown* object);

// Whether a server keeps serving the process `processId` however long its
// connection lies idle, when every place is taken and a new client needs
// one (the hardware service keeps the holder of its scanner's lock). Null
// (the default): no process is kept for that reason.
using PeerKeeper = bool (*)(DWORD processId);
void SetPeerKeeper(PeerKeeper keeper);

// The calls this process has sent to other processes and waited for (each
// one round trip), for tests and diagnostics.
std::uint64_t CallsMade();

} // namespace plat::rpc

#include "platform/rpc/CallBatch.h"
