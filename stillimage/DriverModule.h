// The count of the library's live objects (class factories and drivers):
// the library may only be unloaded while it is zero.
#pragma once

#include "platform/windows.h"

LONG DriverModuleObjects();
void DriverModuleObjectCreated();
void DriverModuleObjectDestroyed();
