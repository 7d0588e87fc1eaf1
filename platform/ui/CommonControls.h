// The common-controls library's version query. Which version answers
// decides what a dialog may use (the "SysLink" link control needs 6.0);
// here the controls of this layer stand in for version 6.10, and a test may
// make the query report another version or fail.
#pragma once

#include "platform/ui/winuser.h"

extern "C" {

struct DLLVERSIONINFO {
    DWORD cbSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformID;
};
static_assert(sizeof(DLLVERSIONINFO) == 20);
constexpr DWORD DLLVER_PLATFORM_WINDOWS = 0x1;
using DLLGETVERSIONPROC = HRESULT (*)(DLLVERSIONINFO*);

// The exported entry of "comctl32": E_INVALIDARG for a null record or one
// whose cbSize is not 20.
HRESULT DllGetVersion(DLLVERSIONINFO* pdvi);

} // extern "C"

namespace plat::ui {

// What DllGetVersion reports from now on; a failing query answers E_NOTIMPL.
void SetCommonControlsVersion(DWORD major, DWORD minor);
void SetCommonControlsVersionFails(bool fails);
// Back to version 6.10, answering.
void ResetCommonControlsVersion();

} // namespace plat::ui
