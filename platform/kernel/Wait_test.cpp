#include "platform/kernel/MessageQueue.h"
#include "platform/kernel/TestClock.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

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

bool IsSignalled(HANDLE h) { return WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }

class Events {
public:
    // 'a' auto-reset, 'm' manual-reset.
    explicit Events(const char* kinds)
    {
        for (const char* k = kinds; *k; ++k)
            handles.push_back(CreateEventW(nullptr, *k == 'm', FALSE, nullptr));
    }
    ~Events()
    {
        for (HANDLE h : handles)
            CloseHandle(h);
    }
    std::vector<HANDLE> handles;
};

TEST(Wait, AnyReturnsTheLowestSignalledIndexAndConsumesOnlyThatOne)
{
    struct Case {
        const char* kinds;
        std::vector<int> signalled;
        DWORD expected;
    };
    const Case cases[] = {
        {"aaa", {2, 1}, WAIT_OBJECT_0 + 1},
        {"aaa", {2, 0}, WAIT_OBJECT_0 + 0},
        {"mam", {2}, WAIT_OBJECT_0 + 2},
        {"maa", {1, 2}, WAIT_OBJECT_0 + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kinds);
        Events events(c.kinds);
        for (int i : c.signalled)
            SetEvent(events.handles[i]);
        const DWORD count = static_cast<DWORD>(events.handles.size());
        ASSERT_EQ(WaitForMultipleObjects(count, events.handles.data(), FALSE, 0), c.expected);
        const DWORD chosen = c.expected - WAIT_OBJECT_0;
        for (int i : c.signalled) {
            // The chosen auto-reset event was consumed; every other one (and
            // any manual-reset one) is still signalled.
            const bool consumed = static_cast<DWORD>(i) == chosen && c.kinds[i] == 'a';
            EXPECT_EQ(IsSignalled(events.handles[i]), !consumed) << "index " << i;
        }
    }
}

TEST(Wait, AllConsumesNothingUntilEveryObjectIsSignalled)
{
    Events events("aa");
    SetEvent(events.handles[0]);
    EXPECT_EQ(WaitForMultipleObjects(2, events.handles.data(), TRUE, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(IsSignalled(events.handles[0])); // consumed by this check; set it again
    SetEvent(events.handles[0]);
    SetEvent(events.handles[1]);
    EXPECT_EQ(WaitForMultipleObjects(2, events.handles.data(), TRUE, 0), WAIT_OBJECT_0);
    EXPECT_FALSE(IsSignalled(events.handles[0]));
    EXPECT_FALSE(IsSignalled(events.handles[1]));
}

TEST(Wait, AutoResetEventReleasesExactlyOneWaiterPerSet)
{
    plat::ScopedTestClock clock;
    Events events("a");
    HANDLE event = events.handles[0];
    constexpr int kWaiters = 4;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i)
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0)
                ++released;
        });
    ASSERT_TRUE(clock->WaitForBlocked(kWaiters));

    for (int set = 1; set <= kWaiters; ++set) {
        SetEvent(event);
        // Exactly one more waiter gets through; the rest block again.
        ASSERT_TRUE(Eventually([&] { return released == set && clock->BlockedCount() == size_t(kWaiters - set); }))
            << "after set " << set << ": released " << released.load();
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    }
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(released, kWaiters);
}

TEST(Wait, ManualResetEventReleasesEveryWaiterUntilReset)
{
    plat::ScopedTestClock clock;
    Events events("m");
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            if (WaitForSingleObject(events.handles[0], INFINITE) == WAIT_OBJECT_0)
                ++released;
        });
    ASSERT_TRUE(clock->WaitForBlocked(3));
    SetEvent(events.handles[0]);
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(released, 3);
    EXPECT_TRUE(IsSignalled(events.handles[0]));
    ResetEvent(events.handles[0]);
    EXPECT_FALSE(IsSignalled(events.handles[0]));
}

