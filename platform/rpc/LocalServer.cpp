// Local servers: publishing class objects on sockets, finding or starting
// the server of a class, and the hooks that tie this into COM.
#include "platform/base/UnixSocketAddress.h"
#include "platform/base/posixio.h"
#include "platform/base/serverheap.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/com/objbase.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/Time.h"
#include "platform/kernel/Wait.h"
#include "platform/process/Process.h"
#include "platform/registry/winreg.h"
#include "platform/rpc/CallContext.h"
#include "platform/rpc/ClassTable.h"
#include "platform/rpc/Connection.h"
#include "platform/rpc/Dispatch.h"
#include "platform/rpc/rpc.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace plat::rpc {
namespace {

struct Registration {
    CLSID clsid{};
    IUnknown* object = nullptr;
    DWORD thread = 0;
    std::string path; // empty: not published to other processes
    int listenFd = -1;
    std::thread acceptor;
    std::shared_ptr<ConnectionSlots> slots = std::make_shared<ConnectionSlots>();
};

struct State {
    std::mutex mutex;
    DWORD nextCookie = 1;
    std::map<DWORD, std::unique_ptr<Registration>> registrations;
    std::map<std::string, std::shared_ptr<Connection>> clients; // by socket path
    std::mutex startMutex;                                      // one server start at a time
    ServiceStarter serviceStarter = nullptr;
    DWORD startTimeoutMs = 30000;
    PeerKeeper peerKeeper = nullptr;
};

State& Global()
{
    static auto* state = new State; // connections outlive main
    return *state;
}

thread_local DWORD t_caller = 0;

std::string SocketPath(REFCLSID clsid) { return RuntimeFolder() + "/com-" + plat::GuidToString(clsid) + ".sock"; }

// A socket connected to the server at `path`, or -1; `foreign` tells that
// one answered but runs as another user (it is not used).
int ConnectTo(const std::string& path, bool& foreign)
{
    foreign = false;
    const UnixSocketAddress address(path);
    if (!address.Valid())
        return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, address.Get(), address.Size()) != 0) {
        close(fd);
        return -1;
    }
    if (!PeerIsSameUser(fd)) {
        foreign = true;
        close(fd);
        return -1;
    }
    return fd;
}

int Listen(const std::string& path)
{
    const UnixSocketAddress address(path);
    if (!address.Valid())
        return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    unlink(path.c_str()); // a socket left by a server that ended
    if (bind(fd, address.Get(), address.Size()) != 0 || listen(fd, 64) != 0) {
        close(fd);
        return -1;
    }
    chmod(path.c_str(), 0600); // only the user's own processes are served
    return fd;
}

void AcceptLoop(int listenFd, std::shared_ptr<ConnectionSlots> slots)
{
    for (;;) {
        int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors or memory for now: keep serving once
                // some are free again rather than never accepting anyone.
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                continue;
            }
            return; // revoked: the socket was shut down
        }
        if (!PeerIsSameUser(fd))
            Connection::Refuse(fd, E_ACCESSDENIED);
        else if (!slots->Admit(fd))
            Connection::Refuse(fd, HRESULT_FROM_WIN32(RPC_S_SERVER_TOO_BUSY));
    }
}

// The live connection to the server at `path`, reusing an earlier one.
std::shared_ptr<Connection> Connect(const std::string& path, bool& foreign)
{
    foreign = false;
    {
        std::lock_guard lock(Global().mutex);
        auto it = Global().clients.find(path);
        if (it != Global().clients.end()) {
            if (it->second->Alive())
                return it->second;
            Global().clients.erase(it);
        }
    }
    int fd = ConnectTo(path, foreign);
    if (fd < 0)
        return nullptr;
    auto connection = Connection::Start(fd);
    std::lock_guard lock(Global().mutex);
    auto [it, inserted] = Global().clients.emplace(path, connection);
    if (!inserted && it->second->Alive()) {
        connection->Shutdown(); // another thread connected meanwhile
        return it->second;
    }
    it->second = connection;
    return connection;
}

// The text of a registry value (default value for a null name), or false.
bool ReadText(HKEY root, const std::u16string& path, const char16_t* name, std::u16string& text)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    bool ok = false;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::u16string buffer(size / sizeof(WCHAR) + 1, u'\0');
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) ==
            ERROR_SUCCESS) {
            buffer.resize(size / sizeof(WCHAR));
            while (!buffer.empty() && buffer.back() == 0)
                buffer.pop_back();
            text = buffer;
            ok = true;
        }
    }
    RegCloseKey(key);
    return ok;
}

