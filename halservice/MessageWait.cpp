#include "halservice/MessageWait.h"

#include "platform/kernel/kernel.h"

void DispatchQueuedMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

DWORD WaitMultipleWithMessages(DWORD count, const HANDLE* handles, DWORD timeoutMs)
{
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjects(count, handles, FALSE, timeoutMs, QS_ALLINPUT);
        if (result != WAIT_OBJECT_0 + count)
            return result;
        DispatchQueuedMessages();
    }
}

DWORD WaitWithMessages(HANDLE handle, DWORD timeoutMs) { return WaitMultipleWithMessages(1, &handle, timeoutMs); }
