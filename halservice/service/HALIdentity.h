// Who a program copy is: taken from its own file name, which the device
// installer gives as base name, '_', the device's instance key, '_', the
// slot digit and the extension (NAME_0001_3.EXE).
#pragma once

#include "platform/base/guid.h"

#include <string>
#include <string_view>

struct HALIdentity {
    std::u16string HAL_NAME;       // the file name without its extension; empty: not found
    std::u16string HALInstanceKey; // four characters, or empty
    int HALModuleSlot = 0;         // 0-9
    CLSID clsid{};                 // the slot's class
    std::u16string APPID;          // the slot's application identifier, in braces
};

// The longest service name the module keeps (a 256-character field).
inline constexpr size_t kMaxServiceNameChars = 255;

// False for a malformed name: no '_' in the path, no second '_' before it,
// no digit after the last one, or a base name too long for a service name.
// Both '\' and '/' separate folders.
bool ParseHALIdentity(std::u16string_view modulePath, HALIdentity& identity);
