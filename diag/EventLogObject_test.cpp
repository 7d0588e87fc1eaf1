#include "diag/EventLogObject.h"

#include "diag/FormatWide.h"
#include "diag/TraceClient.h"
#include "platform/com/objbase.h"
#include "platform/kernel/TestClock.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/Window.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/testing/TempSystemRoot.h"
#include "tools/diagnostics/ChangeSignal.h"
#include "tools/diagnostics/DiagnosticsLogFile.h"
#include "tools/diagnostics/DiagnosticsSettings.h"
#include "tools/diagnostics/testing/DiagnosticsStandIn.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <regex>
#include <set>
#include <thread>

namespace {

constexpr const WCHAR* kApp = u"Quillbox K24 HAL";
constexpr auto kRealLimit = std::chrono::seconds(30);

// The log-name registry lives as long as the process: a name a test needs
// fresh is made unique, so the test also passes when repeated.
std::u16string FreshName(const char16_t* name)
{
    static int serial = 0;
    return name + FormatWide(u" %d", ++serial);
}

class CTestDevice : public CTraceClient {
public:
    explicit CTestDevice(const WCHAR* name) : CTraceClient(name) {}
    ~CTestDevice() override { SetLogInterface(nullptr); }

    // A traced method: tests the mask and the sink before its line.
    void Transfer()
    {
        if (IsLogging(LOG_TRACE))
            LogTrace(u"Transfer Entered");
    }
};

// Sees every call into the diagnostics component: counts them, tells the
// watcher's reloads apart, and can fail or hold an operation.
struct ComponentCalls {
    std::mutex lock;
    std::condition_variable changed;
    DWORD testThread = GetCurrentThreadId();
    std::map<std::string, int> counts;
    int watcherReloads = 0;
    DWORD watcherThread = 0;
    std::set<std::string> failing;
    bool holdWatcherReload = false;
    bool holdWatcherStart = false;
    bool holding = false;
    std::function<void()> onRegisterComponent;

    static HRESULT Hook(void* context, const char* operation)
    {
        return static_cast<ComponentCalls*>(context)->Called(operation);
    }

    HRESULT Called(const std::string& operation)
    {
        std::function<void()> action;
        {
            std::unique_lock guard(lock);
            ++counts[operation];
            bool onWatcher = GetCurrentThreadId() != testThread;
            if (operation == "Create" && onWatcher && holdWatcherStart) {
                holding = true;
                changed.notify_all();
                changed.wait(guard, [this] { return !holdWatcherStart; });
                holding = false;
            }
            if (operation == "OpenSettings" && onWatcher) {
                ++watcherReloads;
                watcherThread = GetCurrentThreadId();
                if (holdWatcherReload) {
                    holding = true;
                    changed.notify_all();
                    changed.wait(guard, [this] { return !holdWatcherReload; });
                    holding = false;
                }
            }
            changed.notify_all();
            if (operation == "RegisterComponent")
                action = onRegisterComponent;
            if (failing.count(operation))
                return E_FAIL;
        }
        if (action)
            action();
        return S_OK;
    }

    int Count(const std::string& operation)
    {
        std::lock_guard guard(lock);
        return counts[operation];
    }

    void Release(bool ComponentCalls::*hold)
    {
        {
            std::lock_guard guard(lock);
            this->*hold = false;
        }
        changed.notify_all();
    }
};

// A call that arrives while the thread waits dispatching messages, as a
// client's call reaches the service's main thread: a message to a window of
// the thread runs it.
class DispatchedCall {
public:
    explicit DispatchedCall(std::function<void()> call) : m_call(std::move(call))
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &DispatchedCall::Procedure;
        windowClass.lpszClassName = kClass;
        RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, kClass, u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~DispatchedCall()
    {
        DestroyWindow(m_window);
        UnregisterClassW(kClass, nullptr);
    }
    DispatchedCall(const DispatchedCall&) = delete;
    DispatchedCall& operator=(const DispatchedCall&) = delete;

    bool Post() { return m_window && PostMessageW(m_window, WM_USER, 0, 0); }
    bool ran = false;

private:
    static constexpr const WCHAR* kClass = u"DispatchedCall";

    static LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != WM_USER)
            return DefWindowProcW(window, message, wParam, lParam);
        auto* self = reinterpret_cast<DispatchedCall*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        self->ran = true;
        self->m_call();
        return 0;
    }

    std::function<void()> m_call;
    HWND m_window = nullptr;
};

class EventLogObjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        SetLogApplicationName(kApp);
    }
    void TearDown() override
    {
        EXPECT_TRUE(WaitForLogWatchersToEnd(30000));
        standIn.reset();
        CoUninitialize();
    }

    void InstallComponent()
    {
        standIn.emplace(QBK_DIAGCONFIG_LIBRARY);
        standIn->SetHook(&ComponentCalls::Hook, &calls);
    }

    // The settings a process finds when its sink starts.
    static void Enable(const WCHAR* name, bool enabled = true)
    {
        ASSERT_EQ(diagnostics::SetComponentEnabled(kApp, name, enabled), S_OK);
    }
    static void SetLevels(DWORD mask) { ASSERT_EQ(diagnostics::SetLevelMask(u"RNX Diagnostics", mask), S_OK); }

    // Announces a settings change through the event log and waits until the
    // watcher has reloaded and is waiting again.
    void ChangeSettingsAndWaitForReload()
    {
        int before = 0;
        {
            std::lock_guard guard(calls.lock);
            before = calls.watcherReloads;
        }
        ASSERT_EQ(diagnostics::SignalSettingsChanged(), S_OK);
        WaitForReloadAfter(before);
    }

    void WaitForReloadAfter(int before)
    {
        DWORD watcher = 0;
        {
            std::unique_lock guard(calls.lock);
            ASSERT_TRUE(calls.changed.wait_for(guard, kRealLimit, [&] { return calls.watcherReloads > before; }));
            watcher = calls.watcherThread;
        }
        ASSERT_TRUE(clock->WaitForThreadBlocked(watcher));
    }

    static std::vector<diagnostics::LogFileRecord> Records() { return diagnostics::ReadLogFile(kApp); }

    plat::testing::TempSystemRoot root;
    plat::ScopedTestClock clock;
    ComponentCalls calls;
    std::optional<diagnostics::testing::DiagnosticsStandIn> standIn;
};

TEST_F(EventLogObjectTest, WithoutTheComponentNothingIsTracedAndNothingFails)
{
    CEventLogObject* sink = GetEventLogObject();
    ASSERT_NE(sink, nullptr);
    {
        CTestDevice device(u"Unconfigured Device");
        device.SetLogInterface(sink);
        EXPECT_EQ(device.GetLogMask(), 0u);
        EXPECT_EQ(device.GetDataLogMask(), 0u);
        EXPECT_FALSE(device.IsLogging(LOG_ERROR | LOG_WARNING | LOG_TRACE));
        device.Transfer();
        // Even a line written without the callers' test goes nowhere.
        device.LogError(u"written anyway");
    }
    sink->Write(LOG_ERROR, 1, 2, u"2026-03-04 05:06:07:089", u"Unconfigured Device", u"lost");
    ReleaseEventLogObject();
    EXPECT_FALSE(std::filesystem::exists(diagnostics::LogFilePath(kApp)));
}

TEST_F(EventLogObjectTest, RegisteringANameTwiceAnnouncesItOnceAndGivesTheSameCell)
{
    InstallComponent();
    CEventLogObject* sink = GetEventLogObject();
    const std::u16string name = FreshName(u"Announced Once");
    LogMaskCell* first = sink->RegisterLogName(name);
    LogMaskCell* second = sink->RegisterLogName(name);
    EXPECT_EQ(first, second);
    EXPECT_EQ(calls.Count("RegisterComponent"), 1);

    std::vector<std::u16string> names;
    ASSERT_EQ(diagnostics::ListComponents(kApp, &names), S_OK);
    EXPECT_EQ(names, std::vector<std::u16string>{name});
    ReleaseEventLogObject();
}

