// Text for a debugger. There is no debugger output channel on Linux: the
// text goes to the standard error while a debugger traces the process (as a
// debugger would show it), and nowhere otherwise.
#pragma once

#include "platform/base/wintypes.h"

extern "C" {

void OutputDebugStringA(LPCSTR lpOutputString);

} // extern "C"
