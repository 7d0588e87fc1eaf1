// One property as the driver describes it to the service: name, id, value,
// PROPSPEC and access with valid values. A record does not own what its
// value and valid values point at (the driver's value lists, format list and
// firmware text).
#pragma once

#include "platform/windows.h"

#include <map>

struct WiaPropEntry {
    WCHAR name[256];
    PROPID id;
    PROPVARIANT value;
    PROPSPEC spec;
    WIA_PROPERTY_INFO info;
};

// Ordered by id: the order in which a table is written into its item.
using WiaPropTable = std::map<PROPID, WiaPropEntry>;
