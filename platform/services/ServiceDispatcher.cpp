// The service program's side: the dispatcher on the program's first thread,
// ServiceMain on a thread of its own, and the status the service reports.
#include "platform/base/lasterror.h"
#include "platform/base/serverheap.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/devices/DeviceNotification.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/Wait.h"
#include "platform/services/ScopedFd.h"
#include "platform/services/ServiceChannel.h"
#include "platform/services/ServiceControl.h"
#include "platform/services/ServiceDatabase.h"
#include "platform/services/ServiceLauncher.h"
#include "platform/services/ServiceRuntime.h"
#include "platform/services/winsvc.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace plat::services;

namespace {

struct ServiceEntry {
    std::u16string name;
    std::u16string tableName;
    LPSERVICE_MAIN_FUNCTIONW mainW = nullptr;
    LPSERVICE_MAIN_FUNCTIONA mainA = nullptr;
    std::vector<std::u16string> args; // args[0] is the service name
    LPHANDLER_FUNCTION_EX handlerEx = nullptr;
    LPHANDLER_FUNCTION handler = nullptr;
    void* context = nullptr;
    SERVICE_STATUS_PROCESS status = {};
};

// One service per process (services of their own process).
struct DispatcherState {
    std::mutex lock;
    bool active = false;
    ServiceEntry entry;
    int wakeWrite = -1;
};

DispatcherState& State()
{
    static DispatcherState state;
    return state;
}

// The status handle is this token: there is only one service to name.
SERVICE_STATUS_HANDLE StatusToken()
{
    static char token;
    return reinterpret_cast<SERVICE_STATUS_HANDLE>(&token);
}

volatile sig_atomic_t g_signalWrite = -1;

void OnTerminateSignal(int)
{
    int saved = errno;
    if (g_signalWrite >= 0)
        (void)!write(g_signalWrite, "T", 1);
    errno = saved;
}

bool IsOpenFd(int fd) { return fd >= 0 && fcntl(fd, F_GETFD) >= 0; }

std::optional<int> FdFromEnvironment(const char* name)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return std::nullopt;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (*end || value < 0 || value > 1 << 20 || !IsOpenFd(static_cast<int>(value)))
        return std::nullopt;
    return static_cast<int>(value);
}

DWORD ServiceMainThread(LPVOID parameter)
{
    auto* entry = static_cast<ServiceEntry*>(parameter);
    if (entry->mainW) {
        std::vector<WCHAR*> argv;
        for (auto& arg : entry->args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        entry->mainW(static_cast<DWORD>(entry->args.size()), argv.data());
    } else {
        std::vector<std::string> narrow;
        for (const auto& arg : entry->args)
            narrow.push_back(Utf16ToUtf8(arg));
        std::vector<char*> argv;
        for (auto& arg : narrow)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        entry->mainA(static_cast<DWORD>(narrow.size()), argv.data());
    }
    return 0;
}

bool IsSystemControl(DWORD control) { return control == SERVICE_CONTROL_DEVICEEVENT; }

DWORD AcceptFlagFor(DWORD control)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
        return SERVICE_ACCEPT_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        return SERVICE_ACCEPT_PAUSE_CONTINUE;
    case SERVICE_CONTROL_SHUTDOWN:
        return SERVICE_ACCEPT_SHUTDOWN;
    case SERVICE_CONTROL_PARAMCHANGE:
        return SERVICE_ACCEPT_PARAMCHANGE;
    case SERVICE_CONTROL_NETBINDADD:
    case SERVICE_CONTROL_NETBINDREMOVE:
    case SERVICE_CONTROL_NETBINDENABLE:
    case SERVICE_CONTROL_NETBINDDISABLE:
        return SERVICE_ACCEPT_NETBINDCHANGE;
    case SERVICE_CONTROL_HARDWAREPROFILECHANGE:
        return SERVICE_ACCEPT_HARDWAREPROFILECHANGE;
    case SERVICE_CONTROL_POWEREVENT:
        return SERVICE_ACCEPT_POWEREVENT;
    case SERVICE_CONTROL_SESSIONCHANGE:
        return SERVICE_ACCEPT_SESSIONCHANGE;
    case SERVICE_CONTROL_PRESHUTDOWN:
        return SERVICE_ACCEPT_PRESHUTDOWN;
    default:
        return 0; // interrogate and the user-defined controls need no flag
    }
}

