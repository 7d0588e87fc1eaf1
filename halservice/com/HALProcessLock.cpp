#include "halservice/com/HALProcessLock.h"

#include <atomic>

namespace {

std::atomic<LONG> g_count{0};
std::atomic<HALProcessLockFunction> g_lock{nullptr};
std::atomic<HALProcessLockFunction> g_unlock{nullptr};

} // namespace

void SetHALProcessLockFunctions(HALProcessLockFunction lock, HALProcessLockFunction unlock)
{
    g_lock.store(lock);
    g_unlock.store(unlock);
}

LONG LockHALProcess()
{
    if (HALProcessLockFunction lock = g_lock.load())
        return lock();
    return ++g_count;
}

LONG UnlockHALProcess()
{
    if (HALProcessLockFunction unlock = g_unlock.load())
        return unlock();
    return --g_count;
}

LONG HALProcessLockCount() { return g_count.load(); }
