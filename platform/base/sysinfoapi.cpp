#include "platform/base/sysinfoapi.h"

#include "platform/base/PathOut.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"

#include <atomic>
#include <cstring>
#include <string>
#include <string_view>

namespace {

std::atomic<DWORD> g_platformId{VER_PLATFORM_WIN32_NT};
std::atomic<DWORD> g_majorVersion{6};

constexpr BYTE kWorkstation = 1; // VER_NT_WORKSTATION

} // namespace

UINT GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize)
{
    return plat::CopyPathOut(Utf8ToUtf16(plat::SystemFolder()), uSize, lpBuffer);
}

UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    return plat::CopyPathOut(plat::SystemFolder(), uSize, lpBuffer);
}

UINT GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize)
{
    return plat::CopyPathOut(Utf8ToUtf16(plat::WindowsFolder()), uSize, lpBuffer);
}

UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize)
{
    return plat::CopyPathOut(plat::WindowsFolder(), uSize, lpBuffer);
}

BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation)
{
    if (!lpVersionInformation || (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) &&
                                  lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    // Everything after the size field: the caller's record is as long as it says.
    const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    std::memset(reinterpret_cast<BYTE*>(lpVersionInformation) + sizeof(DWORD), 0, size - sizeof(DWORD));
    lpVersionInformation->dwMajorVersion = g_majorVersion;
    lpVersionInformation->dwMinorVersion = 1;
    lpVersionInformation->dwBuildNumber = 7601;
    lpVersionInformation->dwPlatformId = g_platformId;
    std::u16string_view servicePack = u"Service Pack 1";
    servicePack.copy(lpVersionInformation->szCSDVersion, servicePack.size());
    if (size == sizeof(OSVERSIONINFOEXW)) {
        auto* extended = reinterpret_cast<OSVERSIONINFOEXW*>(lpVersionInformation);
        extended->wServicePackMajor = 1;
        extended->wProductType = kWorkstation;
    }
    return TRUE;
}

BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation)
{
    if (!lpVersionInformation || lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    OSVERSIONINFOW wide{};
    wide.dwOSVersionInfoSize = sizeof wide;
    GetVersionExW(&wide);
    *lpVersionInformation = OSVERSIONINFOA{};
    lpVersionInformation->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    lpVersionInformation->dwMajorVersion = wide.dwMajorVersion;
    lpVersionInformation->dwMinorVersion = wide.dwMinorVersion;
    lpVersionInformation->dwBuildNumber = wide.dwBuildNumber;
    lpVersionInformation->dwPlatformId = wide.dwPlatformId;
    const std::string servicePack = Utf16ToUtf8(wide.szCSDVersion);
    servicePack.copy(lpVersionInformation->szCSDVersion, sizeof lpVersionInformation->szCSDVersion - 1);
    return TRUE;
}

namespace plat {

void SetReportedWindowsVersion(DWORD platformId, DWORD majorVersion)
{
    g_platformId = platformId;
    g_majorVersion = majorVersion;
}

} // namespace plat
