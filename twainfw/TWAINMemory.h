// The memory of TWAIN handles. Handles the data source gives the
// application must be freeable by the application: when the data source
// manager hands over its memory functions (DAT_ENTRYPOINT), every handle is
// made, locked and freed through them; otherwise a handle is a plain
// malloc'd pointer, which locks to itself, as TWAIN handles are on Linux.
// Global memory blocks an application passes in are still read as such.
//
// The manager's functions do not tell a block's size. Remembering the sizes
// of the blocks allocated here would not help: they go to the application,
// which frees them through the manager, and the manager may hand the same
// address out again for a block of another size.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/twain/twain.h"

#include <cstddef>
#include <optional>

namespace Trellis {

// Takes the manager's memory functions from its entry-point record (all
// four must be there); null goes back to plain pointers.
void SetDSMMemoryFunctions(const TW_ENTRYPOINT* entryPoints);
bool UsingDSMMemory();

// A new zero-filled block; null when no memory could be had.
TW_HANDLE TWAINAllocHandle(TW_UINT32 size);
// Null for a handle that cannot be locked.
void* TWAINLockHandle(TW_HANDLE handle);
void TWAINUnlockHandle(TW_HANDLE handle);
void TWAINFreeHandle(TW_HANDLE handle);
// The block's size when it is known: global memory blocks. A plain pointer
// or a block of the manager has no size anyone can tell.
std::optional<size_t> TWAINHandleSize(TW_HANDLE handle);

// A copy of a global memory block (the settings image, a decoded bitmap)
// as a handle the application can free; null when no memory could be had.
// The block stays the caller's.
TW_HANDLE TWAINHandleFromGlobal(HGLOBAL block);

// Locks a handle for the scope; unlocks on every way out.
class CTWAINHandleLock {
public:
    explicit CTWAINHandleLock(TW_HANDLE handle) : m_handle(handle), m_data(TWAINLockHandle(handle)) {}
    ~CTWAINHandleLock()
    {
        if (m_data)
            TWAINUnlockHandle(m_handle);
    }
    CTWAINHandleLock(const CTWAINHandleLock&) = delete;
    CTWAINHandleLock& operator=(const CTWAINHandleLock&) = delete;

    void* Data() const { return m_data; }

private:
    TW_HANDLE m_handle;
    void* m_data;
};

} // namespace Trellis
