// The identifiers that tie a program copy to its slot: the class of each
// slot and the application identifier, which differs per slot only in its
// last digit.
#pragma once

#include "platform/base/guid.h"

inline constexpr int kHALSlotCount = 10;

inline constexpr CLSID kHALClassIds[kHALSlotCount] = {
    plat::MakeGuid("{4E2A9C10-6B3D-4F58-9A71-0C8D2E5B1F60}"), plat::MakeGuid("{4E2A9C11-6B3D-4F58-9A71-0C8D2E5B1F61}"),
    plat::MakeGuid("{4E2A9C12-6B3D-4F58-9A71-0C8D2E5B1F62}"), plat::MakeGuid("{4E2A9C13-6B3D-4F58-9A71-0C8D2E5B1F63}"),
    plat::MakeGuid("{4E2A9C14-6B3D-4F58-9A71-0C8D2E5B1F64}"), plat::MakeGuid("{4E2A9C15-6B3D-4F58-9A71-0C8D2E5B1F65}"),
    plat::MakeGuid("{4E2A9C16-6B3D-4F58-9A71-0C8D2E5B1F66}"), plat::MakeGuid("{4E2A9C17-6B3D-4F58-9A71-0C8D2E5B1F67}"),
    plat::MakeGuid("{4E2A9C18-6B3D-4F58-9A71-0C8D2E5B1F68}"), plat::MakeGuid("{4E2A9C19-6B3D-4F58-9A71-0C8D2E5B1F69}"),
};

// Formatted with the slot digit ("%01d") as the last hexadecimal digit.
inline constexpr const WCHAR* kHALAppIdFormat = u"{B71D3E5A-2C94-4A6F-8E03-5D9C6A1F72E%01d}";

// The image device class: the device keys under Control\Class and the
// device interfaces of scanners.
inline constexpr GUID kImageClassGuid = plat::MakeGuid("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}");
inline constexpr const WCHAR* kImageClassKey =
    u"SYSTEM\\CurrentControlSet\\Control\\Class\\{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
