#include "platform/kernel/TestClock.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace {

struct TimedWait {
    const char* name;
    std::function<DWORD(HANDLE never, DWORD timeoutMs)> wait;
};

// Each wait runs on a worker with a 1000 ms time-out against the test clock:
// it must still be blocked at 999 ms and come back with WAIT_TIMEOUT at 1000.
TEST(TestClock, TimeOutsEndExactlyAtTheDeadline)
{
    const TimedWait waits[] = {
        {"WaitForSingleObject", [](HANDLE h, DWORD ms) { return WaitForSingleObject(h, ms); }},
        {"WaitForMultipleObjects all",
         [](HANDLE h, DWORD ms) {
             HANDLE both[] = {h, h};
             return WaitForMultipleObjects(2, both, TRUE, ms);
         }},
        {"MsgWaitForMultipleObjects",
         [](HANDLE h, DWORD ms) { return MsgWaitForMultipleObjects(1, &h, FALSE, ms, QS_ALLINPUT); }},
        {"Sleep",
         [](HANDLE, DWORD ms) {
             Sleep(ms);
             return WAIT_TIMEOUT;
         }},
    };
    for (const TimedWait& timed : waits) {
        SCOPED_TRACE(timed.name);
        plat::ScopedTestClock clock;
        HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::atomic<DWORD> result{0xDEAD};
        std::thread worker([&] { result = timed.wait(never, 1000); });

        ASSERT_TRUE(clock->WaitForSleepers(1));
        clock->Advance(999);
        ASSERT_TRUE(clock->WaitForSleepers(1));
        EXPECT_EQ(result.load(), 0xDEADu);
        clock->Advance(1);
        worker.join();
        EXPECT_EQ(result.load(), WAIT_TIMEOUT);
        CloseHandle(never);
    }
}

TEST(TestClock, ZeroTimeOutDoesNotBlock)
{
    plat::ScopedTestClock clock;
    HANDLE never = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(never, 0), WAIT_TIMEOUT);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &never, FALSE, 0, QS_ALLINPUT), WAIT_TIMEOUT);
    CloseHandle(never);
}

TEST(TestClock, TickCountsFollowTheClockAndTheShortOneWraps)
{
    plat::ScopedTestClock clock(0xFFFFFFFAull);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFFAu);
    clock->Advance(10);
    EXPECT_EQ(GetTickCount(), 4u);
    EXPECT_EQ(GetTickCount64(), 0x100000004ull);
    // Differences of the 32-bit count stay right across the wrap.
    EXPECT_EQ(GetTickCount() - 0xFFFFFFFAu, 10u);
}

TEST(TestClock, KnowsWhichThreadIsBlocked)
{
    plat::ScopedTestClock clock;
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<DWORD> workerId{0};
    std::thread worker([&] {
        workerId = GetCurrentThreadId();
        WaitForSingleObject(event, INFINITE);
    });
    while (workerId == 0)
        std::this_thread::yield();
    ASSERT_TRUE(clock->WaitForThreadBlocked(workerId));
    EXPECT_FALSE(clock->IsThreadBlocked(GetCurrentThreadId()));
    EXPECT_EQ(clock->SleeperCount(), 0u); // an infinite wait has no deadline
    SetEvent(event);
    worker.join();
    EXPECT_EQ(clock->BlockedCount(), 0u);
    CloseHandle(event);
}

// A woken thread is no longer "blocked", even before it gets to run: a test
// that waits for it to be blocked again then sees its next wait, not the
// one that just ended. After each wake-up the worker parks on a plain mutex
// the test holds, outside any kernel wait.
TEST(TestClock, AWokenThreadIsNotBlockedAnyMore)
{
    struct Wake {
        const char* name;
        std::function<void(plat::TestClock& clock, HANDLE event, DWORD workerId)> wake;
    };
    const Wake wakes[] = {
        {"event set", [](plat::TestClock&, HANDLE event, DWORD) { SetEvent(event); }},
        {"deadline reached", [](plat::TestClock& clock, HANDLE, DWORD) { clock.Advance(1000); }},
        {"message posted", [](plat::TestClock&, HANDLE, DWORD id) { PostThreadMessageW(id, WM_USER, 0, 0); }},
    };
    for (const Wake& wake : wakes) {
        SCOPED_TRACE(wake.name);
        plat::ScopedTestClock clock;
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        std::mutex gate;
        std::unique_lock held(gate);
        std::atomic<DWORD> workerId{0};
        std::thread worker([&] {
            workerId = GetCurrentThreadId();
            MsgWaitForMultipleObjects(1, &event, FALSE, 1000, QS_ALLINPUT);
            std::lock_guard parked(gate);
        });
        while (workerId == 0)
            std::this_thread::yield();
        ASSERT_TRUE(clock->WaitForThreadBlocked(workerId));
        wake.wake(*clock, event, workerId);
        EXPECT_FALSE(clock->IsThreadBlocked(workerId));
        EXPECT_EQ(clock->BlockedCount(), 0u);
        held.unlock();
        worker.join();
        CloseHandle(event);
    }
}

} // namespace
