// Reads container records the way an application hands them over: the
// first byte picks the container type, the rest is the block. Every record
// must be read or refused without touching memory past the block, and what
// was read must write back.
#include "twainfw/CTWAINContainer.h"
#include "twainfw/TWAINException.h"
#include "twainfw/TWAINMemory.h"

#include "platform/windows.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    TW_UINT32 containerType = TWON_ARRAY + data[0] % 5; // 3 to 6, and 7 for a bad type
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size - 1);
    if (!block)
        return 0;
    std::memcpy(GlobalLock(block), data + 1, size - 1);
    GlobalUnlock(block);

    try {
        Trellis::CTWAINContainer container;
        container.FromHandle(block, containerType);
        if (TW_HANDLE written = container.ToHandle())
            Trellis::TWAINFreeHandle(written);
    } catch (const Trellis::CTWAINException&) {
        // refused
    }
    GlobalFree(block);
    return 0;
}
