// The library's registration scripts, by resource number (ResourceIds.h).
// They name the module (%MODULE%), the application id (%APPID%), the type
// library (%LIBID%) and the two classes (%HANDLER%, %PAGE%).
#pragma once

#include "shellext/CRNXShellExtModule.h"

#include <string_view>

// The script's text; empty when the library carries no such script.
std::string_view LoadRegistryScript(WORD id);
