// The memory of TWAIN handles. Handles the data source gives the
// application must be freeable by the application: when the data source
// manager hands over its memory functions (DAT_ENTRYPOINT), new handles come
// from them; otherwise, and for tests, they are moveable global memory.
//
// The manager's functions do not tell a block's size, so the sizes of the
// blocks allocated through them are remembered here.
#pragma once

#include "twainfw/twain.h"

#include <cstddef>
#include <optional>

namespace Trellis {

// Takes the manager's memory functions from its entry-point record (all
// four must be there); null goes back to global memory.
void SetDSMMemoryFunctions(const TW_ENTRYPOINT* entryPoints);
bool UsingDSMMemory();

// A new zero-filled block; null when no memory could be had.
TW_HANDLE TWAINAllocHandle(TW_UINT32 size);
// Null for a handle that cannot be locked.
void* TWAINLockHandle(TW_HANDLE handle);
void TWAINUnlockHandle(TW_HANDLE handle);
void TWAINFreeHandle(TW_HANDLE handle);
// The block's size when it is known: global memory blocks, and the
// manager's blocks allocated here. A handle the application allocated
// through the manager has no size anyone can tell.
std::optional<size_t> TWAINHandleSize(TW_HANDLE handle);

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
