// English names of the standard properties, for the driver's data trace.
#pragma once

#include "platform/windows.h"

#include <span>

struct WiaPropertyName {
    PROPID id;
    const WCHAR* name;
};

// In id order; where an id occurs twice the later row's name is the one used.
std::span<const WiaPropertyName> WiaPropertyNames();
