// Values as the service's log lines print them.
#pragma once

#include "platform/base/wintypes.h"

#include <cstdint>

// The word of an exit line's "[%s]".
inline const WCHAR* TrueFalse(bool value)
{
    return value ? u"TRUE" : u"FALSE";
}

// Pointers and handles appear in log lines as 32-bit hexadecimal.
inline DWORD Hex32(const void* p)
{
    return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(p));
}
