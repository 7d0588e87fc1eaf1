// Kernel objects and the handles that name them.
//
// A HANDLE is an entry in one process-wide table that holds a reference to a
// KernelObject; CloseHandle drops the entry. Handle values are never reused,
// so a stale or made-up handle is recognised (ERROR_INVALID_HANDLE) instead
// of reaching freed memory. Code that keeps using an object after its handle
// may be closed (an I/O thread signalling a caller's event, say) takes its
// own reference with ReferenceObject.
//
// Other platform areas make their own objects by deriving from KernelObject
// (not waitable) or Waitable (waitable) and calling InsertHandle.
#pragma once

#include "platform/base/wintypes.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace plat {

class Waitable;

class KernelObject : public std::enable_shared_from_this<KernelObject> {
public:
    virtual ~KernelObject() = default;
    virtual Waitable* AsWaitable() { return nullptr; }
};

// The lock under which every waitable object changes state and every wait
// decides. One lock keeps wait-all and auto-reset consumption atomic.
std::mutex& KernelMutex();

// One per thread: the condition its waits block on. A wait that also ends
// on a readable descriptor blocks in poll() instead; wake-ups then also go
// to `wakeFd` (an eventfd made on first need).
struct ThreadWaiter {
    ThreadWaiter() = default;
    ~ThreadWaiter();
    ThreadWaiter(const ThreadWaiter&) = delete;
    ThreadWaiter& operator=(const ThreadWaiter&) = delete;

    std::condition_variable wake;
    int wakeFd = -1;
    bool polling = false; // kernel lock held
};

// An object threads can wait for. State changes happen under KernelMutex():
//     std::lock_guard lock(plat::KernelMutex());
//     m_ready = true;
//     WakeWaiters();
class Waitable : public KernelObject {
public:
    Waitable* AsWaitable() override { return this; }

    // Kernel lock held. True when a wait on this object may end now.
    virtual bool IsSignalled() const = 0;
    // Kernel lock held; the wait chose this object (an auto-reset event
    // resets here, so only the one released waiter consumes it).
    virtual void Acquire() {}
    // Kernel lock held, right after Acquire: true once when the object was
    // left behind by a thread that ended (an abandoned mutex).
    virtual bool TakeAbandoned() { return false; }
    // An object whose state changes without telling anyone (a process this
    // process did not start) asks waits to look again this often, in real
    // milliseconds whatever the clock; 0 for objects that call WakeWaiters.
    virtual unsigned PollIntervalMs() const { return 0; }

    // Kernel lock held: every thread waiting on this object re-checks.
    void WakeWaiters();

    void AddWaiter(ThreadWaiter* waiter);
    void RemoveWaiter(ThreadWaiter* waiter);

private:
    std::vector<ThreadWaiter*> m_waiters;
};

// Enters the object into the handle table; the handle holds one reference.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object behind a handle, or null (with ERROR_INVALID_HANDLE set) for a
// handle that is not open. The current-thread pseudo-handle resolves too.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

void SetLastErrorInvalidHandle();

// The object behind a handle when it has type T, else null with
// ERROR_INVALID_HANDLE.
template <class T>
std::shared_ptr<T> ReferenceObject(HANDLE handle)
{
    auto object = std::dynamic_pointer_cast<T>(LookupHandle(handle));
    if (!object)
        SetLastErrorInvalidHandle();
    return object;
}

} // namespace plat

extern "C" {

BOOL CloseHandle(HANDLE hObject);

constexpr DWORD DUPLICATE_CLOSE_SOURCE = 0x1;
constexpr DWORD DUPLICATE_SAME_ACCESS = 0x2;

// Within this process only: both process handles must name the current
// process. The new handle refers to the same object.
BOOL DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle, HANDLE hTargetProcessHandle,
                     LPHANDLE lpTargetHandle, DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwOptions);

} // extern "C"
