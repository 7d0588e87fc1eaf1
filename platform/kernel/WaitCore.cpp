#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/InputPump.h"
#include "platform/kernel/MessageQueue.h"
#include "platform/kernel/ThreadState.h"
#include "platform/kernel/Wait.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace plat {

namespace {

thread_local InputPump t_inputPump = nullptr;

// Registers the calling thread's waiter on every object for one wait.
class WaiterRegistration {
public:
    WaiterRegistration(const std::vector<std::shared_ptr<Waitable>>& objects, MessageQueue* queue, ThreadWaiter* waiter)
        : m_objects(objects), m_queue(queue), m_waiter(waiter)
    {
        for (const auto& object : m_objects)
            object->AddWaiter(m_waiter);
        if (m_queue)
            m_queue->AddWaiter(m_waiter);
    }
    ~WaiterRegistration()
    {
        for (const auto& object : m_objects)
            object->RemoveWaiter(m_waiter);
        if (m_queue)
            m_queue->RemoveWaiter(m_waiter);
    }
    WaiterRegistration(const WaiterRegistration&) = delete;
    WaiterRegistration& operator=(const WaiterRegistration&) = delete;

private:
    const std::vector<std::shared_ptr<Waitable>>& m_objects;
    MessageQueue* m_queue;
    ThreadWaiter* m_waiter;
};

// Blocks in poll() until `fd` is readable, the thread is woken, the clock
// reaches `wakeAt` or `pollMs` real milliseconds pass (0: no such limit);
// the kernel lock is released meanwhile. True when `fd` is readable (or
// ended).
bool PollReadable(std::unique_lock<std::mutex>& lock, Clock& clock, ThreadWaiter& waiter, int fd, ULONGLONG wakeAt,
                  unsigned pollMs)
{
    if (waiter.wakeFd < 0)
        waiter.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    int timeoutMs = clock.PollTimeoutMs(wakeAt);
    if (pollMs && (timeoutMs < 0 || static_cast<unsigned>(timeoutMs) > pollMs))
        timeoutMs = static_cast<int>(pollMs);
    // Without an eventfd nothing could wake the poll: look again often.
    const bool wakeable = waiter.wakeFd >= 0;
    if (!wakeable && (timeoutMs < 0 || timeoutMs > 10))
        timeoutMs = 10;
    waiter.polling = wakeable;
    clock.Blocking(waiter.wake, wakeAt, waiter.wakeFd);
    lock.unlock();
    pollfd fds[2] = {{fd, POLLIN, 0}, {waiter.wakeFd, POLLIN, 0}};
    const int ready = poll(fds, wakeable ? 2 : 1, timeoutMs);
    if (wakeable && (fds[1].revents & POLLIN)) {
        std::uint64_t count = 0;
        (void)!read(waiter.wakeFd, &count, sizeof count);
    }
    lock.lock();
    waiter.polling = false;
    clock.NotBlocking(waiter.wake);
    return ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

// The descriptor a wait also ends on: the caller's own, or for a wait for
// messages the socket the thread reads meanwhile (see
// SetMessageWaitReader); -1 for none.
int WaitDescriptor(const ThreadState& state, const InputWait* input, bool waitAll, bool& reading)
{
    reading = false;
    if (!input || waitAll)
        return -1;
    if (input->readableFd >= 0)
        return input->readableFd;
    if (!input->queue || state.messageWaitFd < 0)
        return -1;
    reading = true;
    return state.messageWaitFd;
}

// The socket a message wait watches is readable: its reader takes what
// came, outside the kernel lock. False when the thread stopped reading it.
bool ReadForMessageWait(std::unique_lock<std::mutex>& lock, ThreadState& state)
{
    std::function<void()> read = state.messageWaitRead; // may replace itself
    lock.unlock();
    read();
    lock.lock();
    return state.messageWaitFd >= 0;
}

} // namespace

void SetBeforeBlocking(std::function<void()> hook, int keepFd)
{
    ThreadState& state = CurrentThreadState();
    state.beforeBlocking = std::move(hook);
    state.beforeBlockingKeepFd = state.beforeBlocking ? keepFd : -1;
}

void RunBeforeBlocking() { CurrentThreadState().RunBeforeBlocking(); }

void SetMessageWaitReader(int fd, std::function<void()> read)
{
    ThreadState& state = CurrentThreadState();
    state.messageWaitFd = read ? fd : -1;
    state.messageWaitRead = state.messageWaitFd >= 0 ? std::move(read) : nullptr;
}

void SetThreadInputPump(InputPump pump) { t_inputPump = pump; }

InputPump ThreadInputPump() { return t_inputPump; }

bool ResolveWaitHandles(DWORD count, const HANDLE* handles, std::vector<std::shared_ptr<Waitable>>& objects)
{
    objects.clear();
    objects.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        std::shared_ptr<KernelObject> object = LookupHandle(handles[i]);
        Waitable* waitable = object ? object->AsWaitable() : nullptr;
        if (!waitable) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        objects.emplace_back(std::move(object), waitable);
    }
    return true;
}

