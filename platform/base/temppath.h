// The user's temporary folder, as GetTempPath gives it: the Temp folder of
// the user's local application data, <root>/users/<login>/AppData/Local/Temp/
// (with its trailing '/'), where it is on the system this stands in for.
// It is the user's own and private, made with the root's layout
// (EnsureSystemRootLayout), so a fixed file name in it (the data source's
// debug log, its default transfer file) is the user's alone, which in a
// shared /tmp it would not be. TMPDIR is not used.
#pragma once

#include "platform/base/wintypes.h"

extern "C" {

// Characters written without the terminator; when the buffer is too small,
// the size needed including the terminator, and nothing is written.
DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);
DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer);

} // extern "C"