// Runs one control through the handler, on the dispatcher's thread.
ControlReply HandleControl(const ControlRequest& request)
{
    DispatcherState& state = State();
    ControlReply reply;
    LPHANDLER_FUNCTION_EX handlerEx;
    LPHANDLER_FUNCTION handler;
    void* context;
    {
        std::lock_guard guard(state.lock);
        reply.status = state.entry.status;
        DWORD current = state.entry.status.dwCurrentState;
        DWORD needed = AcceptFlagFor(request.control);
        if (current == SERVICE_STOPPED)
            reply.error = ERROR_SERVICE_NOT_ACTIVE;
        else if (!state.entry.handlerEx && !state.entry.handler)
            reply.error = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        else if (!IsSystemControl(request.control) &&
                 (current == SERVICE_START_PENDING || current == SERVICE_STOP_PENDING ||
                  (needed && !(state.entry.status.dwControlsAccepted & needed))))
            reply.error = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        if (reply.error != ERROR_SUCCESS)
            return reply;
        handlerEx = state.entry.handlerEx;
        handler = state.entry.handler;
        context = state.entry.context;
    }

    // The block reaches the handler in memory aligned for any record.
    std::vector<unsigned long long> aligned((request.data.size() + 7) / 8);
    if (!request.data.empty())
        std::memcpy(aligned.data(), request.data.data(), request.data.size());
    void* data = request.data.empty() ? nullptr : aligned.data();
    if (handlerEx)
        reply.error = handlerEx(request.control, request.eventType, data, context);
    else
        handler(request.control);

    std::lock_guard guard(state.lock);
    reply.status = state.entry.status;
    return reply;
}

// SIGTERM: stop when the service takes it, else shutdown.
void HandleTerminateSignal()
{
    DWORD accepted;
    {
        std::lock_guard guard(State().lock);
        accepted = State().entry.status.dwControlsAccepted;
    }
    ControlRequest request;
    request.control = (accepted & SERVICE_ACCEPT_STOP) || !(accepted & SERVICE_ACCEPT_SHUTDOWN)
                          ? SERVICE_CONTROL_STOP
                          : SERVICE_CONTROL_SHUTDOWN;
    ControlReply reply = HandleControl(request);
    if (reply.error != ERROR_SUCCESS)
        std::fprintf(stderr, "service: SIGTERM not taken by the service (error %u)\n", reply.error);
    // A second SIGTERM ends the process.
    signal(SIGTERM, SIG_DFL);
}

bool ServiceStopped()
{
    std::lock_guard guard(State().lock);
    return State().entry.status.dwCurrentState == SERVICE_STOPPED;
}

void DrainPipe(int fd, bool& sawSignal)
{
    char buffer[64];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        sawSignal = true;
}