DWORD WaitForObjects(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll, DWORD timeoutMs,
                     const InputWait* input)
{
    Clock& clock = GetClock();
    ThreadState& state = CurrentThreadState();
    const DWORD count = static_cast<DWORD>(objects.size());
    bool reading = false;
    int readableFd = WaitDescriptor(state, input, waitAll, reading);
    if (readableFd < 0 || readableFd != state.beforeBlockingKeepFd) {
        state.RunBeforeBlocking(); // may end the thread's reading of a socket
        readableFd = WaitDescriptor(state, input, waitAll, reading);
    }

    unsigned pollMs = 0;
    for (const auto& object : objects) {
        if (unsigned interval = object->PollIntervalMs())
            pollMs = pollMs ? std::min(pollMs, interval) : interval;
    }
    // A wait for messages on a thread with a window back end also runs the
    // toolkit's events, which arrive on no queue of ours.
    const InputPump pump = input ? t_inputPump : nullptr;
    if (pump)
        pollMs = pollMs ? std::min(pollMs, kInputPumpSliceMs) : kInputPumpSliceMs;

    std::unique_lock lock(KernelMutex());
    const ULONGLONG deadline = timeoutMs == INFINITE ? Clock::kNever : clock.NowMs() + timeoutMs;
    WaiterRegistration registration(objects, input ? input->queue : nullptr, &state.waiter);

    bool readable = false;
    for (;;) {
        if (pump) {
            lock.unlock();
            pump();
            lock.lock();
        }
        const ULONGLONG now = clock.NowMs();
        const bool inputReady = input && input->queue && input->queue->HasInput(input->wakeMask, input->filter, now);
        if (waitAll) {
            const bool all =
                std::all_of(objects.begin(), objects.end(), [](const auto& o) { return o->IsSignalled(); });
            if (all && (!input || inputReady) && (count > 0 || input)) {
                DWORD result = WAIT_OBJECT_0;
                for (DWORD i = 0; i < count; ++i) {
                    objects[i]->Acquire();
                    if (objects[i]->TakeAbandoned() && result == WAIT_OBJECT_0)
                        result = WAIT_ABANDONED_0 + i;
                }
                return result;
            }
        } else {
            for (DWORD i = 0; i < count; ++i) {
                if (objects[i]->IsSignalled()) {
                    objects[i]->Acquire();
                    return (objects[i]->TakeAbandoned() ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i;
                }
            }
            if (inputReady)
                return WAIT_OBJECT_0 + count;
            if (readable)
                return WAIT_OBJECT_0 + count + 1;
        }
        if (now >= deadline)
            return WAIT_TIMEOUT;
        ULONGLONG wakeAt = deadline;
        if (input && input->queue)
            wakeAt = std::min(wakeAt, input->queue->NextTimerDue(input->wakeMask, input->filter, now));
        if (readableFd >= 0) {
            readable = PollReadable(lock, clock, state.waiter, readableFd, wakeAt, pollMs);
            if (readable && reading) {
                readable = false;
                if (!ReadForMessageWait(lock, state))
                    readableFd = -1;
            }
            continue;
        }
        if (pollMs) {
            // Objects that change unseen are looked at again in real time,
            // whatever clock is installed; the deadline stays the clock's.
            const ULONGLONG slice = std::min<ULONGLONG>(pollMs, wakeAt - now);
            state.waiter.wake.wait_for(lock, std::chrono::milliseconds(slice));
            continue;
        }
        clock.BlockUntil(lock, state.waiter.wake, wakeAt);
    }
}

} // namespace plat

DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds)
{
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<plat::Waitable>> objects;
    if (!plat::ResolveWaitHandles(nCount, lpHandles, objects))
        return WAIT_FAILED;
    return plat::WaitForObjects(objects, bWaitAll != FALSE, dwMilliseconds, nullptr);
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

DWORD WaitForSingleObjectEx(HANDLE hHandle, DWORD dwMilliseconds, BOOL /*bAlertable*/)
{
    return WaitForSingleObject(hHandle, dwMilliseconds);
}

DWORD WaitForMultipleObjectsEx(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds,
                               BOOL /*bAlertable*/)
{
    return WaitForMultipleObjects(nCount, lpHandles, bWaitAll, dwMilliseconds);
}
