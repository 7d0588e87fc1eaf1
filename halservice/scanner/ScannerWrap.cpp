#include "halservice/scanner/ScannerWrap.h"

#include "halservice/LogText.h"
#include "halservice/MessageWait.h"
#include "halservice/USBDevice.h"
#include "halservice/interfaces/RNXHALInterfaces.h"

#include <cstring>

namespace {

std::atomic<CScannerWrap*> g_processScanner{nullptr};

HANDLE NewAutoResetEvent() { return CreateEventW(nullptr, FALSE, FALSE, nullptr); }

// Waits for `handle` while dispatching messages, at most `timeoutMs` in
// all: messages that keep arriving do not start the time-out again.
DWORD WaitWithMessagesAtMost(HANDLE handle, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        const DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        const DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
        if (result != WAIT_OBJECT_0 + 1)
            return result;
        DispatchQueuedMessages();
    }
}

} // namespace

CScannerWrap::CScannerWrap() : CTraceClient(u"QBK24 Scanner Thread")
{
    InitializeCriticalSection(&m_requestLock);
    InitializeCriticalSection(&m_recipientsLock);
    InitializeCriticalSection(&m_buttonQueueLock);
    InitializeCriticalSection(&m_clientsLock);
    InitializeCriticalSection(&m_nameLock);

    m_readyEvent = NewAutoResetEvent();
    m_exitEvent = NewAutoResetEvent();
    m_requestEvent = NewAutoResetEvent();
    m_doneEvent = NewAutoResetEvent();
    m_stopEvent = NewAutoResetEvent();
    m_buttonEvent = NewAutoResetEvent();
    m_arrivalEvent = NewAutoResetEvent();
    m_removalEvent = NewAutoResetEvent();

    // The console-session functions are optional: without them every
    // recipient counts as session 0 and the console is found another way.
    m_kernel32 = LoadLibraryW(u"Kernel32.DLL");
    if (m_kernel32) {
        m_getActiveConsoleSessionId =
            reinterpret_cast<GetActiveConsoleSessionIdFn>(GetProcAddress(m_kernel32, "WTSGetActiveConsoleSessionId"));
    }
    m_wtsapi32 = LoadLibraryW(u"Wtsapi32.dll");
    if (m_wtsapi32)
        m_queryUserToken = reinterpret_cast<QueryUserTokenFn>(GetProcAddress(m_wtsapi32, "WTSQueryUserToken"));

    g_processScanner.store(this);
}

CScannerWrap::~CScannerWrap()
{
    CScannerWrap* self = this;
    g_processScanner.compare_exchange_strong(self, nullptr);

    RemoveAllClients();
    // A thread left running would use the session after it is gone.
    StopThread();

    for (auto& [id, sink] : m_buttonRecipients)
        sink->Release();
    m_buttonRecipients.clear();

    for (HANDLE event : {m_readyEvent, m_exitEvent, m_requestEvent, m_doneEvent, m_stopEvent, m_buttonEvent,
                         m_arrivalEvent, m_removalEvent}) {
        if (event)
            CloseHandle(event);
    }
    DeleteCriticalSection(&m_requestLock);
    DeleteCriticalSection(&m_recipientsLock);
    DeleteCriticalSection(&m_buttonQueueLock);
    DeleteCriticalSection(&m_clientsLock);
    DeleteCriticalSection(&m_nameLock);
    if (m_kernel32)
        FreeLibrary(m_kernel32);
    if (m_wtsapi32)
        FreeLibrary(m_wtsapi32);
    delete m_retiredDevice;
}

CScannerWrap* CScannerWrap::ProcessScanner() { return g_processScanner.load(); }

void CScannerWrap::SetSymbolicName(const std::u16string& path)
{
    plat::CriticalSectionGuard lock(m_nameLock);
    m_symbolicName = path;
}

std::u16string CScannerWrap::GetSymbolicName()
{
    plat::CriticalSectionGuard lock(m_nameLock);
    return m_symbolicName;
}

void CScannerWrap::WarnOffline()
{
    if (IsLogging(LOG_WARNING))
        LogWarning(u"Detected scanner off-line");
}