TEST(Wait, BadHandlesAndCountsFail)
{
    HANDLE closed = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ASSERT_TRUE(CloseHandle(closed));
    const HANDLE bad[] = {nullptr, INVALID_HANDLE_VALUE, closed, reinterpret_cast<HANDLE>(0x12345)};
    for (HANDLE handle : bad) {
        SetLastError(0);
        EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED) << handle;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << handle;
    }
    // One bad handle among good ones fails the whole wait.
    Events events("m");
    SetEvent(events.handles[0]);
    HANDLE mixed[] = {events.handles[0], closed};
    EXPECT_EQ(WaitForMultipleObjects(2, mixed, FALSE, 0), WAIT_FAILED);

    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(0, mixed, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    EXPECT_FALSE(CloseHandle(closed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetEvent(closed));
}

TEST(Wait, DuplicatedHandleNamesTheSameEvent)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE copy = nullptr;
    ASSERT_TRUE(
        DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS));
    ASSERT_NE(copy, event);
    CloseHandle(event);
    SetEvent(copy); // the object lives on through the copy
    EXPECT_TRUE(IsSignalled(copy));
    CloseHandle(copy);
}

TEST(Wait, NamedEventsAreSharedInTheProcess)
{
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, u"qbk-test-event");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEventA(nullptr, TRUE, FALSE, "qbk-test-event");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    SetEvent(first);
    EXPECT_TRUE(IsSignalled(second));
    CloseHandle(first);
    CloseHandle(second);
}

// Another area's own waitable object: signalled once it has been ticked
// down, from a thread this layer knows nothing about.
class Countdown : public plat::Waitable {
public:
    explicit Countdown(int count) : m_remaining(count) {}
    bool IsSignalled() const override { return m_remaining == 0; }
    void Tick()
    {
        std::lock_guard lock(plat::KernelMutex());
        --m_remaining;
        WakeWaiters();
    }

private:
    int m_remaining;
};

TEST(Wait, OtherAreasCanMakeWaitableObjects)
{
    plat::ScopedTestClock clock;
    auto countdown = std::make_shared<Countdown>(3);
    HANDLE handles[] = {CreateEventW(nullptr, TRUE, FALSE, nullptr), plat::InsertHandle(countdown)};
    std::atomic<DWORD> result{0xDEAD};
    std::thread waiter([&] { result = WaitForMultipleObjects(2, handles, FALSE, INFINITE); });
    ASSERT_TRUE(clock->WaitForBlocked(1));
    std::thread ticker([countdown] {
        for (int i = 0; i < 3; ++i)
            countdown->Tick();
    });
    ticker.join();
    waiter.join();
    EXPECT_EQ(result.load(), WAIT_OBJECT_0 + 1);

    // A thread holding its own reference may signal after the handle closed.
    auto event = plat::ReferenceObject<plat::EventObject>(handles[0]);
    ASSERT_TRUE(event);
    EXPECT_EQ(plat::ReferenceObject<plat::EventObject>(handles[1]), nullptr); // wrong type
    CloseHandle(handles[0]);
    CloseHandle(handles[1]);
    event->Set();
}

