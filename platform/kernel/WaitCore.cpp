#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/InputPump.h"
#include "platform/kernel/MessageQueue.h"
#include "platform/kernel/ThreadState.h"
#include "platform/kernel/Wait.h"

#include <algorithm>
#include <chrono>

namespace plat {

namespace {

thread_local InputPump t_inputPump = nullptr;

// Registers the calling thread's waiter on every object for one wait.
class WaiterRegistration {
public:
    WaiterRegistration(const std::vector<std::shared_ptr<Waitable>>& objects, MessageQueue* queue,
                       ThreadWaiter* waiter)
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

} // namespace

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

    for (;;) {
        if (pump) {
            lock.unlock();
            pump();
            lock.lock();
        }
        const ULONGLONG now = clock.NowMs();
        const bool inputReady = input && input->queue->HasInput(input->wakeMask, input->filter, now);
        if (waitAll) {
            const bool all = std::all_of(objects.begin(), objects.end(), [](const auto& o) { return o->IsSignalled(); });
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
        }
        if (now >= deadline)
            return WAIT_TIMEOUT;

        ULONGLONG wakeAt = deadline;
        if (input)
            wakeAt = std::min(wakeAt, input->queue->NextTimerDue(input->wakeMask, input->filter, now));
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
