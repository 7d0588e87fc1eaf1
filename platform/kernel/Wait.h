// Waiting for kernel objects.
#pragma once

#include "platform/kernel/KernelObject.h"

extern "C" {

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED_0 = 0x80;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_IO_COMPLETION = 0xC0;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Wait-any returns WAIT_OBJECT_0 + the lowest index among the signalled
// objects and consumes only that one (an auto-reset event further along
// stays signalled). Wait-all returns when all are signalled at once and
// consumes them together. WAIT_TIMEOUT when the time-out passes (measured
// on the installed clock); WAIT_FAILED with ERROR_INVALID_HANDLE when a
// handle is not open or cannot be waited for, with ERROR_INVALID_PARAMETER
// for a count of 0 or above MAXIMUM_WAIT_OBJECTS. A mutex whose owner
// thread ended while holding it is taken with WAIT_ABANDONED_0 + its index.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds);
// No asynchronous procedure calls exist here; bAlertable changes nothing.
DWORD WaitForSingleObjectEx(HANDLE hHandle, DWORD dwMilliseconds, BOOL bAlertable);
DWORD WaitForMultipleObjectsEx(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds,
                               BOOL bAlertable);

} // extern "C"
