#include "platform/kernel/KernelObject.h"
#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/ThreadState.h"

#include <algorithm>
#include <cstdint>
#include <unistd.h>
#include <unordered_map>

namespace plat {

namespace {

// Handle values grow by 4 from here and are never reused.
constexpr uintptr_t kFirstHandle = 0x1000;

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = kFirstHandle;
};

// Never destroyed: threads that outlive main may still close handles.
HandleTable& Table()
{
    static HandleTable* table = new HandleTable;
    return *table;
}

} // namespace

std::mutex& KernelMutex()
{
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

ThreadWaiter::~ThreadWaiter()
{
    if (wakeFd >= 0)
        close(wakeFd);
}

void Waitable::WakeWaiters()
{
    Clock& clock = GetClock();
    for (ThreadWaiter* waiter : m_waiters) {
        clock.Waking(waiter->wake);
        waiter->wake.notify_all();
        if (waiter->polling) {
            const std::uint64_t one = 1;
            (void)!write(waiter->wakeFd, &one, sizeof one);
        }
    }
}

void Waitable::AddWaiter(ThreadWaiter* waiter) { m_waiters.push_back(waiter); }

void Waitable::RemoveWaiter(ThreadWaiter* waiter)
{
    auto it = std::find(m_waiters.begin(), m_waiters.end(), waiter);
    if (it != m_waiters.end())
        m_waiters.erase(it);
}

HANDLE InsertHandle(std::shared_ptr<KernelObject> object)
{
    if (!object)
        return nullptr;
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    const uintptr_t value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle)
{
    if (handle == GetCurrentThread())
        return CurrentThreadObject();
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

void SetLastErrorInvalidHandle() { SetLastError(ERROR_INVALID_HANDLE); }

} // namespace plat

BOOL CloseHandle(HANDLE hObject)
{
    std::shared_ptr<plat::KernelObject> object;
    {
        plat::HandleTable& table = plat::Table();
        std::lock_guard lock(table.mutex);
        auto it = table.objects.find(reinterpret_cast<uintptr_t>(hObject));
        if (it == table.objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        table.objects.erase(it);
    }
    // The object may be destroyed here, outside the table lock.
    object.reset();
    return TRUE;
}

BOOL DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle, HANDLE hTargetProcessHandle,
                     LPHANDLE lpTargetHandle, DWORD /*dwDesiredAccess*/, BOOL /*bInheritHandle*/, DWORD dwOptions)
{
    if (hSourceProcessHandle != GetCurrentProcess() || hTargetProcessHandle != GetCurrentProcess() || !lpTargetHandle) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(hSourceHandle);
    if (!object)
        return FALSE;
    *lpTargetHandle = plat::InsertHandle(std::move(object));
    if (dwOptions & DUPLICATE_CLOSE_SOURCE)
        CloseHandle(hSourceHandle);
    return TRUE;
}
