#include "platform/kernel/TestClock.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// What a window procedure saw, and on which thread.
struct Seen {
    UINT message;
    WPARAM wParam;
    DWORD threadId;
};
std::mutex g_seenMutex;
std::vector<Seen> g_seen;

void Record(UINT message, WPARAM wParam)
{
    std::lock_guard lock(g_seenMutex);
    g_seen.push_back({message, wParam, GetCurrentThreadId()});
}

std::vector<Seen> TakeSeen()
{
    std::lock_guard lock(g_seenMutex);
    return std::exchange(g_seen, {});
}

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER || message == WM_TIMER) {
        Record(message, wParam);
        return static_cast<LRESULT>(wParam) * 10;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND MakeWindow()
{
    static const ATOM atom = [] {
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof(cls);
        cls.lpfnWndProc = RecordingProc;
        cls.lpszClassName = u"QbkMessagesTestWindow";
        return RegisterClassExW(&cls);
    }();
    EXPECT_NE(atom, 0);
    return CreateWindowExW(0, u"QbkMessagesTestWindow", u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

// Waits (in real time, bounded) for a condition other threads bring about.
bool Eventually(const std::function<bool()>& condition)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::yield();
    }
    return true;
}

size_t SeenCount()
{
    std::lock_guard lock(g_seenMutex);
    return g_seen.size();
}

// The loop the drivers wait with: wait for the handle or input; on input
// remove and dispatch everything, then wait again. Thread messages are
// recorded here (they reach no window procedure).
DWORD WaitPumping(HANDLE handle)
{
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT);
        if (result != WAIT_OBJECT_0 + 1)
            return result;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!msg.hwnd)
                Record(msg.message, msg.wParam);
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

TEST(Messages, PumpingWaitServesPostedAndWindowMessagesAndEndsOnItsEvent)
{
    plat::ScopedTestClock clock;
    TakeSeen();
    HANDLE stop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<HWND> window{nullptr};
    std::atomic<DWORD> workerId{0};
    std::atomic<DWORD> waitResult{0xDEAD};
    std::thread worker([&] {
        workerId = GetCurrentThreadId();
        window = MakeWindow();
        waitResult = WaitPumping(stop);
        DestroyWindow(window);
    });
    while (!window)
        std::this_thread::yield();

    ASSERT_TRUE(clock->WaitForThreadBlocked(workerId));
    ASSERT_TRUE(PostThreadMessageW(workerId, WM_USER + 1, 1, 0));
    ASSERT_TRUE(PostMessageW(window, WM_USER + 2, 2, 0));
    // Sent from here, answered by the worker while it waits.
    EXPECT_EQ(SendMessageW(window, WM_USER + 3, 3, 0), 30);
    ASSERT_TRUE(Eventually([] { return SeenCount() == 3; }));
    ASSERT_TRUE(clock->WaitForThreadBlocked(workerId));
    EXPECT_EQ(waitResult.load(), 0xDEADu);

    SetEvent(stop);
    worker.join();
    EXPECT_EQ(waitResult.load(), WAIT_OBJECT_0);
    std::vector<Seen> seen = TakeSeen();
    std::sort(seen.begin(), seen.end(), [](const Seen& a, const Seen& b) { return a.message < b.message; });
    ASSERT_EQ(seen.size(), 3u);
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].message, WM_USER + 1 + i);
        EXPECT_EQ(seen[i].threadId, workerId.load());
    }
    CloseHandle(stop);
}

TEST(Messages, AlreadyQueuedInputEndsTheWaitAtOnceButHandlesComeFirst)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(PostMessageW(nullptr, WM_USER, 0, 0));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)); // seen, still queued
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLPOSTMESSAGE), WAIT_OBJECT_0);
    // Input the mask does not ask for does not count.
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_TIMER), WAIT_TIMEOUT);
    SetEvent(event);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0);
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    CloseHandle(event);
}

