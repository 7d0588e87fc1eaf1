// The library's module: the lock count behind DllCanUnloadNow.
#pragma once

#include "platform/com/ComModule.h"

plat::ComModule& RNXCOMCoreModule();