// Starts the server of `clsid`; `process` is the started program (null
// when a service was asked to start), for the caller to close.
HRESULT StartServer(REFCLSID clsid, HANDLE& process)
{
    process = nullptr;
    std::u16string classKey = u"CLSID\\" + plat::GuidToWideString(clsid);
    std::u16string appId;
    std::u16string service;
    if (ReadText(HKEY_CLASSES_ROOT, classKey, u"AppID", appId) &&
        ReadText(HKEY_CLASSES_ROOT, u"AppID\\" + appId, u"LocalService", service) && !service.empty()) {
        ServiceStarter starter = nullptr;
        {
            std::lock_guard lock(Global().mutex);
            starter = Global().serviceStarter;
        }
        return starter ? starter(service.c_str()) : CO_E_SERVER_EXEC_FAILURE;
    }
    std::u16string command;
    if (!ReadText(HKEY_CLASSES_ROOT, classKey + u"\\LocalServer32", nullptr, command)) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, classKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return REGDB_E_CLASSNOTREG;
        RegCloseKey(key);
        return REGDB_E_CLASSNOTREG;
    }
    command += u" -Embedding";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return CO_E_SERVER_EXEC_FAILURE;
    CloseHandle(started.hThread);
    process = started.hProcess;
    return S_OK;
}

// Waits until the server publishes its class, it ends, or time runs out.
std::shared_ptr<Connection> AwaitServer(const std::string& path, HANDLE process, bool& foreign)
{
    DWORD timeout = 0;
    {
        std::lock_guard lock(Global().mutex);
        timeout = Global().startTimeoutMs;
    }
    const ULONGLONG deadline = plat::GetClock().NowMs() + timeout;
    std::shared_ptr<Connection> connection;
    while (!(connection = Connect(path, foreign)) && !foreign) {
        if (plat::GetClock().NowMs() >= deadline)
            break;
        // A look every 10 ms; a program that ends without publishing ends
        // the wait at once.
        if (!process)
            Sleep(10);
        else if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0)
            break;
    }
    if (process)
        CloseHandle(process);
    return connection;
}

HRESULT GetLocalClassObject(REFCLSID clsid, DWORD, REFIID riid, LPVOID* ppv)
{
    *ppv = nullptr;
    IUnknown* local = nullptr;
    DWORD thread = 0;
    if (FindRegisteredClass(clsid, local, thread)) {
        HRESULT hr = local->QueryInterface(riid, ppv);
        local->Release();
        return hr;
    }
    const std::string path = SocketPath(clsid);
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool foreign = false;
        std::shared_ptr<Connection> connection = Connect(path, foreign);
        if (!connection && !foreign) {
            std::lock_guard start(Global().startMutex);
            connection = Connect(path, foreign); // another thread may have started it
            if (!connection && !foreign) {
                HANDLE process = nullptr;
                HRESULT hr = StartServer(clsid, process);
                if (FAILED(hr))
                    return hr;
                connection = AwaitServer(path, process, foreign);
            }
        }
        // A server of another user never serves this process.
        if (foreign)
            return E_ACCESSDENIED;
        if (!connection)
            return CO_E_SERVER_EXEC_FAILURE;
        HRESULT hr = connection->GetClassObject(clsid, riid, ppv);
        // A server that ended since the last activation: start it again.
        if ((hr == RPC_E_DISCONNECTED || hr == RPC_E_SERVER_DIED) && attempt == 0)
            continue;
        return hr;
    }
    return CO_E_SERVER_EXEC_FAILURE;
}

void ApartmentLeft(plat::com::ApartmentKind kind)
{
    if (kind == plat::com::ApartmentKind::SingleThreaded)
        CloseCurrentApartment();
}

// Installed when the platform library loads.
struct HookInstaller {
    HookInstaller()
    {
        plat::com::ApartmentHooks hooks;
        hooks.left = ApartmentLeft;
        hooks.getLocalClassObject = GetLocalClassObject;
        plat::com::SetApartmentHooks(hooks);
    }
} g_hookInstaller;

} // namespace