TEST(Messages, PeekFiltersByWindowAndRange)
{
    HWND window = MakeWindow();
    ASSERT_NE(window, nullptr);
    struct Post {
        HWND hwnd;
        UINT message;
    };
    const Post posts[] = {{nullptr, WM_USER + 1}, {window, WM_USER + 2}, {nullptr, WM_USER + 3}, {window, WM_USER + 4}};
    struct Case {
        const char* name;
        HWND filter;
        UINT min, max;
        std::vector<UINT> expected; // in the order removed
    };
    const Case cases[] = {
        {"everything", nullptr, 0, 0, {WM_USER + 1, WM_USER + 2, WM_USER + 3, WM_USER + 4}},
        {"the window", window, 0, 0, {WM_USER + 2, WM_USER + 4}},
        {"thread messages", HWND_THREAD_MESSAGES, 0, 0, {WM_USER + 1, WM_USER + 3}},
        {"range", nullptr, WM_USER + 2, WM_USER + 3, {WM_USER + 2, WM_USER + 3}},
        {"window and range", window, WM_USER + 3, WM_USER + 9, {WM_USER + 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const Post& p : posts)
            ASSERT_TRUE(PostMessageW(p.hwnd, p.message, 0, 0));
        MSG msg;
        ASSERT_TRUE(PeekMessageW(&msg, c.filter, c.min, c.max, PM_NOREMOVE));
        EXPECT_EQ(msg.message, c.expected.front()); // NOREMOVE leaves it for the next look
        std::vector<UINT> taken;
        while (PeekMessageW(&msg, c.filter, c.min, c.max, PM_REMOVE))
            taken.push_back(msg.message);
        EXPECT_EQ(taken, c.expected);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    DestroyWindow(window);
}

TEST(Messages, AQueueThatNobodyEmptiesStopsTakingPosts)
{
    for (size_t i = 0; i < plat::kMaxPostedMessages; ++i)
        ASSERT_TRUE(PostMessageW(nullptr, WM_USER, i, 0));
    EXPECT_FALSE(PostMessageW(nullptr, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_QUOTA));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_TRUE(PostMessageW(nullptr, WM_USER, 0, 0)); // room again
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

TEST(Messages, GetMessageReturnsZeroForQuitAfterThePostedMessages)
{
    std::vector<UINT> order;
    std::atomic<int> code{0};
    std::thread([&] {
        PostMessageW(nullptr, WM_USER, 0, 0);
        PostQuitMessage(3);
        PostMessageW(nullptr, WM_USER + 1, 0, 0);
        MSG msg;
        BOOL result;
        while ((result = GetMessageW(&msg, nullptr, 0, 0)) > 0)
            order.push_back(msg.message);
        EXPECT_EQ(result, FALSE);
        EXPECT_EQ(msg.message, WM_QUIT);
        code = static_cast<int>(msg.wParam);
    }).join();
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_USER + 1}));
    EXPECT_EQ(code, 3);
}

TEST(Messages, PostingToAThreadWithoutQueueFailsUntilItMakesOne)
{
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE posted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD> id{0};
    UINT received = 0;
    std::thread worker([&] {
        id = GetCurrentThreadId();
        WaitForSingleObject(ready, INFINITE);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        SetEvent(posted);
        GetMessageW(&msg, nullptr, 0, 0);
        received = msg.message;
    });
    while (!id)
        std::this_thread::yield();
    EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
    SetEvent(ready);
    WaitForSingleObject(posted, INFINITE);
    EXPECT_TRUE(PostThreadMessageW(id, WM_USER + 5, 0, 0));
    worker.join();
    EXPECT_EQ(received, WM_USER + 5);
    // The thread has ended: its queue is gone.
    EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 0, 0));
    CloseHandle(ready);
    CloseHandle(posted);
}

// The window's thread sends back to a window of the waiting sender; the
// sender serves that call inside its own SendMessage.
TEST(Messages, SendMessageAcrossThreadsServesSendsToTheWaitingSender)
{
    TakeSeen();
    HWND local = MakeWindow();
    std::atomic<HWND> remote{nullptr};
    HANDLE stop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    static std::atomic<HWND> s_callBack{nullptr};
    s_callBack = local;
    std::thread worker([&] {
        WNDCLASSW cls{};
        cls.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (message == WM_USER + 7)
                return SendMessageW(s_callBack, WM_USER + 8, wParam + 1, 0) + 1;
            return DefWindowProcW(hwnd, message, wParam, lParam);
        };
        cls.lpszClassName = u"QbkCallBackWindow";
        RegisterClassW(&cls);
        remote =
            CreateWindowExW(0, u"QbkCallBackWindow", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        WaitPumping(stop);
        DestroyWindow(remote);
    });
    while (!remote)
        std::this_thread::yield();
    // 4 -> remote sends 5 to local (answer 50) -> remote answers 51.
    EXPECT_EQ(SendMessageW(remote, WM_USER + 7, 4, 0), 51);
    const std::vector<Seen> seen = TakeSeen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].wParam, 5u);
    EXPECT_EQ(seen[0].threadId, GetCurrentThreadId());
    SetEvent(stop);
    worker.join();
    DestroyWindow(local);
    CloseHandle(stop);
}

