// A clock that only moves when a test advances it.
//
// Install it with ScopedTestClock for the length of a test. Waits with a
// time-out then end exactly when Advance reaches their deadline, never
// before, and without real waiting. A test sequences its threads with
// WaitForBlocked/WaitForSleepers ("the worker is now blocked in its wait")
// instead of sleeping and hoping.
#pragma once

#include "platform/kernel/Clock.h"

#include <atomic>
#include <vector>

namespace plat {

class TestClock : public Clock {
public:
    explicit TestClock(ULONGLONG startMs = 1'000'000);

    ULONGLONG NowMs() override;
    void BlockUntil(std::unique_lock<std::mutex>& kernelLock, std::condition_variable& wake,
                    ULONGLONG deadlineMs) override;
    void Waking(std::condition_variable& wake) override;
    void Blocking(std::condition_variable& wake, ULONGLONG deadlineMs, int wakeFd) override;
    void NotBlocking(std::condition_variable& wake) override;
    // Only Advance ends a poll, through its descriptor.
    int PollTimeoutMs(ULONGLONG deadlineMs) override
    {
        (void)deadlineMs;
        return -1;
    }

    // Moves the time forward and wakes every thread whose deadline came.
    void Advance(ULONGLONG ms);

    // Threads blocked in a kernel wait right now: all of them, or only those
    // with a deadline (a time-out, a sleep, a pending timer). A thread that
    // was woken (its deadline came, or an object or its queue changed) is
    // not counted from that moment until it blocks again, so "blocked" after
    // a wake-up means it has run and is waiting anew.
    size_t BlockedCount();
    size_t SleeperCount();
    bool IsThreadBlocked(DWORD threadId);

    // Block (in real time, at most `realLimitMs`) until at least `count`
    // threads are blocked / sleeping, or until the thread is blocked.
    // False when the limit passed first: the test should fail then.
    bool WaitForBlocked(size_t count, unsigned realLimitMs = 30000);
    bool WaitForSleepers(size_t count, unsigned realLimitMs = 30000);
    bool WaitForThreadBlocked(DWORD threadId, unsigned realLimitMs = 30000);

private:
    struct Sleeper {
        DWORD threadId;
        ULONGLONG deadline;
        std::condition_variable* wake;
        int wakeFd; // -1: blocked on `wake` alone
    };
    template <class Pred>
    bool WaitForState(Pred pred, unsigned realLimitMs);

    // Changed under the kernel lock (so no waiter misses an advance), read
    // from anywhere (GetTickCount).
    std::atomic<ULONGLONG> m_now;
    std::vector<Sleeper> m_sleepers;
    std::condition_variable m_changed;
};

// Installs a TestClock for one scope, then puts the real clock back.
class ScopedTestClock {
public:
    explicit ScopedTestClock(ULONGLONG startMs = 1'000'000);
    ~ScopedTestClock();
    ScopedTestClock(const ScopedTestClock&) = delete;
    ScopedTestClock& operator=(const ScopedTestClock&) = delete;

    TestClock& operator*() { return m_clock; }
    TestClock* operator->() { return &m_clock; }

private:
    TestClock m_clock;
};

} // namespace plat
