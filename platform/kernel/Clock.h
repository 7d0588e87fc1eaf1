// The one clock behind every time-out, sleep, tick count and timer.
//
// Waits never read the system time directly: they ask the installed clock
// for the time and block through it. The real clock is the monotonic clock;
// tests install a TestClock and advance it by hand, so a 10 s time-out costs
// no real time and happens exactly when the test says so.
#pragma once

#include "platform/base/wintypes.h"

#include <condition_variable>
#include <mutex>

namespace plat {

class Clock {
public:
    // A deadline that never comes (an INFINITE wait).
    static constexpr ULONGLONG kNever = ~0ULL;

    virtual ~Clock() = default;

    // Milliseconds on a monotonic scale; only differences mean anything.
    virtual ULONGLONG NowMs() = 0;

    // Blocks the calling thread, which holds `kernelLock` (the kernel lock),
    // until `wake` is notified or the clock reaches `deadlineMs`. The lock is
    // released while blocked. May return early; callers re-check.
    virtual void BlockUntil(std::unique_lock<std::mutex>& kernelLock, std::condition_variable& wake,
                            ULONGLONG deadlineMs) = 0;

    // Kernel lock held: the thread blocked on `wake` is being woken by a
    // change of state, so it no longer counts as blocked until it blocks
    // again.
    virtual void Waking(std::condition_variable& wake) { (void)wake; }

    // Kernel lock held: the thread of `wake` blocks outside BlockUntil (in
    // poll(), for a descriptor) until `deadlineMs`, and runs again. A clock
    // that ends such a block itself writes to `wakeFd` (an eventfd the poll
    // also watches) when the deadline comes.
    virtual void Blocking(std::condition_variable& wake, ULONGLONG deadlineMs, int wakeFd)
    {
        (void)wake, (void)deadlineMs, (void)wakeFd;
    }
    virtual void NotBlocking(std::condition_variable& wake) { (void)wake; }
    // The time-out, in real milliseconds (-1: none), of a poll() that must
    // end by `deadlineMs` on this clock.
    virtual int PollTimeoutMs(ULONGLONG deadlineMs);
};

// The installed clock (the real one unless a test installed its own).
Clock& GetClock();

// Installs `clock` for the whole process; null puts the real clock back.
// Meant for tests, while no thread is waiting.
void SetClock(Clock* clock);

} // namespace plat
