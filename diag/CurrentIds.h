// The calling thread's and process's ids for log records.
#pragma once

#include "platform/base/wintypes.h"

DWORD DiagCurrentThreadId();
DWORD DiagCurrentProcessId();
