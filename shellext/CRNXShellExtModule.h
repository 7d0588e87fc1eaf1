// The library's module: the count of live objects, factories and server
// locks behind DllCanUnloadNow, and the module handle its resources are
// found by.
#pragma once

#include "platform/windows.h"

plat::ComModule& CRNXShellExtModule();
HINSTANCE ShellExtInstance();
