// The system's folders and version.
//
// The system folder is the system root's "system" folder and the Windows
// folder its "windows" folder (platform/base/sysroot.h); both are given
// without a trailing separator. The system reports itself as a Windows NT
// 6.1 workstation (build 7601, Service Pack 1) unless a test sets another
// version.
#pragma once

#include "platform/base/wintypes.h"

extern "C" {

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};
using LPOSVERSIONINFOW = OSVERSIONINFOW*;

struct OSVERSIONINFOEXW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
using LPOSVERSIONINFOEXW = OSVERSIONINFOEXW*;

// The narrow record: the same fields with an 8-bit service-pack text.
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
using LPOSVERSIONINFOA = OSVERSIONINFOA*;

static_assert(sizeof(OSVERSIONINFOW) == 276);
static_assert(sizeof(OSVERSIONINFOEXW) == 284);
static_assert(sizeof(OSVERSIONINFOA) == 148);

// Characters written without the terminator; when the buffer is too small,
// the size needed including the terminator, and nothing is written.
UINT GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize);
UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);
UINT GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize);
UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize);

// Fills either record, chosen by dwOSVersionInfoSize; any other size fails
// with ERROR_INSUFFICIENT_BUFFER.
BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation);
// The narrow record only (dwOSVersionInfoSize 148).
BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);

} // extern "C"

namespace plat {

// Makes GetVersionExW report another platform and major version (for
// tests); SetReportedWindowsVersion(VER_PLATFORM_WIN32_NT, 6) restores the
// default.
void SetReportedWindowsVersion(DWORD platformId, DWORD majorVersion);

} // namespace plat
