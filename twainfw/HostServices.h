// The few host services the framework needs that the platform layer does
// not offer yet: the temporary folder (GetTempPathA) and the millisecond
// tick (GetTickCount). Kept here, small, until the platform has them.
#pragma once

#include "platform/windows.h"

#include <string>

namespace Trellis::host {

// The temporary folder with a trailing '/': $TMPDIR, else /tmp.
std::string TempPath();

// Milliseconds since an arbitrary start, wrapping at 2^32.
DWORD TickCount();

} // namespace Trellis::host
