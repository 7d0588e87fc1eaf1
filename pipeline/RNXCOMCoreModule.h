// The library's module: the lock count behind DllCanUnloadNow, and the
// process-wide settings it makes once.
#pragma once

#include "platform/com/ComModule.h"

plat::ComModule& RNXCOMCoreModule();

// Every record of this library carries the application name "RNX COM Core";
// set before the first traced object asks for the log sink.
void SetApplicationNameOnce();
