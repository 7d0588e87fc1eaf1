// Version information of a module file, read the Windows way:
// GetFileVersionInfoSize, GetFileVersionInfo into a caller's buffer, then
// VerQueryValue on that buffer with "\\" (the VS_FIXEDFILEINFO),
// "\\VarFileInfo\\Translation" (language and code page pairs, 4 bytes each)
// or "\\StringFileInfo\\040904B0\\ProductName"-style paths. The buffer has a
// layout of our own; only VerQueryValue reads it.
#pragma once

#include "platform/base/wintypes.h"

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;    // 0xFEEF04BD
    DWORD dwStrucVersion; // 0x00010000
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
constexpr DWORD VFT_APP = 1;
constexpr DWORD VFT_DLL = 2;

extern "C" {

// The file may be a module already loaded (found by identity of the file,
// whatever path names it) or a shared library, which is then loaded for the
// look-up and unloaded again. 0 with ERROR_FILE_NOT_FOUND when there is no
// such file, ERROR_RESOURCE_DATA_NOT_FOUND when it is no loadable module,
// ERROR_RESOURCE_TYPE_NOT_FOUND when it carries no version information.
// *lpdwHandle is set to 0.
DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle);
DWORD GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle);
// Unlike Windows, a buffer smaller than GetFileVersionInfoSize asked for is
// refused (ERROR_INSUFFICIENT_BUFFER) rather than filled with a cut block.
BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
BOOL GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);

// *lplpBuffer points into pBlock. *puLen is the size in bytes for "\\" and
// the translation list, the length in characters including the terminator
// for a string. Path parts are compared without regard to case. The W form
// gives UTF-16 strings, the A form UTF-8.
BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen);
BOOL VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen);

} // extern "C"