LONG CScannerWrap::Initialize(CScannerClient* client)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Initialize Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Initialize Params: pClient=0x%08X", Hex32(client));

    LONG result = 0;
    {
        plat::CriticalSectionGuard lock(m_clientsLock);
        if (!client || !client->m_joined)
            ++m_clientCount;

        if (!m_thread) {
            ResetEvent(m_readyEvent);
            ResetEvent(m_exitEvent);
            // A request set just as the last thread left its loop was never
            // run, and its block points into a call that has returned: the
            // new thread must not take it.
            ResetEvent(m_requestEvent);
            if (IsLogging(LOG_TRACE))
                LogTrace(u"Starting scanner thread");
            // Requests of an earlier thread that never ran are not waited for.
            m_completed.store(m_issued.load());
            m_thread = CreateThread(nullptr, 0, &CScannerWrap::ScannerThread, this, 0, nullptr);
            if (m_thread)
                WaitWithMessagesAtMost(m_readyEvent, kThreadStartTimeoutMs);
            if (!m_online.load()) {
                WarnOffline();
                StopThread();
                result = -1;
            }
        } else if (!m_online.load()) {
            WarnOffline();
            result = -1;
        }

        if (client)
            client->m_joined = 1;
    }

    if (IsLogging(LOG_TRACE))
        LogTrace(u"Initialize Exit. [0x%08X]", result);
    return result;
}

void CScannerWrap::UnInitialize(CScannerClient* client)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"UnInitialize Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"UnInitialize Params: pClient=0x%08X", Hex32(client));
    {
        plat::CriticalSectionGuard lock(m_clientsLock);
        // More leaves than joins must not wrap the count, or the thread
        // would never be stopped by the last client again.
        if ((!client || client->m_joined) && m_clientCount > 0)
            --m_clientCount;
        if (m_clientCount == 0 || !client)
            StopThread();
        if (client)
            client->m_joined = 0;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"UnInitialize Exit.");
}

void CScannerWrap::StopThread()
{
    if (!m_thread)
        return;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Shutting down scanner thread [0x%08X]", Hex32(m_thread));
    const DWORD threadId = GetThreadId(m_thread);
    SetEvent(m_exitEvent);
    if (WaitWithMessagesAtMost(m_thread, kThreadStopTimeoutMs) != WAIT_OBJECT_0) {
        if (IsLogging(LOG_WARNING))
            LogWarning(u"Scanner thread exit timed out, terminating. ID=[0x%08X]", threadId);
        TerminateThread(m_thread, kTerminatedExitCode);
    }
    CloseHandle(m_thread);
    m_thread = nullptr;
}

bool CScannerWrap::WaitForDone(HANDLE thread)
{
    const HANDLE handles[2] = {m_doneEvent, thread};
    return WaitMultipleWithMessages(thread ? 2 : 1, handles, INFINITE) == WAIT_OBJECT_0;
}

BOOL CScannerWrap::Request(HALRequestType type, const FuncArgs* args)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"Request Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"Request Params: iRequestType=0x%08X, pFuncArgs=0x%08X", static_cast<DWORD>(type), Hex32(args));

    BOOL result = FALSE;
    if (m_online.load() && args) {
        plat::CriticalSectionGuard lock(m_requestLock);
        const bool nested = m_requestDepth > 0;
        ++m_requestDepth;
        const HANDLE thread = m_thread;

        // A call dispatched inside a waiting Request of this thread: the
        // block in flight is not overwritten until the thread has run it.
        bool alive = true;
        while (alive && m_completed.load() < m_issued.load())
            alive = WaitForDone(thread);

        if (alive) {
            m_requestType = type;
            std::memcpy(&m_funcArgs, args, sizeof(FuncArgs));
            const ULONGLONG ticket = m_issued.load() + 1;
            m_issued.store(ticket);
            SetEvent(m_requestEvent);
            while (alive && m_completed.load() < ticket)
                alive = WaitForDone(thread);
            result = m_completed.load() >= ticket;
        }

        --m_requestDepth;
        // The outer wait may have lost its done signal to this call.
        if (nested)
            SetEvent(m_doneEvent);
    }

    if (IsLogging(LOG_TRACE))
        LogTrace(u"Request Exit. [%s]", TrueFalse(result));
    return result;
}

