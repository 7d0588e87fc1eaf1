// The process lock that every live hardware-service object and every
// IClassFactory::LockServer(TRUE) holds. The service module decides what a
// count of 0 means (a local server ends after a delay); until it installs
// its own functions the count is kept here.
#pragma once

#include "platform/base/wintypes.h"

using HALProcessLockFunction = LONG (*)();

// Both null: back to the built-in count.
void SetHALProcessLockFunctions(HALProcessLockFunction lock, HALProcessLockFunction unlock);
// The new count.
LONG LockHALProcess();
LONG UnlockHALProcess();
// The built-in count (0 when the module's functions are installed and never called).
LONG HALProcessLockCount();
