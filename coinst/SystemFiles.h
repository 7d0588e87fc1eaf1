// The file, folder and system-version calls the co-installer makes, which
// the platform layer does not provide: a private stand-in of this library.
//
// Paths are the platform's: the system folder is the system root's
// "system" folder, the Windows folder the root's "windows" folder, and '\'
// counts as a separator wherever a path reaches the file system.
#pragma once

#include "platform/base/wintypes.h"

#include <string>
#include <vector>

namespace coinst {

constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// The folder separator the co-installer writes into the paths it builds.
constexpr WCHAR kPathSeparator = u'/';

// Characters written without the terminator; 0 with the last error set on
// failure, the needed size (terminator included) when the buffer is short.
UINT GetSystemDirectoryW(WCHAR* buffer, UINT size);
UINT GetWindowsDirectoryW(WCHAR* buffer, UINT size);

// Copies the file with its permissions. failIfExists: an existing target
// stays and the call fails with ERROR_FILE_EXISTS.
BOOL CopyFileW(const WCHAR* existingFile, const WCHAR* newFile, BOOL failIfExists);
BOOL DeleteFileW(const WCHAR* fileName);
DWORD GetFileAttributesW(const WCHAR* fileName);

// The names of the files in `folder` that match `pattern` ('*' and '?',
// ASCII case ignored), as a directory search with FindFirstFile would list
// them; an empty list when the folder cannot be read.
std::vector<std::u16string> FindFiles(const std::u16string& folder, const std::u16string& pattern);

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};

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
static_assert(sizeof(OSVERSIONINFOW) == 276);
static_assert(sizeof(OSVERSIONINFOEXW) == 284);

// Fills either record, chosen by dwOSVersionInfoSize (ERROR_INSUFFICIENT_BUFFER
// for any other size). The system reports itself as NT 6.1 unless a test set
// another version.
BOOL GetVersionExW(OSVERSIONINFOW* info);
void SetReportedVersionForTesting(DWORD platformId, DWORD majorVersion);

} // namespace coinst
