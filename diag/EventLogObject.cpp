#include "diag/EventLogObject.h"

#include "diag/DiagnosticsCalls.h"
#include "diag/DiagnosticsConfig.h"
#include "diag/FormatWide.h"
#include "platform/com/ComPtr.h"
#include "platform/com/GlobalInterfaceTable.h"
#include "platform/com/objbase.h"
#include "platform/eventlog/eventlog.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/Messages.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/Time.h"
#include "platform/kernel/Wait.h"
#include "platform/oleauto/comerror.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

// What the sinks of one generation share with their watcher thread.
struct EventLogSinkState {
    EventLogSinkState() = default;
    EventLogSinkState(const EventLogSinkState&) = delete;
    EventLogSinkState& operator=(const EventLogSinkState&) = delete;
    ~EventLogSinkState()
    {
        if (eventSource)
            DeregisterEventSource(eventSource);
        if (changeEvent)
            CloseHandle(changeEvent);
        if (startEvent)
            CloseHandle(startEvent);
    }

    std::u16string applicationName;
    // Serialises settings reloads.
    std::mutex lock;
    // Registered only to be told when the event log changes.
    HANDLE eventSource = nullptr;
    HANDLE changeEvent = nullptr;
    HANDLE startEvent = nullptr;
    std::atomic<bool> run{false};
    // The component's cookie in the Global Interface Table; 0 when there is none.
    std::atomic<DWORD> objectCookie{0};

    // Set up: the watcher has started (or failed) and the first reload is
    // over. A sink made on another thread meanwhile waits for it, so that
    // its objects' names reach the component. The thread setting up does
    // not: a call its waits dispatch may make a sink too.
    void WaitUntilReady()
    {
        std::unique_lock guard(readyLock);
        readyChanged.wait(guard, [this] { return ready || settingUpThread == GetCurrentThreadId(); });
    }
    void SetReady()
    {
        {
            std::lock_guard guard(readyLock);
            ready = true;
        }
        readyChanged.notify_all();
    }
    std::mutex readyLock;
    std::condition_variable readyChanged;
    bool ready = false;
    DWORD settingUpThread = GetCurrentThreadId();
};

namespace {

constexpr DWORD kWatcherStopLimitMs = 5000;

// Guards the instance count and the shared state's setup and teardown.
std::mutex g_setupLock;
int g_instanceCount = 0;
std::shared_ptr<EventLogSinkState> g_state;
HANDLE g_watcherThread = nullptr;

// The process sink and the number of its users.
std::mutex g_processSinkLock;
CEventLogObject* g_processSink = nullptr;
unsigned g_processSinkUsers = 0;

std::mutex g_applicationNameLock;
std::u16string g_applicationName;

// Watchers still running, for WaitForLogWatchersToEnd.
std::mutex g_watchersLock;
std::condition_variable g_watchersEnded;
int g_runningWatchers = 0;

plat::ComPtr<IGlobalInterfaceTable> GetGlobalInterfaceTable()
{
    plat::ComPtr<IGlobalInterfaceTable> table;
    CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                     table.ReleaseAndGetVoidAddress());
    return table;
}

// The component for the calling thread, or null.
plat::ComPtr<IDiagnosticsConfig> GetObjectForThisThread(DWORD cookie)
{
    plat::ComPtr<IDiagnosticsConfig> object;
    if (cookie == 0)
        return object;
    plat::ComPtr<IGlobalInterfaceTable> table = GetGlobalInterfaceTable();
    if (table)
        table->GetInterfaceFromGlobal(cookie, IID_IDiagnosticsConfig, object.ReleaseAndGetVoidAddress());
    return object;
}

void RevokeCookie(EventLogSinkState& state)
{
    DWORD cookie = state.objectCookie.exchange(0);
    if (cookie == 0)
        return;
    if (plat::ComPtr<IGlobalInterfaceTable> table = GetGlobalInterfaceTable())
        table->RevokeInterfaceFromGlobal(cookie);
}