bool FindRegisteredClass(REFCLSID clsid, IUnknown*& object, DWORD& thread)
{
    std::lock_guard lock(Global().mutex);
    for (auto& entry : Global().registrations) {
        if (entry.second->clsid == clsid) {
            object = entry.second->object;
            object->AddRef();
            thread = entry.second->thread;
            return true;
        }
    }
    return false;
}

void ForgetConnection(Connection* connection)
{
    std::lock_guard lock(Global().mutex);
    for (auto it = Global().clients.begin(); it != Global().clients.end(); ++it) {
        if (it->second.get() == connection) {
            Global().clients.erase(it);
            return;
        }
    }
}

bool PeerIsKept(DWORD processId)
{
    PeerKeeper keeper = nullptr;
    {
        std::lock_guard lock(Global().mutex);
        keeper = Global().peerKeeper;
    }
    return keeper && keeper(processId);
}

void SetPeerKeeper(PeerKeeper keeper)
{
    std::lock_guard lock(Global().mutex);
    Global().peerKeeper = keeper;
}

CallContext::CallContext(DWORD callerPid) : m_previous(t_caller) { t_caller = callerPid; }
CallContext::~CallContext() { t_caller = m_previous; }
DWORD CallContext::CurrentCaller() { return t_caller; }

void SetServiceStarter(ServiceStarter starter)
{
    std::lock_guard lock(Global().mutex);
    Global().serviceStarter = starter;
}

void SetServerStartTimeout(DWORD milliseconds)
{
    std::lock_guard lock(Global().mutex);
    Global().startTimeoutMs = milliseconds;
}

DWORD GetPeerProcessId(IUnknown* object) { return PeerProcessIdOf(object); }

} // namespace plat::rpc

using namespace plat::rpc;

HRESULT CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext, DWORD, LPDWORD lpdwRegister)
{
    if (!lpdwRegister || !pUnk)
        return E_INVALIDARG;
    *lpdwRegister = 0;
    if (plat::com::CurrentApartment() == plat::com::ApartmentKind::None)
        return CO_E_NOTINITIALIZED;
    {
        IUnknown* existing = nullptr;
        DWORD thread = 0;
        if (FindRegisteredClass(rclsid, existing, thread)) {
            existing->Release();
            return CO_E_OBJISREG;
        }
    }
    auto registration = std::make_unique<Registration>();
    registration->clsid = rclsid;
    registration->thread = CurrentServingThread();
    if (dwClsContext & CLSCTX_LOCAL_SERVER) {
        plat::ServeFromOneHeap();
        plat::EnsureSystemRootLayout(); // the run-time folder of a fresh root
        registration->path = SocketPath(rclsid);
        registration->listenFd = Listen(registration->path);
        if (registration->listenFd < 0)
            return E_FAIL;
    }
    registration->object = pUnk;
    pUnk->AddRef();
    int listenFd = registration->listenFd;
    std::lock_guard lock(Global().mutex);
    if (listenFd >= 0)
        registration->acceptor = std::thread(AcceptLoop, listenFd, registration->slots);
    DWORD cookie = Global().nextCookie++;
    Global().registrations[cookie] = std::move(registration);
    *lpdwRegister = cookie;
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD dwRegister)
{
    std::unique_ptr<Registration> registration;
    {
        std::lock_guard lock(Global().mutex);
        auto it = Global().registrations.find(dwRegister);
        if (it == Global().registrations.end())
            return E_INVALIDARG;
        registration = std::move(it->second);
        Global().registrations.erase(it);
    }
    if (registration->listenFd >= 0) {
        shutdown(registration->listenFd, SHUT_RDWR);
        if (registration->acceptor.joinable())
            registration->acceptor.join();
        close(registration->listenFd);
        unlink(registration->path.c_str());
    }
    registration->object->Release();
    return S_OK;
}

HRESULT CoInitializeSecurity(void*, LONG, SOLE_AUTHENTICATION_SERVICE*, void*, DWORD, DWORD, void*, DWORD, void*)
{
    return S_OK;
}

HRESULT CoGetCallerProcessId(DWORD* pdwProcessId)
{
    if (!pdwProcessId)
        return E_POINTER;
    *pdwProcessId = CallContext::CurrentCaller();
    return *pdwProcessId ? S_OK : RPC_E_WRONG_THREAD;
}