// A wait that also ends when a socket is readable: what a thread waiting
// for a reply uses to be woken by the socket itself.
TEST(Wait, AWaitOnADescriptorEndsOnObjectsFirstThenOnTheDescriptor)
{
    plat::ScopedTestClock clock;
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto event = plat::ReferenceObject<plat::EventObject>(handle);
    ASSERT_TRUE(event);
    const std::vector<std::shared_ptr<plat::Waitable>> objects{event};
    const plat::InputWait socket{nullptr, 0, plat::MessageFilter{}, pair[0]};
    const char byte = 'x';

    // With the descriptor readable, a signalled object still comes first.
    for (bool setFirst : {true, false}) {
        if (setFirst)
            event->Set();
        ASSERT_EQ(write(pair[1], &byte, 1), 1);
        EXPECT_EQ(plat::WaitForObjects(objects, false, INFINITE, &socket),
                  setFirst ? WAIT_OBJECT_0 : WAIT_OBJECT_0 + 2);
        event->Reset();
        char drained = 0;
        ASSERT_EQ(read(pair[0], &drained, 1), 1);
    }

    // Blocked in poll(): the test clock counts it, an object wakes it, and
    // so does the descriptor.
    for (bool bySocket : {false, true}) {
        std::atomic<DWORD> result{0xDEAD};
        std::thread waiter([&] { result = plat::WaitForObjects(objects, false, INFINITE, &socket); });
        ASSERT_TRUE(clock->WaitForBlocked(1));
        if (bySocket) {
            ASSERT_EQ(write(pair[1], &byte, 1), 1);
        } else {
            event->Set();
        }
        waiter.join();
        EXPECT_EQ(result.load(), bySocket ? WAIT_OBJECT_0 + 2 : WAIT_OBJECT_0);
        event->Reset();
        if (bySocket) {
            char drained = 0;
            ASSERT_EQ(read(pair[0], &drained, 1), 1);
        }
    }
    CloseHandle(handle);
    close(pair[0]);
    close(pair[1]);
}

TEST(Wait, TheHookBeforeBlockingRunsOnceAndNotForTheDescriptorItKeeps)
{
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    HANDLE set = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    auto event = plat::ReferenceObject<plat::EventObject>(set);
    const std::vector<std::shared_ptr<plat::Waitable>> objects{event};
    const plat::InputWait kept{nullptr, 0, plat::MessageFilter{}, pair[0]};
    int runs = 0;
    plat::SetBeforeBlocking([&] { ++runs; }, pair[0]);
    plat::WaitForObjects(objects, false, INFINITE, &kept);
    EXPECT_EQ(runs, 0) << "a wait on the kept descriptor";
    WaitForSingleObject(set, 0);
    EXPECT_EQ(runs, 1) << "any other wait";
    WaitForSingleObject(set, 0);
    EXPECT_EQ(runs, 1) << "once";
    CloseHandle(set);
    close(pair[0]);
    close(pair[1]);
}

// A thread that reads a socket for others keeps doing so in its waits for
// messages: what the socket brings wakes it, and its own deadlines and
// timers still end those waits on the installed clock.
TEST(Wait, AWaitForMessagesReadsTheThreadsSocketMeanwhile)
{
    plat::ScopedTestClock clock;
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const char byte = 'x';
    std::atomic<int> reads{0};
    std::atomic<DWORD> waiterId{0};
    std::atomic<int> step{0};
    std::vector<std::string> seen;
    std::thread waiter([&] {
        waiterId = GetCurrentThreadId();
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the queue exists from here
        // The reader takes the byte and queues a message for the thread.
        plat::SetMessageWaitReader(pair[0], [&] {
            char got = 0;
            if (read(pair[0], &got, 1) == 1)
                ++reads;
            PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0);
        });
        step = 1;
        seen.push_back(GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message == WM_USER ? "socket" : "other");
        step = 2;
        seen.push_back(MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) == WAIT_TIMEOUT ? "time-out"
                                                                                                      : "other");
        step = 3;
        SetTimer(nullptr, 0, 50, nullptr);
        seen.push_back(GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message == WM_TIMER ? "timer" : "other");
        plat::SetMessageWaitReader(-1, nullptr);
    });
    ASSERT_TRUE(Eventually([&] { return step == 1; }));
    ASSERT_TRUE(clock->WaitForThreadBlocked(waiterId));
    ASSERT_EQ(write(pair[1], &byte, 1), 1);
    ASSERT_TRUE(Eventually([&] { return step == 2; }));
    ASSERT_TRUE(clock->WaitForSleepers(1));
    clock->Advance(100);
    ASSERT_TRUE(Eventually([&] { return step == 3; }));
    ASSERT_TRUE(clock->WaitForSleepers(1));
    clock->Advance(50);
    waiter.join();
    EXPECT_EQ(seen, (std::vector<std::string>{"socket", "time-out", "timer"}));
    EXPECT_EQ(reads.load(), 1);
    close(pair[0]);
    close(pair[1]);
}

} // namespace
