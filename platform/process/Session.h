// Terminal-services sessions, from the Linux login session.
//
// A process's session is its login session (the kernel's audit session id,
// /proc/<pid>/sessionid, which is also logind's session number); a process
// outside any login session (a system service, a container) is in session
// 0. The active console session is the active session of seat0 as logind
// reports it; on a machine without logind it is the session of this process.
// Tests and the demo set the console session with the environment variable
// QBK_CONSOLE_SESSION (a number, or "none" for no console session) and the
// session of given processes with plat::SetProcessSessionOverride.
//
// These are extern "C" so that GetProcAddress finds them by name.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/base/winerror.h"

extern "C" {

// 0xFFFFFFFF when no session is attached to the console.
DWORD WTSGetActiveConsoleSessionId();
// FALSE with ERROR_INVALID_PARAMETER for a process that does not run.
BOOL ProcessIdToSessionId(DWORD dwProcessId, DWORD* pSessionId);
// A token handle (close it with CloseHandle) for the console session only:
// FALSE with ERROR_NO_TOKEN for any other session or when there is no
// console session (nobody logged on at the console).
BOOL WTSQueryUserToken(ULONG SessionId, PHANDLE phToken);

} // extern "C"

namespace plat {

constexpr const char* kConsoleSessionVariable = "QBK_CONSOLE_SESSION";

// Makes ProcessIdToSessionId report `sessionId` for `processId` (for tests);
// ClearProcessSessionOverrides forgets them all.
void SetProcessSessionOverride(DWORD processId, DWORD sessionId);
void ClearProcessSessionOverrides();

} // namespace plat