// Waits for the handle while removing and dispatching the thread's
// messages, so the thread's apartment keeps working. The time-out counts
// from the call, however many messages arrive.
DWORD WaitPumpingMessages(HANDLE handle, DWORD timeoutMs)
{
    ULONGLONG deadline = timeoutMs == INFINITE ? 0 : GetTickCount64() + timeoutMs;
    for (;;) {
        DWORD remaining = INFINITE;
        if (timeoutMs != INFINITE) {
            ULONGLONG now = GetTickCount64();
            remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        }
        DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, remaining, QS_ALLINPUT);
        if (result != WAIT_OBJECT_0 + 1)
            return result;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// Reads the settings from the component. A failing call ends the reload;
// the masks keep what was set so far, and the lock is released on every path.
void ReloadSettings(EventLogSinkState& state, IDiagnosticsConfig* object)
{
    if (!object)
        return;
    std::lock_guard guard(state.lock);
    try {
        DiagnosticsConfigCalls calls(object);
        calls.OpenSettings(u"RNX Diagnostics");
        SetLogMask(calls.GetLogLevelMask());
        plat::ComPtr<IDiagnosticsNameList> list = calls.GetComponents(state.applicationName);
        DiagnosticsNameListCalls names(list.Get());
        // Count is read again for every item: the list may shrink meanwhile.
        for (LONG index = 1; index <= names.Count(); ++index) {
            std::u16string name = names.Item(index);
            if (!FindLogName(GetRegisteredLogNames(), name))
                AddLogName(name);
            if (calls.IsComponentEnabled(state.applicationName, name))
                EnableLogName(name);
            else
                DisableLogName(name);
        }
    } catch (const _com_error&) {
    } catch (const std::bad_alloc&) {
    }
}

void WatcherEnded()
{
    std::lock_guard guard(g_watchersLock);
    --g_runningWatchers;
    g_watchersEnded.notify_all();
}

DWORD WatcherThread(LPVOID parameter)
{
    if (!parameter)
        return 0xFFFFFFFFu;
    {
        // The thread's own reference to the shared state.
        std::unique_ptr<std::shared_ptr<EventLogSinkState>> owner(
            static_cast<std::shared_ptr<EventLogSinkState>*>(parameter));
        EventLogSinkState& state = **owner;

        HRESULT entered = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        plat::ComPtr<IDiagnosticsConfig> object;
        HRESULT hr = CoCreateInstance(CLSID_DiagnosticsConfig, nullptr, CLSCTX_ALL, IID_IDiagnosticsConfig,
                                      object.ReleaseAndGetVoidAddress());
        if (SUCCEEDED(hr) && object) {
            RevokeCookie(state);
            DWORD cookie = 0;
            plat::ComPtr<IGlobalInterfaceTable> table = GetGlobalInterfaceTable();
            hr = table ? table->RegisterInterfaceInGlobal(object.Get(), IID_IDiagnosticsConfig, &cookie) : E_UNEXPECTED;
            if (FAILED(hr))
                object.Reset();
            else
                state.objectCookie = cookie;
        }
        SetEvent(state.startEvent);

        if (object) {
            while (state.run) {
                WaitPumpingMessages(state.changeEvent, INFINITE);
                if (!state.run)
                    break;
                ReloadSettings(state, object.Get());
            }
            RevokeCookie(state);
            object.Reset();
            SetEvent(state.startEvent);
        }
        if (SUCCEEDED(entered))
            CoUninitialize();
    }
    WatcherEnded();
    return 0;
}

// Announces a name new to the process to the component, on the calling
// thread, holding no lock of the sink.
void AnnounceLogName(const std::weak_ptr<EventLogSinkState>& weakState, const std::u16string& name)
{
    std::shared_ptr<EventLogSinkState> state = weakState.lock();
    if (!state)
        return;
    plat::ComPtr<IDiagnosticsConfig> object = GetObjectForThisThread(state->objectCookie);
    if (object)
        DiagnosticsConfigCalls(object.Get()).RegisterComponent(state->applicationName, name);
}

} // namespace

