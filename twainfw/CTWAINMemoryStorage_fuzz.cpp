// Reads a settings image as a profile file or an application hands it
// over: the identity header, then records the input makes up. The chain
// check, every kind of read, a look-up and a write that grows the block
// must stay inside the block.
#include "twainfw/CTWAINMemoryStorage.h"
#include "twainfw/TWAINException.h"

#include "platform/windows.h"

#include <cstring>

namespace {

constexpr TW_UINT32 kHeader = 156;

// Names of the scanner's keys of each kind, and list keys.
const char* const kNames[] = {"icapPixelType", "icapBrightness", "icapHalfTones", "custLongDocSupport",
                              "icapFilter.0",  "icapFilter.1",   "icapFilter.2"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block)
        return 0;
    if (size > 0) {
        std::memcpy(GlobalLock(block), data, size);
        GlobalUnlock(block);
    }
    {
        const auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
        Trellis::CTWAINMemoryStorage::RecordsAreWhole(bytes, size, kHeader);
        GlobalUnlock(block);
    }

    try {
        Trellis::CTWAINMemoryStorage storage(block, kHeader);
        for (const char* name : kNames) {
            for (TW_UINT32 capability : {0x0101u, 0x1101u, 0x1106u, 0x1109u, 0x8029u}) {
                storage.Contains(name, capability);
                storage.ReadInt(name, capability);
                storage.ReadBool(name, capability);
                storage.ReadFloat(name, capability);
                storage.ReadString(name, capability);
            }
        }
        storage.WriteString("icapHalfTones", "Dither 8x8 Bayer", 0x1109);
        storage.WriteInt("icapFilter.0", -1, 0x1106);
        storage.ReadString("icapHalfTones", 0x1109);
        // The grown block is the storage's own now.
    } catch (const Trellis::CTWAINException&) {
        // a block that could not grow
    }
    return 0;
}
