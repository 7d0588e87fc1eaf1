// Starting programs, waiting for them, exit codes, and processes by id.
//
// A process handle is waitable: it is signalled when the process ends. For a
// program started with CreateProcess the end is seen at once (a reaper
// thread waits for the child); a process opened by id that this process did
// not start is looked at again every 100 ms while someone waits for it.
//
// Paths may use '\' as the separator; a program named "x.exe" that does not
// exist is also looked for as "x" (programs have no extension here), a name
// without extension also as "x.exe" (a copy may keep its Windows name), and the
// program's file name matches without regard to ASCII case. A program
// named in the system folder that is not there is taken from the folder of
// the running program, where the system's own tools (net, regsvr32) are
// built.
#pragma once

#include "platform/base/winerror.h"
#include "platform/kernel/KernelObject.h"

extern "C" {

struct STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
using LPSTARTUPINFOW = STARTUPINFOW*;

struct STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
using LPSTARTUPINFOA = STARTUPINFOA*;

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

constexpr DWORD DEBUG_PROCESS = 0x00000001;
constexpr DWORD DEBUG_ONLY_THIS_PROCESS = 0x00000002;
constexpr DWORD DETACHED_PROCESS = 0x00000008;
constexpr DWORD CREATE_NEW_CONSOLE = 0x00000010;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;
constexpr DWORD CREATE_NEW_PROCESS_GROUP = 0x00000200;
constexpr DWORD CREATE_UNICODE_ENVIRONMENT = 0x00000400;
constexpr DWORD CREATE_DEFAULT_ERROR_MODE = 0x04000000;
constexpr DWORD CREATE_NO_WINDOW = 0x08000000;

constexpr DWORD STARTF_USESTDHANDLES = 0x00000100;

constexpr DWORD PROCESS_TERMINATE = 0x0001;
constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
constexpr DWORD PROCESS_ALL_ACCESS = 0x001FFFFF;

// The program is lpApplicationName when given, else the first argument of
// lpCommandLine (an unquoted first argument with blanks is tried at each
// blank, shortest first, as on Windows). The program gets lpCommandLine
// split into argv (SplitCommandLine), so argv[0] is the first argument as
// written. A bare program name is looked for in the program's own folder,
// the current folder, the system folder and PATH. The child inherits no
// descriptors beyond standard input, output and error. CREATE_NO_WINDOW
// starts a console program without a console: its standard input, output
// and error are /dev/null, so it prints nothing into the caller's terminal,
// unless the caller sets STARTF_USESTDHANDLES (the child then keeps this
// process's own three: the layer has no other handles a child could use).
// The other creation flags that concern consoles, windows and error modes
// mean nothing here and are ignored; CREATE_SUSPENDED and the debug flags
// are refused (ERROR_INVALID_PARAMETER). Of STARTUPINFO only dwFlags is
// read; bInheritHandles is not used.
// Errors: ERROR_FILE_NOT_FOUND (no such program), ERROR_DIRECTORY (no such
// current folder), ERROR_ACCESS_DENIED, ERROR_BAD_EXE_FORMAT.
// hThread stands for the child's main thread: it ends with the process and
// has its exit code; dwThreadId is the process id (as on Linux).
BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                    LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                    LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation);
BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                    LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                    LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation);

// A liveness test as much as an open: a process that is running (kill with
// signal 0 succeeds, or fails with EPERM because it belongs to someone else)
// and is not a zombie gives a handle; any other id gives null with
// ERROR_INVALID_PARAMETER. Only PROCESS_TERMINATE is checked: for a process
// this one may not signal it gives null with ERROR_ACCESS_DENIED.
HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);

// Kills the process (SIGKILL); its exit code becomes uExitCode. FALSE with
// ERROR_ACCESS_DENIED when it has ended already or may not be killed.
BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode);

// STILL_ACTIVE while the process runs. A child that ended by a signal
// reports 0xC0000000 + the signal number (killed by SIGKILL: 0xC0000009); an
// exit status is 8 bits here, so exit(-1) reads back as 255. For a process
// not started here the code cannot be known and reads 0 once it ended.
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
DWORD GetProcessId(HANDLE Process);

} // extern "C"
