#include "twainfw/TWAINMemory.h"

#include "platform/windows.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace Trellis {

namespace {

struct DSMMemory {
    std::mutex lock;
    DSM_MEMALLOCATE allocate = nullptr;
    DSM_MEMFREE free = nullptr;
    DSM_MEMLOCK lockHandle = nullptr;
    DSM_MEMUNLOCK unlock = nullptr;
};

DSMMemory& Memory()
{
    static DSMMemory memory;
    return memory;
}

// Whether a handle is a live global memory block (the application may use
// global memory even when the manager offers its own).
bool IsGlobalBlock(TW_HANDLE handle) { return handle && GlobalFlags(handle) != GMEM_INVALID_HANDLE; }

} // namespace

void SetDSMMemoryFunctions(const TW_ENTRYPOINT* entryPoints)
{
    DSMMemory& m = Memory();
    std::lock_guard guard(m.lock);
    bool complete = entryPoints && entryPoints->DSM_MemAllocate && entryPoints->DSM_MemFree &&
                    entryPoints->DSM_MemLock && entryPoints->DSM_MemUnlock;
    m.allocate = complete ? entryPoints->DSM_MemAllocate : nullptr;
    m.free = complete ? entryPoints->DSM_MemFree : nullptr;
    m.lockHandle = complete ? entryPoints->DSM_MemLock : nullptr;
    m.unlock = complete ? entryPoints->DSM_MemUnlock : nullptr;
}

bool UsingDSMMemory()
{
    DSMMemory& m = Memory();
    std::lock_guard guard(m.lock);
    return m.allocate != nullptr;
}

TW_HANDLE TWAINAllocHandle(TW_UINT32 size)
{
    DSMMemory& m = Memory();
    std::unique_lock guard(m.lock);
    if (!m.allocate)
        return std::calloc(size ? size : 1, 1); // calloc(0) may answer null
    TW_HANDLE handle = m.allocate(size);
    if (!handle)
        return nullptr;
    // The manager's blocks are not promised to be zero-filled.
    if (void* data = m.lockHandle(handle)) {
        std::memset(data, 0, size);
        m.unlock(handle);
    }
    return handle;
}

void* TWAINLockHandle(TW_HANDLE handle)
{
    if (!handle)
        return nullptr;
    if (IsGlobalBlock(handle))
        return GlobalLock(handle);
    DSMMemory& m = Memory();
    std::lock_guard guard(m.lock);
    return m.lockHandle ? m.lockHandle(handle) : handle;
}

void TWAINUnlockHandle(TW_HANDLE handle)
{
    if (!handle)
        return;
    if (IsGlobalBlock(handle)) {
        GlobalUnlock(handle);
        return;
    }
    DSMMemory& m = Memory();
    std::lock_guard guard(m.lock);
    if (m.unlock)
        m.unlock(handle);
}

void TWAINFreeHandle(TW_HANDLE handle)
{
    if (!handle)
        return;
    if (IsGlobalBlock(handle)) {
        GlobalFree(handle);
        return;
    }
    DSMMemory& m = Memory();
    std::lock_guard guard(m.lock);
    if (m.free)
        m.free(handle);
    else
        std::free(handle);
}

TW_HANDLE TWAINHandleFromGlobal(HGLOBAL block)
{
    const SIZE_T size = GlobalSize(block);
    const void* from = size <= UINT32_MAX ? GlobalLock(block) : nullptr;
    if (!from)
        return nullptr;
    TW_HANDLE handle = TWAINAllocHandle(static_cast<TW_UINT32>(size));
    if (void* to = TWAINLockHandle(handle)) {
        std::memcpy(to, from, size);
        TWAINUnlockHandle(handle);
    } else {
        TWAINFreeHandle(handle);
        handle = nullptr;
    }
    GlobalUnlock(block);
    return handle;
}

std::optional<size_t> TWAINHandleSize(TW_HANDLE handle)
{
    if (IsGlobalBlock(handle))
        return GlobalSize(handle);
    return std::nullopt;
}

} // namespace Trellis
