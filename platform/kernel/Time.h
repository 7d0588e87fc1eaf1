// Sleeping and tick counts, all on the installed clock (platform/kernel/Clock.h).
#pragma once

#include "platform/base/wintypes.h"

extern "C" {

// Sleep(0) gives up the rest of the time slice.
void Sleep(DWORD dwMilliseconds);
// Milliseconds on the clock; the 32-bit count wraps after 49.7 days.
DWORD GetTickCount();
ULONGLONG GetTickCount64();

} // extern "C"
