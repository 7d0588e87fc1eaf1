// For tests: the memory functions a data source manager hands over with
// DAT_ENTRYPOINT, counting the blocks they allocate and the locks taken.
#pragma once
#include "platform/twain/twain.h"

#include <cstdlib>

namespace Trellis::testing {

struct CountingManagerMemory {
    static inline int allocated = 0;
    static inline int locked = 0;
    static TW_HANDLE Allocate(TW_UINT32 size) { return ++allocated, std::calloc(size, 1); }
    static void Free(TW_HANDLE handle) { std::free(handle); }
    static TW_MEMREF Lock(TW_HANDLE handle) { return ++locked, handle; }
    static void Unlock(TW_HANDLE) {}

    // The record a manager sends with MSG_SET; no entry point of its own.
    static TW_ENTRYPOINT EntryPoint()
    {
        TW_ENTRYPOINT entry{};
        entry.Size = sizeof entry;
        entry.DSM_MemAllocate = &Allocate;
        entry.DSM_MemFree = &Free;
        entry.DSM_MemLock = &Lock;
        entry.DSM_MemUnlock = &Unlock;
        return entry;
    }
};

} // namespace Trellis::testing
