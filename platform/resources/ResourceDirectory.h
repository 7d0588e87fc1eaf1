// The process-wide directory of registered module resources (internal).
#pragma once

#include "platform/resources/ResourceTable.h"

#include <vector>

namespace plat::resources {

void Register(HMODULE module, const ModuleResources* resources);
void Unregister(HMODULE module, const ModuleResources* resources);

// Every table registered for the module, in registration order. The tables
// stay valid while the module stays loaded. A null module is the program.
std::vector<const ModuleResources*> TablesOf(HMODULE module);

// Compares a resource id with a FindResource argument (number, "#123" or text).
bool Matches(const ResourceId& id, const WCHAR* wanted);

} // namespace plat::resources
