// The shell's calls and interfaces: the user's special folders, as the
// shell names them by CSIDL, and the extension interfaces a property-sheet
// extension implements, IShellExtInit (the items it is about, as a data
// object) and IShellPropSheetExt (its pages, handed over through the
// sheet's callback).
//
// The special folders: each user has a folder of its own under the system root,
// <root>/users/<login name>, standing for the user's profile: "AppData/
// Roaming" is the application-data folder, "AppData/Local" the local one,
// "Documents" the documents folder. The system and Windows folders are the
// root's (platform/base/sysinfoapi.h). Paths are Linux paths without a
// trailing separator; the file calls also take '\' as a separator, so a
// caller may append Windows-style parts.
#pragma once

#include "platform/base/guid.h"
#include "platform/base/unknwn.h"
#include "platform/base/wintypes.h"
#include "platform/registry/winreg.h"
#include "platform/shell/objidl.h"
#include "platform/ui/PropertySheet.h"

#include <string>

// Item identifier lists are opaque here: the extensions never read them.
struct ITEMIDLIST;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

using EXPPS = UINT;
using LPFNSVADDPROPSHEETPAGE = LPFNADDPROPSHEETPAGE;

inline constexpr IID IID_IShellExtInit = plat::MakeGuid("000214E8-0000-0000-C000-000000000046");
inline constexpr IID IID_IShellPropSheetExt = plat::MakeGuid("000214E9-0000-0000-C000-000000000046");

struct IShellExtInit : IUnknown {
    STDMETHOD(Initialize)(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) PURE;
};

struct IShellPropSheetExt : IUnknown {
    STDMETHOD(AddPages)(LPFNSVADDPROPSHEETPAGE pfnAddPage, LPARAM lParam) PURE;
    STDMETHOD(ReplacePage)(EXPPS uPageID, LPFNSVADDPROPSHEETPAGE pfnReplaceWith, LPARAM lParam) PURE;
};

extern "C" {

constexpr int CSIDL_PERSONAL = 0x0005;
constexpr int CSIDL_APPDATA = 0x001A;
constexpr int CSIDL_LOCAL_APPDATA = 0x001C;
constexpr int CSIDL_WINDOWS = 0x0024;
constexpr int CSIDL_SYSTEM = 0x0025;
// Or'd into a CSIDL: make the folder (private to the user) when missing.
constexpr int CSIDL_FLAG_CREATE = 0x8000;

constexpr DWORD SHGFP_TYPE_CURRENT = 0;
constexpr DWORD SHGFP_TYPE_DEFAULT = 1;

// Writes the folder into pszPath (MAX_PATH characters). S_OK; E_INVALIDARG
// for a CSIDL not listed above or a null buffer; the Win32 error as an
// HRESULT when the folder is missing and not to be made, or cannot be made;
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) when it does not fit. The
// window, token and flags are not used.
HRESULT SHGetFolderPathW(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPWSTR pszPath);
HRESULT SHGetFolderPathA(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPSTR pszPath);

// The same folder into a MAX_PATH buffer; fCreate makes it when missing.
// FALSE on any failure, with the error in GetLastError.
BOOL SHGetSpecialFolderPathW(HWND hwnd, LPWSTR pszPath, int csidl, BOOL fCreate);
BOOL SHGetSpecialFolderPathA(HWND hwnd, LPSTR pszPath, int csidl, BOOL fCreate);

} // extern "C"
