// The common-controls library's version query. Which version answers
// decides what a dialog may use (the "SysLink" link control needs 6.0);
// here the controls of this layer stand in for version 6.10, and a test may
// make the query report another version or fail.
#pragma once

#include "platform/ui/winuser.h"

#include <cstdint>

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

// The larger record, with the packed 64-bit version.
struct DLLVERSIONINFO2 {
    DLLVERSIONINFO info1;
    DWORD dwFlags;
    ULONGLONG ullVersion; // major, minor, build, fix: 16 bits each, major on top
};
static_assert(sizeof(DLLVERSIONINFO2) == 32);

constexpr ULONGLONG MAKEDLLVERULL(WORD major, WORD minor, WORD build, WORD fix)
{
    return (ULONGLONG{major} << 48) | (ULONGLONG{minor} << 32) | (ULONGLONG{build} << 16) | ULONGLONG{fix};
}
using DLLGETVERSIONPROC = HRESULT (*)(DLLVERSIONINFO*);

// The exported entry of "comctl32": E_INVALIDARG for a null record or one
// whose cbSize is neither 20 nor 32 (DLLVERSIONINFO2, which also gets the
// packed version).
HRESULT DllGetVersion(DLLVERSIONINFO* pdvi);

} // extern "C"

namespace plat::ui {

// The version a library's DllGetVersion entry reports: major << 48 |
// minor << 32 | build << 16; 0 (with the HRESULT as the last error) when
// the call fails.
std::uint64_t GetDllVersion(DLLGETVERSIONPROC entry);

// What DllGetVersion reports from now on; a failing query answers E_NOTIMPL.
void SetCommonControlsVersion(DWORD major, DWORD minor);
void SetCommonControlsVersionFails(bool fails);
// Back to version 6.10, answering.
void ResetCommonControlsVersion();

} // namespace plat::ui
