// Console control handlers. SIGINT arrives as CTRL_C_EVENT and SIGHUP as
// CTRL_CLOSE_EVENT, on a thread of their own, once a handler is installed;
// handlers run newest first until one returns TRUE; when none does, the
// signal's default action ends the process.
#pragma once

#include "platform/base/wintypes.h"

constexpr DWORD CTRL_C_EVENT = 0;
constexpr DWORD CTRL_BREAK_EVENT = 1;
constexpr DWORD CTRL_CLOSE_EVENT = 2;
constexpr DWORD CTRL_LOGOFF_EVENT = 5;
constexpr DWORD CTRL_SHUTDOWN_EVENT = 6;

using PHANDLER_ROUTINE = BOOL (*)(DWORD dwCtrlType);

extern "C" {

// A null routine with Add TRUE makes the process ignore CTRL_C_EVENT (FALSE
// undoes that). Removing a routine that is not installed fails with
// ERROR_INVALID_PARAMETER.
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE HandlerRoutine, BOOL Add);

} // extern "C"

namespace plat {

// Runs the handlers for `ctrlType` as a console event would; TRUE when one
// of them (or the ignore flag, for CTRL_C_EVENT) handled it.
BOOL DispatchConsoleCtrlEvent(DWORD ctrlType);

} // namespace plat
