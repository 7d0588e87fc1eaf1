// Waits that keep removing and dispatching the calling thread's window
// messages, so a thread that owns windows or a single-threaded apartment
// keeps serving them while it waits. The time-out restarts after every
// batch of messages.
#pragma once

#include "platform/base/wintypes.h"

// 0 signalled, WAIT_TIMEOUT, WAIT_ABANDONED_0 or WAIT_FAILED.
DWORD WaitWithMessages(HANDLE handle, DWORD timeoutMs);
// The index-style result of the first wake-up that is not queued input.
DWORD WaitMultipleWithMessages(DWORD count, const HANDLE* handles, DWORD timeoutMs);

// Removes and dispatches every message queued for the calling thread.
void DispatchQueuedMessages();
