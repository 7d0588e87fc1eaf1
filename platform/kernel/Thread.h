// Threads with waitable handles and exit codes, and thread and process ids.
//
// Thread ids are the Linux thread ids (gettid), so they match /proc and the
// ids in log lines; the process id is the Linux process id.
#pragma once

#include "platform/kernel/KernelObject.h"

extern "C" {

constexpr DWORD STILL_ACTIVE = 259;
constexpr DWORD CREATE_SUSPENDED = 0x4;
constexpr DWORD STACK_SIZE_PARAM_IS_A_RESERVATION = 0x10000;

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID lpThreadParameter);
using PTHREAD_START_ROUTINE = LPTHREAD_START_ROUTINE;

// The stack size is a hint that is not followed (threads get the system's
// default stack). CREATE_SUSPENDED holds the thread until ResumeThread.
// An exception that leaves the thread routine ends the process, as an
// unhandled exception in a thread does.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                    LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId);
// Only lets a thread created suspended start; returns the previous suspend
// count (1 for a suspended thread, 0 otherwise), (DWORD)-1 on a bad handle.
DWORD ResumeThread(HANDLE hThread);

// Ends the calling thread: C++ objects on its stack are destroyed on the
// way out (unlike on Windows), then its handle is signalled.
[[noreturn]] void ExitThread(DWORD dwExitCode);

// A thread cannot be killed on Linux without corrupting the process. This
// abandons it instead: its handle is signalled at once with dwExitCode
// (waiters go on, GetExitCodeThread reports the code), a line goes to
// standard error, and the thread itself runs on until its routine returns.
// Returns TRUE. On the calling thread itself it is ExitThread.
BOOL TerminateThread(HANDLE hThread, DWORD dwExitCode);

// STILL_ACTIVE while the thread runs.
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);

DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
DWORD GetThreadId(HANDLE Thread);
// Pseudo-handles, valid only in the calling thread / process and never
// closed (DuplicateHandle of GetCurrentThread gives a real one).
HANDLE GetCurrentThread();
HANDLE GetCurrentProcess();

// The C run-time's thread start: the same thread as CreateThread; 0 on
// failure.
uintptr_t _beginthreadex(void* security, unsigned stack_size, unsigned (*start_address)(void*), void* arglist,
                         unsigned initflag, unsigned* thrdaddr);

} // extern "C"