void RunControlLoop(int listener, int wakeRead, int signalRead)
{
    while (!ServiceStopped()) {
        pollfd entries[3] = {{listener, POLLIN, 0}, {wakeRead, POLLIN, 0}, {signalRead, POLLIN, 0}};
        int ready = poll(entries, 3, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::perror("service: poll");
            return;
        }
        bool woken = false;
        if (entries[1].revents)
            DrainPipe(wakeRead, woken);
        bool signalled = false;
        if (entries[2].revents)
            DrainPipe(signalRead, signalled);
        if (signalled)
            HandleTerminateSignal();
        if (entries[0].revents & POLLIN) {
            ScopedFd connection(accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
            ControlRequest request;
            if (connection.Get() >= 0 && ReadControlRequest(connection.Get(), request))
                WriteControlReply(connection.Get(), HandleControl(request));
        }
    }
}

// Device notices registered on the status handle reach the handler the way
// every control does: through the control socket to the dispatcher's thread.
void DeliverDeviceEvent(HANDLE statusHandle, DWORD eventType, void* eventData)
{
    std::u16string name;
    {
        std::lock_guard guard(State().lock);
        if (!State().active || statusHandle != reinterpret_cast<HANDLE>(StatusToken()))
            return;
        name = State().entry.name;
    }
    DWORD error = plat::SendServiceDeviceEvent(name, eventType, eventData);
    if (error != ERROR_SUCCESS)
        std::fprintf(stderr, "service: device event %#x not delivered (error %u)\n", eventType, error);
}

struct TableEntry {
    std::u16string name;
    LPSERVICE_MAIN_FUNCTIONW mainW;
    LPSERVICE_MAIN_FUNCTIONA mainA;
};

BOOL RunDispatcher(const std::vector<TableEntry>& table)
{
    if (table.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DispatcherState& state = State();
    {
        std::lock_guard guard(state.lock);
        if (state.active) {
            SetLastError(ERROR_SERVICE_ALREADY_RUNNING);
            return FALSE;
        }
    }
    plat::ServeFromOneHeap(); // before the service's threads start
    const char* nameText = std::getenv(kServiceNameVariable);
    std::optional<int> lockFd = FdFromEnvironment(kServiceLockFdVariable);
    std::optional<int> readyFd = FdFromEnvironment(kServiceReadyFdVariable);
    if (!nameText || !*nameText || !lockFd || !readyFd) {
        SetLastError(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
        return FALSE;
    }
    std::u16string name = Utf8ToUtf16(nameText);
    const char* argsText = std::getenv(kServiceArgsVariable);
    std::vector<std::u16string> args = DecodeArguments(argsText ? argsText : "");
    for (const char* variable :
         {kServiceNameVariable, kServiceArgsVariable, kServiceLockFdVariable, kServiceReadyFdVariable})
        unsetenv(variable);
    ScopedFd lock(*lockFd);
    ScopedFd ready(*readyFd);
    fcntl(lock.Get(), F_SETFD, FD_CLOEXEC);
    fcntl(ready.Get(), F_SETFD, FD_CLOEXEC);

    const TableEntry* chosen = &table[0];
    for (const auto& entry : table) {
        if (SameName(entry.name, name)) {
            chosen = &entry;
            break;
        }
    }

    std::string socketPath = SocketPath(name);
    ScopedFd listener(ListenControlSocket(socketPath));
    int wakeFds[2], signalFds[2];
    if (listener.Get() < 0 || pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        SetLastError(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
        return FALSE;
    }
    ScopedFd wakeRead(wakeFds[0]), wakeWrite(wakeFds[1]);
    if (pipe2(signalFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        SetLastError(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
        return FALSE;
    }
    ScopedFd signalRead(signalFds[0]), signalWrite(signalFds[1]);

    {
        std::lock_guard guard(state.lock);
        state.active = true;
        state.wakeWrite = wakeWrite.Get();
        state.entry = ServiceEntry{};
        state.entry.name = name;
        state.entry.tableName = chosen->name;
        state.entry.mainW = chosen->mainW;
        state.entry.mainA = chosen->mainA;
        state.entry.args.push_back(name);
        state.entry.args.insert(state.entry.args.end(), args.begin(), args.end());
        state.entry.status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        state.entry.status.dwCurrentState = SERVICE_START_PENDING;
        state.entry.status.dwProcessId = static_cast<DWORD>(getpid());
        WriteStatusFile(name, state.entry.status);
    }

    g_signalWrite = signalWrite.Get();
    struct sigaction action = {};
    action.sa_handler = OnTerminateSignal;
    sigemptyset(&action.sa_mask);
    struct sigaction previous = {};
    sigaction(SIGTERM, &action, &previous);

    plat::devices::SetServiceDeviceEventSink(DeliverDeviceEvent);
    HANDLE thread = CreateThread(nullptr, 0, ServiceMainThread, &state.entry, 0, nullptr);
    if (!thread) {
        std::lock_guard guard(state.lock);
        state.entry.status.dwCurrentState = SERVICE_STOPPED;
        state.entry.status.dwWin32ExitCode = ERROR_SERVICE_NO_THREAD;
        WriteStatusFile(name, state.entry.status);
    }
    (void)!write(ready.Get(), &kReadyMessage, 1);
    ready.Reset();

    RunControlLoop(listener.Get(), wakeRead.Get(), signalRead.Get());

    plat::devices::SetServiceDeviceEventSink(nullptr);
    listener.Reset();
    unlink(socketPath.c_str());
    sigaction(SIGTERM, &previous, nullptr);
    g_signalWrite = -1;
    if (thread) {
        // ServiceMain normally returns right after reporting stopped.
        if (WaitForSingleObject(thread, 5000) != WAIT_OBJECT_0)
            std::fprintf(stderr, "service: ServiceMain still runs after the service stopped\n");
        CloseHandle(thread);
    }
    auto config = ReadService(name);
    if (config && config->markedForDelete) {
        lock.Reset(); // no longer this service's process: its files may go
        RemoveService(name);
    }
    {
        std::lock_guard guard(state.lock);
        state.active = false;
        state.wakeWrite = -1;
    }
    return TRUE;
}

} // namespace

extern "C" {

BOOL StartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* lpServiceStartTable)
{
    if (!lpServiceStartTable) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<TableEntry> table;
    for (const SERVICE_TABLE_ENTRYW* entry = lpServiceStartTable; entry->lpServiceName && entry->lpServiceProc; ++entry)
        table.push_back({entry->lpServiceName, entry->lpServiceProc, nullptr});
    return RunDispatcher(table);
}

BOOL StartServiceCtrlDispatcherA(const SERVICE_TABLE_ENTRYA* lpServiceStartTable)
{
    if (!lpServiceStartTable) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<TableEntry> table;
    for (const SERVICE_TABLE_ENTRYA* entry = lpServiceStartTable; entry->lpServiceName && entry->lpServiceProc; ++entry)
        table.push_back({Utf8ToUtf16(entry->lpServiceName), nullptr, entry->lpServiceProc});
    return RunDispatcher(table);
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExW(LPCWSTR lpServiceName, LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                    LPVOID lpContext)
{
    if (!lpHandlerProc || !lpServiceName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DispatcherState& state = State();
    std::lock_guard guard(state.lock);
    if (!state.active ||
        (!SameName(lpServiceName, state.entry.name) && !SameName(lpServiceName, state.entry.tableName))) {
        SetLastError(ERROR_SERVICE_NOT_IN_EXE);
        return nullptr;
    }
    state.entry.handlerEx = lpHandlerProc;
    state.entry.handler = nullptr;
    state.entry.context = lpContext;
    return StatusToken();
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExA(LPCSTR lpServiceName, LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                    LPVOID lpContext)
{
    std::u16string name = lpServiceName ? Utf8ToUtf16(lpServiceName) : std::u16string();
    return RegisterServiceCtrlHandlerExW(lpServiceName ? name.c_str() : nullptr, lpHandlerProc, lpContext);
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerW(LPCWSTR lpServiceName, LPHANDLER_FUNCTION lpHandlerProc)
{
    if (!lpHandlerProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Registered through the Ex form with a placeholder, then made plain.
    auto placeholder = [](DWORD, DWORD, LPVOID, LPVOID) -> DWORD { return ERROR_SUCCESS; };
    SERVICE_STATUS_HANDLE handle = RegisterServiceCtrlHandlerExW(lpServiceName, placeholder, nullptr);
    if (handle) {
        std::lock_guard guard(State().lock);
        State().entry.handlerEx = nullptr;
        State().entry.handler = lpHandlerProc;
    }
    return handle;
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerA(LPCSTR lpServiceName, LPHANDLER_FUNCTION lpHandlerProc)
{
    std::u16string name = lpServiceName ? Utf8ToUtf16(lpServiceName) : std::u16string();
    return RegisterServiceCtrlHandlerW(lpServiceName ? name.c_str() : nullptr, lpHandlerProc);
}

BOOL SetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, LPSERVICE_STATUS lpServiceStatus)
{
    DispatcherState& state = State();
    std::lock_guard guard(state.lock);
    if (hServiceStatus != StatusToken() || !state.active) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpServiceStatus || lpServiceStatus->dwCurrentState < SERVICE_STOPPED ||
        lpServiceStatus->dwCurrentState > SERVICE_PAUSED) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    SERVICE_STATUS_PROCESS& status = state.entry.status;
    status.dwServiceType = lpServiceStatus->dwServiceType;
    status.dwCurrentState = lpServiceStatus->dwCurrentState;
    status.dwControlsAccepted =
        lpServiceStatus->dwCurrentState == SERVICE_STOPPED ? 0 : lpServiceStatus->dwControlsAccepted;
    status.dwWin32ExitCode = lpServiceStatus->dwWin32ExitCode;
    status.dwServiceSpecificExitCode = lpServiceStatus->dwServiceSpecificExitCode;
    status.dwCheckPoint = lpServiceStatus->dwCheckPoint;
    status.dwWaitHint = lpServiceStatus->dwWaitHint;
    WriteStatusFile(state.entry.name, status);
    if (status.dwCurrentState == SERVICE_STOPPED && state.wakeWrite >= 0)
        (void)!write(state.wakeWrite, "S", 1);
    return TRUE;
}

} // extern "C"
