// The library's fixed identities: its two classes, the handler's interface,
// its type library and its application id.
#pragma once

#include "platform/windows.h"

inline constexpr CLSID CLSID_RNXHWPropertyPage = plat::MakeGuid("5C1E8A47-93D2-4B6F-A0E5-1F7C3D9B2864");
inline constexpr CLSID CLSID_RNXWIADialogExtHandler = plat::MakeGuid("A83F06D1-2C5B-4E97-8D14-6B0E9F3A7C25");
inline constexpr IID IID_IRNXWIADialogExtHandler = plat::MakeGuid("E4B72C90-1D6A-4F38-95C3-7A0D8E2B61F4");
inline constexpr GUID LIBID_RNXShellExtLib = plat::MakeGuid("2F9D4B16-7E3A-4C81-B5D0-93A6C1E7F048");
inline constexpr GUID APPID_RNXShellExt = plat::MakeGuid("8D6A1F3C-4B05-4E2D-9A71-C3E8B5026F9D");
