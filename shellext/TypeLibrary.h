// The library's type library RNXShellExtLib: the handler's interface and
// the two coclasses, for registration.
#pragma once

#include "platform/windows.h"

const plat::TypeLibraryDesc& RNXShellExtTypeLibrary();