BOOL CScannerWrap::ClientRequest(CScannerClient* client, HALRequestType type, const FuncArgs* args)
{
    if (m_busy.load() && !client->m_holdsLock && FindLockedScannerClientProcess()) {
        if (IsLogging(LOG_WARNING))
            LogWarning(u"Request 0x%08X refused: another client holds the scanner lock", static_cast<DWORD>(type));
        return FALSE;
    }
    return Request(type, args);
}

void CScannerWrap::AddClient(CScannerClient* client)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddClient Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"AddClient Params: pClient = 0x%08X", Hex32(client));
    {
        plat::CriticalSectionGuard lock(m_clientsLock);
        m_clients.push_back(client);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"AddClient Exit.");
}

void CScannerWrap::RemoveClient(CScannerClient* client)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"RemoveClient Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"RemoveClient Params: pClient = 0x%08X", Hex32(client));
    {
        plat::CriticalSectionGuard lock(m_clientsLock);
        for (auto it = m_clients.begin(); it != m_clients.end(); ++it) {
            if (*it != client)
                continue;
            if (client->m_holdsLock)
                UnLockScanner(client);
            if (client->m_joined)
                UnInitialize(client);
            // The calls above may have changed the vector: look again.
            std::erase(m_clients, client);
            break;
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"RemoveClient Exit.");
}

void CScannerWrap::RemoveAllClients()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"RemoveAllClients Entered");
    {
        plat::CriticalSectionGuard lock(m_clientsLock);
        m_clients.clear();
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"RemoveAllClients Exit.");
}

BOOL CScannerWrap::LockScanner(CScannerClient* client)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"LockScanner Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"LockScanner Params: pClient = 0x%0X8", Hex32(client));

    BOOL result = FALSE;
    {
        plat::CriticalSectionGuard lock(m_clientsLock);
        bool take = false;
        if (!m_busy.load()) {
            take = true;
        } else if (!client->m_holdsLock) {
            take = !FindLockedScannerClientProcess();
        } else {
            result = TRUE;
        }
        if (take) {
            m_busy.store(1);
            m_drain.store(1);
            client->m_holdsLock = 1;
            result = TRUE;
        }
        if (result) {
            // The scanner thread keeps the device open for the lock holder.
            FuncArgs args{};
            args.OpenDevice.Open = 1;
            Request(REQ_OPEN_DEVICE, &args);
        }
    }

    if (IsLogging(LOG_TRACE))
        LogTrace(u"LockScanner Exit. [%s]", TrueFalse(result));
    return result;
}

void CScannerWrap::UnLockScanner(CScannerClient* client)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"UnLockScanner Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"UnLockScanner Params: pClient = 0x%08X", Hex32(client));
    {
        plat::CriticalSectionGuard lock(m_clientsLock);
        if (client->m_holdsLock) {
            client->m_holdsLock = 0;
            FuncArgs args{};
            args.OpenDevice.Open = 0;
            Request(REQ_OPEN_DEVICE, &args);
            m_busy.store(0);
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"UnLockScanner Exit.");
}

DWORD CScannerWrap::LockHolderProcess()
{
    plat::CriticalSectionGuard lock(m_clientsLock);
    for (CScannerClient* client : m_clients) {
        if (client->m_holdsLock)
            return client->m_lockOwnerPid;
    }
    return 0;
}

BOOL CScannerWrap::FindLockedScannerClientProcess()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"FindLockedScannerClientProcess Entered");
    BOOL result = FALSE;
    {
        plat::CriticalSectionGuard lock(m_clientsLock);
        for (CScannerClient* client : m_clients) {
            if (!client->m_holdsLock)
                continue;
            HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, client->m_lockOwnerPid);
            if (process) {
                CloseHandle(process);
                result = TRUE;
            } else {
                // The owner has ended without unlocking.
                UnLockScanner(client);
            }
            break;
        }
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"FindLockedScannerClientProcess Exit. [%s]", TrueFalse(result));
    return result;
}
