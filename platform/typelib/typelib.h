// Type information for dual interfaces: descriptions, ITypeInfo, the
// IDispatch half of a dual interface, and type-library registration.
#pragma once

#include "platform/typelib/TypeDescription.h"
#include "platform/typelib/TypeInfo.h"
#include "platform/typelib/TypeLibRegistration.h"
