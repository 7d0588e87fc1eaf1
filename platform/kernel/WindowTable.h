// The window table as the message queues see it (internal to the platform
// library).
#pragma once

#include "platform/base/wintypes.h"

namespace plat {

// The thread that owns the window; false when there is no such window.
bool WindowOwner(HWND hwnd, DWORD* threadId);

// Calls the window's procedure; 0 when the window is gone.
LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Thread end: its windows are removed without messages.
void RemoveThreadWindows(DWORD threadId);

} // namespace plat