TEST_F(EventLogObjectTest, RecordsCarryApplicationIdsTimestampAndExactText)
{
    InstallComponent();
    SetLevels(LOG_ERROR | LOG_WARNING | LOG_TRACE);
    Enable(u"Record Writer");
    Enable(u"Record Writer.Data");
    CEventLogObject* sink = GetEventLogObject();
    {
        CTestDevice device(u"Record Writer");
        device.SetLogInterface(sink);
        ASSERT_TRUE(device.IsLogging(LOG_TRACE));
        ASSERT_TRUE(device.IsDataLogging(LOG_TRACE));
        device.LogTrace(u"Initialize Entered.");
        device.LogDataTrace(u"LockScanner Params: PID = 0x%08X", 0xabcu);
        device.LogError(u"%s failed: %d", u"Read", -5);
    }
    struct Ids {
        DWORD processId, threadId;
        const WCHAR* processText;
        const WCHAR* threadText;
    } ids[] = {
        {0xABCDEF, 1, u"0x00ABCDEF", u"0x00000001"},
        {0xFFFFFFFF, 0, u"0xFFFFFFFF", u"0x00000000"},
        {0xdeadbeef, 0x1a2b, u"0xDEADBEEF", u"0x00001A2B"},
    };
    for (const Ids& id : ids)
        sink->Write(LOG_WARNING, id.processId, id.threadId, u"2026-03-04 05:06:07:089", u"Direct", u"direct line");
    ReleaseEventLogObject();

    auto records = Records();
    ASSERT_EQ(records.size(), 3u + std::size(ids));
    struct Line {
        DWORD level;
        const WCHAR* logName;
        const WCHAR* text;
    } lines[] = {
        {LOG_TRACE, u"Record Writer", u"Initialize Entered."},
        {LOG_TRACE, u"Record Writer.Data", u"LockScanner Params: PID = 0x00000ABC"},
        {LOG_ERROR, u"Record Writer", u"Read failed: -5"},
    };
    const std::regex timestamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3})");
    for (size_t i = 0; i < std::size(lines); ++i) {
        EXPECT_EQ(records[i].application, kApp);
        EXPECT_EQ(records[i].level, lines[i].level);
        EXPECT_EQ(records[i].logName, lines[i].logName);
        EXPECT_EQ(records[i].text, lines[i].text);
        EXPECT_EQ(records[i].processId, FormatWide(u"0x%08X", GetCurrentProcessId()));
        EXPECT_EQ(records[i].threadId, FormatWide(u"0x%08X", GetCurrentThreadId()));
        EXPECT_TRUE(std::regex_match(Utf16ToUtf8(records[i].timestamp), timestamp));
    }
    for (size_t i = 0; i < std::size(ids); ++i) {
        const auto& record = records[std::size(lines) + i];
        EXPECT_EQ(record.processId, ids[i].processText);
        EXPECT_EQ(record.threadId, ids[i].threadText);
        EXPECT_EQ(record.timestamp, u"2026-03-04 05:06:07:089");
        EXPECT_EQ(record.level, LOG_WARNING);
    }
}

TEST_F(EventLogObjectTest, DisablingANameWhileRunningZeroesItsCellAndItsObjectsStopWriting)
{
    InstallComponent();
    SetLevels(LOG_ERROR | LOG_WARNING | LOG_TRACE);
    Enable(u"USB Device");
    CEventLogObject* sink = GetEventLogObject();
    {
        CTestDevice first(u"USB Device"), second(u"USB Device");
        first.SetLogInterface(sink);
        second.SetLogInterface(sink);
        ASSERT_EQ(first.GetLogMask(), 7u);
        first.Transfer();
        second.Transfer();
        ASSERT_EQ(Records().size(), 2u);

        Enable(u"USB Device", false);
        ChangeSettingsAndWaitForReload();
        EXPECT_EQ(first.GetLogMask(), 0u);
        EXPECT_EQ(second.GetLogMask(), 0u);
        first.Transfer();
        second.Transfer();
        EXPECT_EQ(Records().size(), 2u);

        // And back on, with the levels the settings give now.
        SetLevels(LOG_TRACE);
        Enable(u"USB Device");
        ChangeSettingsAndWaitForReload();
        EXPECT_EQ(first.GetLogMask(), LOG_TRACE);
        first.Transfer();
        EXPECT_EQ(Records().size(), 3u);
    }
    ReleaseEventLogObject();
}

TEST_F(EventLogObjectTest, AFailingCallEndsOneReloadAndTheNextReloadStillRuns)
{
    InstallComponent();
    SetLevels(LOG_ERROR);
    const std::u16string name = FreshName(u"Failing Reload");
    Enable(name.c_str());
    {
        std::lock_guard guard(calls.lock);
        calls.failing = {"GetComponents"};
    }
    CEventLogObject* sink = GetEventLogObject(); // its first reload fails half-way
    CTestDevice device(name.c_str());
    device.SetLogInterface(sink);
    EXPECT_EQ(device.GetLogMask(), 0u);

    {
        std::lock_guard guard(calls.lock);
        calls.failing.clear();
    }
    ChangeSettingsAndWaitForReload();
    EXPECT_EQ(device.GetLogMask(), LOG_ERROR);
    device.SetLogInterface(nullptr);
    ReleaseEventLogObject();
}

TEST_F(EventLogObjectTest, AnnouncingANameLetsTheWatcherReloadMeanwhile)
{
    InstallComponent();
    CEventLogObject* sink = GetEventLogObject();
    // The component answers the announcement only after the watcher has
    // finished a reload: a sink lock held across the announcement would
    // stop the reload and this test would time out.
    calls.onRegisterComponent = [this] { ChangeSettingsAndWaitForReload(); };
    sink->RegisterLogName(FreshName(u"Announced During Reload"));
    calls.onRegisterComponent = nullptr;
    EXPECT_EQ(calls.Count("RegisterComponent"), 1);
    ReleaseEventLogObject();
}

