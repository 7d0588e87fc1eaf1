// Access tokens, as far as enabling a privilege goes.
//
// Linux has no per-privilege switch: a process either may act on another
// user's processes (it runs as root) or it may not. Enabling a privilege
// therefore succeeds in form everywhere, and reports ERROR_NOT_ALL_ASSIGNED
// unless the process runs as root, as Windows does for a privilege the
// token does not hold.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/base/winerror.h"

extern "C" {

struct LUID {
    DWORD LowPart;
    LONG HighPart;
};
using PLUID = LUID*;

struct LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
};

struct TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
};
using PTOKEN_PRIVILEGES = TOKEN_PRIVILEGES*;

constexpr DWORD TOKEN_QUERY = 0x0008;
constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x0020;
constexpr DWORD SE_PRIVILEGE_ENABLED = 0x00000002;

// A token handle of the process (only the current process), closed with
// CloseHandle.
BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle);
// Knows "SeDebugPrivilege", "SeShutdownPrivilege" and "SeTcbPrivilege";
// ERROR_NO_SUCH_PRIVILEGE for other names.
BOOL LookupPrivilegeValueW(LPCWSTR lpSystemName, LPCWSTR lpName, PLUID lpLuid);
BOOL LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid);
// TRUE; the last error is ERROR_SUCCESS as root, else ERROR_NOT_ALL_ASSIGNED.
BOOL AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges, PTOKEN_PRIVILEGES NewState,
                           DWORD BufferLength, PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength);

} // extern "C"
