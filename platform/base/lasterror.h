// The calling thread's last error code.
#pragma once

#include "platform/base/wintypes.h"

DWORD GetLastError();
void SetLastError(DWORD dwErrCode);
