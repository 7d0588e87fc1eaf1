// Registration of a type library described in code (TypeDescription.h),
// under the keys where clients look for one:
//
//   HKCR\TypeLib\{LIBID}\<major>.<minor>   = help string
//       0\win64 (win32 in a 32-bit build)   = the path of the library holding it
//       FLAGS                               = "0"
//       HELPDIR                             = the folder of that library
//
// The interfaces' own keys (HKCR\Interface\{IID}) belong to their proxy/stub
// registration and are not written here.
#pragma once

#include "platform/typelib/TypeDescription.h"

namespace plat {

// Writes the keys above; `perUser` writes them under HKCU\Software\Classes.
HRESULT RegisterTypeLibrary(const TypeLibraryDesc& lib, const WCHAR* modulePath, bool perUser = false);
// Removes them again; HKCR\TypeLib\{LIBID} goes when no other version is left.
HRESULT UnregisterTypeLibrary(const TypeLibraryDesc& lib, bool perUser = false);

} // namespace plat
