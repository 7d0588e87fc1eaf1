// Apartment state shared by the COM calls of this folder (internal).
#pragma once

#include "platform/com/objbase.h"

namespace plat::com {

// The hooks installed by SetApartmentHooks (copies; all may be null).
ApartmentHooks CurrentHooks();

// Releases every interface still held by the Global Interface Table; run
// when the last thread of the process leaves COM.
void ReleaseGlobalInterfaces();

} // namespace plat::com
