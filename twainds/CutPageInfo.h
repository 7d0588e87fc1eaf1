// The source's own extended image information items that tell an
// application a page was cut short by a device status (jam, cover open,
// stall, ...). Such a page reaches the application padded to its length,
// and the next transfer fails with the status; these items, asked after the
// cut page's transfer, say where it was cut and why.
#pragma once

#include "platform/twain/twain.h"

namespace qbk24 {

// TWTY_UINT32: the lines the scanner delivered before the cut; 0 for a
// whole page.
constexpr TW_UINT16 TWEI_CUTATLINE = CAP_CUSTOMBASE + 0x100;
// TWTY_UINT32: the status the next transfer fails with, as the condition
// code (low 16 bits) and its Data (high 16 bits), which DAT_STATUSUTF8 puts
// in words; 0 for a whole page.
constexpr TW_UINT16 TWEI_CUTSTATUS = CAP_CUSTOMBASE + 0x101;

inline TW_STATUS CutStatus(TW_UINT32 item)
{
    TW_STATUS status{};
    status.ConditionCode = static_cast<TW_UINT16>(item & 0xFFFF);
    status.Data = static_cast<TW_UINT16>(item >> 16);
    return status;
}

} // namespace qbk24