CEventLogObject::CEventLogObject()
{
    // Set when this instance sets the shared state up.
    std::shared_ptr<EventLogSinkState> state;
    bool watcherStarting = false;
    {
        std::lock_guard setup(g_setupLock);
        if (g_instanceCount == 0) {
            state = std::make_shared<EventLogSinkState>();
            {
                std::lock_guard guard(g_applicationNameLock);
                state->applicationName = g_applicationName;
            }
            std::u16string source = FormatWide(u"%s.%s", u"RNX Configure", u"Configure");
            state->eventSource = RegisterEventSourceW(nullptr, source.c_str());
            if (state->eventSource) {
                state->changeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
                state->startEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
                if (state->changeEvent && state->startEvent &&
                    NotifyChangeEventLog(state->eventSource, state->changeEvent)) {
                    state->run = true;
                    auto* parameter = new std::shared_ptr<EventLogSinkState>(state);
                    {
                        std::lock_guard guard(g_watchersLock);
                        ++g_runningWatchers;
                    }
                    g_watcherThread = CreateThread(nullptr, 0, WatcherThread, parameter, 0, nullptr);
                    watcherStarting = g_watcherThread != nullptr;
                    if (!watcherStarting) {
                        delete parameter;
                        state->run = false;
                        WatcherEnded();
                    }
                }
            }
            std::weak_ptr<EventLogSinkState> weakState = state;
            LogNameRegistry::Process().SetAnnouncer(
                [weakState](const std::u16string& name) { AnnounceLogName(weakState, name); });
            g_state = state;
        }
        m_state = g_state;
        ++g_instanceCount;
    }
    if (!state) {
        m_state->WaitUntilReady();
        return;
    }

    // Outside the setup lock: the wait dispatches this thread's messages,
    // and a call they run may make or release a sink on this very thread.
    if (watcherStarting)
        WaitPumpingMessages(state->startEvent, INFINITE);
    if (plat::ComPtr<IDiagnosticsConfig> object = GetObjectForThisThread(state->objectCookie))
        ReloadSettings(*state, object.Get());
    state->SetReady();
}

CEventLogObject::~CEventLogObject()
{
    HANDLE watcher = nullptr;
    {
        std::lock_guard setup(g_setupLock);
        if (--g_instanceCount > 0)
            return;
        LogNameRegistry::Process().SetAnnouncer(nullptr);
        // The event source, the events and the lock go with the last
        // reference: this one, or the watcher's when it is still busy.
        std::shared_ptr<EventLogSinkState> state = std::move(g_state);
        state->run = false;
        if (state->changeEvent)
            SetEvent(state->changeEvent);
        watcher = std::exchange(g_watcherThread, nullptr);
    }
    if (watcher) {
        // Outside the setup lock, as in the constructor: a sink made while
        // this one waits starts a state and a watcher of its own.
        WaitPumpingMessages(watcher, kWatcherStopLimitMs);
        CloseHandle(watcher);
    }
}

LogMaskCell* CEventLogObject::RegisterLogName(std::u16string name)
{
    // The registry claims a new name under its own lock and calls the
    // announcer after releasing it.
    return ::RegisterLogName(name);
}

void CEventLogObject::Write(DWORD level, DWORD processId, DWORD threadId, const WCHAR* timestamp, const WCHAR* logName,
                            const WCHAR* text)
{
    if (m_state->objectCookie == 0)
        return;
    plat::ComPtr<IDiagnosticsConfig> object = GetObjectForThisThread(m_state->objectCookie);
    if (!object)
        return;
    try {
        std::u16string processIdText = FormatWide(u"0x%08X", processId);
        std::u16string threadIdText = FormatWide(u"0x%08X", threadId);
        DiagnosticsConfigCalls(object.Get())
            .WriteLog(m_state->applicationName, level, logName ? logName : u"", timestamp ? timestamp : u"",
                      processIdText, threadIdText, text ? text : u"");
    } catch (const _com_error&) {
        // A record the component refuses is lost, like one it cannot get.
    } catch (const std::bad_alloc&) {
    }
}

CEventLogObject* GetEventLogObject()
{
    {
        std::lock_guard guard(g_processSinkLock);
        if (g_processSink) {
            ++g_processSinkUsers;
            return g_processSink;
        }
    }
    // Made outside the lock: making it dispatches this thread's messages,
    // and a call they run may ask for the sink too. When such a call (or
    // another thread) has put a sink in place first, this one, which only
    // shares its state, is deleted again.
    auto made = std::make_unique<CEventLogObject>();
    std::lock_guard guard(g_processSinkLock);
    if (!g_processSink)
        g_processSink = made.release();
    ++g_processSinkUsers;
    return g_processSink;
}

void ReleaseEventLogObject()
{
    CEventLogObject* sink = nullptr;
    {
        std::lock_guard guard(g_processSinkLock);
        if (!g_processSink || --g_processSinkUsers > 0)
            return;
        sink = g_processSink;
        g_processSink = nullptr;
    }
    delete sink;
}

void SetLogApplicationName(const WCHAR* name)
{
    std::lock_guard guard(g_applicationNameLock);
    g_applicationName = name ? name : u"";
}

bool WaitForLogWatchersToEnd(unsigned realLimitMs)
{
    std::unique_lock guard(g_watchersLock);
    return g_watchersEnded.wait_for(guard, std::chrono::milliseconds(realLimitMs),
                                    [] { return g_runningWatchers == 0; });
}
