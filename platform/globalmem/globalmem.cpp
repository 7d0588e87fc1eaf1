#include "platform/globalmem/globalmem.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

// Windows reports an unlock of an unlocked block with this code.
constexpr DWORD kErrorNotLocked = 158;

struct Block {
    void* data = nullptr;
    SIZE_T size = 0;
    UINT flags = 0;
    UINT locks = 0;
    bool moveable = false;
};

// One table per process: handles pass between modules loaded together.
struct Table {
    std::mutex lock;
    std::unordered_map<HGLOBAL, std::unique_ptr<Block>> byHandle;
    std::unordered_map<const void*, HGLOBAL> byData;
};

Table& GetTable()
{
    static Table* table = new Table; // never destroyed: blocks may outlive static teardown
    return *table;
}

// The block behind a handle, or null with the handle error set. The
// caller holds the table's lock.
Block* FindLocked(Table& t, HGLOBAL h)
{
    auto it = t.byHandle.find(h);
    if (it == t.byHandle.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second.get();
}

// malloc(0) may give null; every block owns at least one byte.
void* AllocateBytes(SIZE_T n, bool zero)
{
    SIZE_T real = n ? n : 1;
    return zero ? std::calloc(real, 1) : std::malloc(real);
}

} // namespace

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes)
{
    void* data = AllocateBytes(dwBytes, (uFlags & GMEM_ZEROINIT) != 0);
    if (!data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto block = std::make_unique<Block>();
    block->data = data;
    block->size = dwBytes;
    block->flags = uFlags;
    block->moveable = (uFlags & GMEM_MOVEABLE) != 0;
    // A moveable block's handle is the address of its bookkeeping record,
    // so it never equals any block's memory.
    HGLOBAL handle = block->moveable ? static_cast<HGLOBAL>(block.get()) : data;

    Table& t = GetTable();
    std::lock_guard guard(t.lock);
    t.byData[data] = handle;
    t.byHandle[handle] = std::move(block);
    return handle;
}

LPVOID GlobalLock(HGLOBAL hMem)
{
    Table& t = GetTable();
    std::lock_guard guard(t.lock);
    Block* b = FindLocked(t, hMem);
    if (!b)
        return nullptr;
    if (b->moveable && b->locks < GMEM_LOCKCOUNT)
        ++b->locks;
    return b->data;
}

BOOL GlobalUnlock(HGLOBAL hMem)
{
    Table& t = GetTable();
    std::lock_guard guard(t.lock);
    Block* b = FindLocked(t, hMem);
    if (!b)
        return FALSE;
    if (!b->moveable) {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    if (b->locks == 0) {
        SetLastError(kErrorNotLocked);
        return FALSE;
    }
    if (--b->locks > 0)
        return TRUE;
    SetLastError(NO_ERROR);
    return FALSE;
}

SIZE_T GlobalSize(HGLOBAL hMem)
{
    Table& t = GetTable();
    std::lock_guard guard(t.lock);
    Block* b = FindLocked(t, hMem);
    if (!b)
        return 0;
    return b->size;
}

HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags)
{
    Table& t = GetTable();
    std::lock_guard guard(t.lock);
    Block* b = FindLocked(t, hMem);
    if (!b)
        return nullptr;
    if (uFlags & GMEM_MODIFY) {
        constexpr UINT kKept = GMEM_DISCARDABLE | GMEM_DDESHARE;
        b->flags = (b->flags & ~kKept) | (uFlags & kKept);
        return hMem;
    }
    // A fixed block, and a moveable one that is locked, may not move unless
    // the caller allows it: its memory stays where the caller holds it, so
    // it shrinks in place and cannot grow.
    bool mayMove = (uFlags & GMEM_MOVEABLE) || (b->moveable && b->locks == 0);
    if (!mayMove) {
        if (dwBytes > b->size) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        b->size = dwBytes;
        return hMem;
    }
    void* data = AllocateBytes(dwBytes, false);
    if (!data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    SIZE_T kept = dwBytes < b->size ? dwBytes : b->size;
    std::memcpy(data, b->data, kept);
    if (dwBytes > kept && (uFlags & GMEM_ZEROINIT))
        std::memset(static_cast<BYTE*>(data) + kept, 0, dwBytes - kept);
    t.byData.erase(b->data);
    std::free(b->data);
    b->data = data;
    b->size = dwBytes;

    HGLOBAL handle = hMem;
    if (!b->moveable) {
        // A fixed block's handle is its memory: re-key it.
        auto node = t.byHandle.extract(hMem);
        handle = data;
        node.key() = handle;
        t.byHandle.insert(std::move(node));
    }
    t.byData[data] = handle;
    return handle;
}

HGLOBAL GlobalFree(HGLOBAL hMem)
{
    if (!hMem)
        return nullptr;
    Table& t = GetTable();
    std::unique_ptr<Block> b;
    {
        std::lock_guard guard(t.lock);
        auto it = t.byHandle.find(hMem);
        if (it == t.byHandle.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return hMem;
        }
        b = std::move(it->second);
        t.byHandle.erase(it);
        t.byData.erase(b->data);
    }
    std::free(b->data);
    return nullptr;
}

HGLOBAL GlobalHandle(LPCVOID pMem)
{
    Table& t = GetTable();
    std::lock_guard guard(t.lock);
    auto it = t.byData.find(pMem);
    if (it == t.byData.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

UINT GlobalFlags(HGLOBAL hMem)
{
    Table& t = GetTable();
    std::lock_guard guard(t.lock);
    Block* b = FindLocked(t, hMem);
    if (!b)
        return GMEM_INVALID_HANDLE;
    return b->locks | (b->flags & (GMEM_DISCARDABLE | GMEM_DDESHARE));
}