TEST_F(EventLogObjectTest, TheLastReleaseWaitsForABusyWatcherAtMost5000Ms)
{
    InstallComponent();
    CEventLogObject* sink = GetEventLogObject();
    ASSERT_NE(sink, nullptr);
    {
        std::lock_guard guard(calls.lock);
        calls.holdWatcherReload = true;
    }
    ASSERT_EQ(diagnostics::SignalSettingsChanged(), S_OK);
    {
        std::unique_lock guard(calls.lock);
        ASSERT_TRUE(calls.changed.wait_for(guard, kRealLimit, [&] { return calls.holding; }));
    }

    std::thread timeKeeper([&] {
        ASSERT_TRUE(clock->WaitForSleepers(1));
        clock->Advance(4999);
        ASSERT_TRUE(clock->WaitForSleepers(1)); // still waiting at 4999 ms
        clock->Advance(1);
    });
    ULONGLONG start = clock->NowMs();
    ReleaseEventLogObject();
    EXPECT_EQ(clock->NowMs() - start, 5000u);
    timeKeeper.join();

    // The watcher finishes its reload on state of its own, then ends.
    {
        std::lock_guard guard(calls.lock);
        calls.holdWatcherReload = false;
    }
    calls.changed.notify_all();
    EXPECT_TRUE(WaitForLogWatchersToEnd(30000));
}

TEST_F(EventLogObjectTest, ACallDispatchedWhileTheSinkIsMadeOrDeletedMayUseTheSink)
{
    InstallComponent();
    CEventLogObject* inner = nullptr;
    DispatchedCall call([&] {
        inner = GetEventLogObject();
        inner->Write(LOG_ERROR, 1, 2, u"2026-03-04 05:06:07:089", u"Inner", u"from the dispatched call");
        ReleaseEventLogObject();
        calls.Release(&ComponentCalls::holdWatcherStart);
        calls.Release(&ComponentCalls::holdWatcherReload);
    });

    // Made: the watcher is held before it starts, so the wait for it
    // dispatches the call.
    calls.holdWatcherStart = true;
    ASSERT_TRUE(call.Post());
    CEventLogObject* outer = GetEventLogObject();
    ASSERT_TRUE(call.ran);
    EXPECT_NE(inner, nullptr);
    EXPECT_EQ(GetEventLogObject(), outer);
    ReleaseEventLogObject();

    // Deleted: the watcher is held in a reload, so the wait for its end
    // dispatches the call, which makes a new sink.
    {
        std::lock_guard guard(calls.lock);
        calls.holdWatcherReload = true;
    }
    ASSERT_EQ(diagnostics::SignalSettingsChanged(), S_OK);
    {
        std::unique_lock guard(calls.lock);
        ASSERT_TRUE(calls.changed.wait_for(guard, kRealLimit, [&] { return calls.holding; }));
    }
    call.ran = false;
    ASSERT_TRUE(call.Post());
    ReleaseEventLogObject();
    EXPECT_TRUE(call.ran);
    EXPECT_TRUE(WaitForLogWatchersToEnd(30000));
}

TEST_F(EventLogObjectTest, ASinkMadeOnAnotherThreadMeanwhileWaitsUntilTheFirstIsSetUp)
{
    InstallComponent();
    const std::u16string name = FreshName(u"Registered While Starting");
    calls.holdWatcherStart = true;
    std::atomic<bool> registered{false};
    std::thread other;
    std::thread helper([&] {
        {
            std::unique_lock guard(calls.lock);
            ASSERT_TRUE(calls.changed.wait_for(guard, kRealLimit, [&] { return calls.holding; }));
        }
        other = std::thread([&] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            GetEventLogObject()->RegisterLogName(name);
            registered = true;
            ReleaseEventLogObject();
            CoUninitialize();
        });
        // Its name could not be announced yet: it must not get that far
        // (given a while to show it).
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(registered);
        calls.Release(&ComponentCalls::holdWatcherStart);
    });
    GetEventLogObject();
    helper.join();
    other.join();
    EXPECT_TRUE(registered);
    EXPECT_EQ(calls.Count("RegisterComponent"), 1);
    ReleaseEventLogObject();
}

TEST_F(EventLogObjectTest, TheSinkLivesUntilItsLastUserReleasesIt)
{
    InstallComponent();
    CEventLogObject* first = GetEventLogObject();
    CEventLogObject* second = GetEventLogObject();
    ASSERT_EQ(first, second);

    ReleaseEventLogObject();
    first->Write(LOG_ERROR, 1, 2, u"2026-03-04 05:06:07:089", u"Shared", u"still forwarded");
    ASSERT_EQ(Records().size(), 1u);

    ReleaseEventLogObject();
    EXPECT_TRUE(WaitForLogWatchersToEnd(30000));
    ReleaseEventLogObject(); // none left: nothing happens

    CEventLogObject* again = GetEventLogObject();
    again->Write(LOG_ERROR, 1, 2, u"2026-03-04 05:06:07:089", u"Shared", u"a new sink");
    ReleaseEventLogObject();
    auto records = Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].text, u"a new sink");
}

} // namespace
