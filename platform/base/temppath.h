// The user's temporary folder, as GetTempPath gives it: $TMPDIR, else /tmp,
// always with a trailing '/'.
#pragma once

#include "platform/base/wintypes.h"

extern "C" {

// Characters written without the terminator; when the buffer is too small,
// the size needed including the terminator, and nothing is written.
DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);
DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer);

} // extern "C"