TEST(Messages, TimersTickThroughTheQueueOnTheClock)
{
    plat::ScopedTestClock clock;
    const UINT_PTR id = SetTimer(nullptr, 0, 500, nullptr);
    ASSERT_NE(id, 0u);
    struct Step {
        ULONGLONG advance;
        bool expectTimer;
    };
    // Due at 500; taking it reschedules; periods that pass unobserved give
    // one message, not a backlog.
    const Step steps[] = {{0, false},   {499, false}, {1, true},    {0, false},
                          {499, false}, {1, true},    {1500, true}, {0, false}};
    MSG msg;
    int index = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(index++);
        clock->Advance(step.advance);
        const BOOL got = PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE);
        EXPECT_EQ(got != FALSE, step.expectTimer);
        if (got) {
            EXPECT_EQ(msg.wParam, id);
            EXPECT_EQ(msg.hwnd, nullptr);
        }
    }
    ASSERT_TRUE(KillTimer(nullptr, id));
    clock->Advance(5000);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(KillTimer(nullptr, id));
}

TEST(Messages, WindowTimerWakesAThreadBlockedInGetMessage)
{
    plat::ScopedTestClock clock;
    TakeSeen();
    std::atomic<DWORD> workerId{0};
    std::thread worker([&] {
        HWND window = MakeWindow();
        SetTimer(window, 9, 1000, nullptr);
        workerId = GetCurrentThreadId();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0)) {
            DispatchMessageW(&msg);
            if (msg.message == WM_TIMER)
                break;
        }
        DestroyWindow(window);
    });
    while (!workerId)
        std::this_thread::yield();
    ASSERT_TRUE(clock->WaitForSleepers(1)); // blocked until the timer is due
    clock->Advance(999);
    ASSERT_TRUE(clock->WaitForThreadBlocked(workerId));
    EXPECT_TRUE(TakeSeen().empty());
    clock->Advance(1);
    worker.join();
    const std::vector<Seen> seen = TakeSeen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, WM_TIMER);
    EXPECT_EQ(seen[0].wParam, 9u);
}

std::atomic<int> g_timerProcCalls{0};
void CountingTimerProc(HWND, UINT, UINT_PTR, DWORD) { ++g_timerProcCalls; }
void OtherTimerProc(HWND, UINT, UINT_PTR, DWORD) { g_timerProcCalls += 100; }

// A timer's procedure runs when its WM_TIMER is dispatched; an address in a
// WM_TIMER that was merely posted is called only when it is that of a timer
// of the thread with the same window and id.
TEST(Messages, OnlyTimersCallTimerProcedures)
{
    plat::ScopedTestClock clock;
    const UINT_PTR id = SetTimer(nullptr, 0, 100, CountingTimerProc);
    ASSERT_NE(id, 0u);
    struct Case {
        const char* name;
        bool viaTimer;
        UINT_PTR wParam;
        TIMERPROC proc;
        int calls;
    };
    const Case cases[] = {
        {"from the timer", true, 0, nullptr, 1},
        {"posted: another procedure", false, id, OtherTimerProc, 0},
        {"posted: another id", false, id + 1, CountingTimerProc, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_timerProcCalls = 0;
        if (c.viaTimer)
            clock->Advance(100);
        else
            ASSERT_TRUE(PostMessageW(nullptr, WM_TIMER, c.wParam, reinterpret_cast<LPARAM>(c.proc)));
        MSG msg;
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
        DispatchMessageW(&msg);
        EXPECT_EQ(g_timerProcCalls.load(), c.calls);
    }
    KillTimer(nullptr, id);
}

// A thread's last clean-up (thread-local destructors) runs after it ended
// for the kernel layer; a message call made there must not leave a queue
// behind under its id, which the system may give to the next thread.
struct LateProbe {
    HANDLE done = nullptr;
    ~LateProbe()
    {
        if (!done)
            return;
        s_postedToSelf = PostMessageW(nullptr, WM_USER, 0, 0);
        SetEvent(done);
    }
    static inline std::atomic<BOOL> s_postedToSelf{TRUE};
};

TEST(Messages, NoQueueOutlivesTheEndOfItsThread)
{
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            thread_local LateProbe probe;
            probe.done = static_cast<HANDLE>(parameter);
            return 0;
        },
        done, 0, &id);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    EXPECT_FALSE(LateProbe::s_postedToSelf.load());
    EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(done);
}

} // namespace
