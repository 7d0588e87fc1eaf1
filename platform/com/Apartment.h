// Apartment state shared by the COM calls of this folder (internal).
#pragma once

#include "platform/com/objbase.h"

#include <vector>

namespace plat::com {

// The hooks installed by SetApartmentHooks (copies; all may be null).
ApartmentHooks CurrentHooks();

// Empties the Global Interface Table when the last thread of the process
// leaves COM; the caller releases what it gets, outside its locks.
std::vector<IUnknown*> TakeGlobalInterfaces();

} // namespace plat::com
