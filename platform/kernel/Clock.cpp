#include "platform/kernel/Clock.h"
#include "platform/kernel/KernelObject.h"
#include "platform/kernel/TestClock.h"
#include "platform/kernel/Thread.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <unistd.h>

namespace plat {

namespace {

class RealClock : public Clock {
public:
    ULONGLONG NowMs() override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }

    void BlockUntil(std::unique_lock<std::mutex>& kernelLock, std::condition_variable& wake,
                    ULONGLONG deadlineMs) override
    {
        using namespace std::chrono;
        if (deadlineMs == kNever) {
            wake.wait(kernelLock);
            return;
        }
        wake.wait_until(kernelLock, steady_clock::time_point(milliseconds(deadlineMs)));
    }
};

RealClock& TheRealClock()
{
    static RealClock* clock = new RealClock;
    return *clock;
}

std::atomic<Clock*> g_clock{nullptr};

} // namespace

int Clock::PollTimeoutMs(ULONGLONG deadlineMs)
{
    if (deadlineMs == kNever)
        return -1;
    const ULONGLONG now = NowMs();
    const ULONGLONG left = deadlineMs > now ? deadlineMs - now : 0;
    return static_cast<int>(std::min<ULONGLONG>(left, 24ULL * 3600 * 1000));
}

Clock& GetClock()
{
    Clock* clock = g_clock.load(std::memory_order_acquire);
    return clock ? *clock : TheRealClock();
}

void SetClock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

TestClock::TestClock(ULONGLONG startMs) : m_now(startMs) {}

ULONGLONG TestClock::NowMs() { return m_now.load(); }

void TestClock::BlockUntil(std::unique_lock<std::mutex>& kernelLock, std::condition_variable& wake,
                           ULONGLONG deadlineMs)
{
    m_sleepers.push_back({GetCurrentThreadId(), deadlineMs, &wake, -1});
    m_changed.notify_all();
    wake.wait(kernelLock);
    auto it = std::find_if(m_sleepers.begin(), m_sleepers.end(), [&](const Sleeper& s) { return s.wake == &wake; });
    if (it != m_sleepers.end())
        m_sleepers.erase(it);
    m_changed.notify_all();
}

void TestClock::Blocking(std::condition_variable& wake, ULONGLONG deadlineMs, int wakeFd)
{
    m_sleepers.push_back({GetCurrentThreadId(), deadlineMs, &wake, wakeFd});
    m_changed.notify_all();
}

void TestClock::NotBlocking(std::condition_variable& wake) { Waking(wake); }

void TestClock::Waking(std::condition_variable& wake)
{
    if (std::erase_if(m_sleepers, [&](const Sleeper& s) { return s.wake == &wake; }))
        m_changed.notify_all();
}

void TestClock::Advance(ULONGLONG ms)
{
    std::lock_guard lock(KernelMutex());
    const ULONGLONG now = m_now.load() + ms;
    m_now.store(now);
    const auto woken = std::erase_if(m_sleepers, [&](const Sleeper& sleeper) {
        if (sleeper.deadline > now)
            return false;
        sleeper.wake->notify_all();
        if (sleeper.wakeFd >= 0) {
            const std::uint64_t one = 1;
            (void)!write(sleeper.wakeFd, &one, sizeof one);
        }
        return true;
    });
    if (woken)
        m_changed.notify_all();
}

size_t TestClock::BlockedCount()
{
    std::lock_guard lock(KernelMutex());
    return m_sleepers.size();
}

size_t TestClock::SleeperCount()
{
    std::lock_guard lock(KernelMutex());
    return std::count_if(m_sleepers.begin(), m_sleepers.end(), [](const Sleeper& s) { return s.deadline != kNever; });
}

bool TestClock::IsThreadBlocked(DWORD threadId)
{
    std::lock_guard lock(KernelMutex());
    return std::any_of(m_sleepers.begin(), m_sleepers.end(), [&](const Sleeper& s) { return s.threadId == threadId; });
}

template <class Pred>
bool TestClock::WaitForState(Pred pred, unsigned realLimitMs)
{
    std::unique_lock lock(KernelMutex());
    return m_changed.wait_for(lock, std::chrono::milliseconds(realLimitMs), pred);
}

bool TestClock::WaitForBlocked(size_t count, unsigned realLimitMs)
{
    return WaitForState([&] { return m_sleepers.size() >= count; }, realLimitMs);
}

bool TestClock::WaitForSleepers(size_t count, unsigned realLimitMs)
{
    return WaitForState(
        [&] {
            return static_cast<size_t>(std::count_if(m_sleepers.begin(), m_sleepers.end(),
                                                     [](const Sleeper& s) { return s.deadline != kNever; })) >= count;
        },
        realLimitMs);
}

bool TestClock::WaitForThreadBlocked(DWORD threadId, unsigned realLimitMs)
{
    return WaitForState(
        [&] {
            return std::any_of(m_sleepers.begin(), m_sleepers.end(),
                               [&](const Sleeper& s) { return s.threadId == threadId; });
        },
        realLimitMs);
}

ScopedTestClock::ScopedTestClock(ULONGLONG startMs) : m_clock(startMs) { SetClock(&m_clock); }

ScopedTestClock::~ScopedTestClock() { SetClock(nullptr); }

} // namespace plat
