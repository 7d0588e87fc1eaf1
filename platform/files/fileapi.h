// Files by path: copying, deleting, attributes, folder listings, the
// current folder and new folders.
//
// Paths may use '\' as the separator. Copies never write into an existing
// file: the copy is written beside the target under a temporary name and
// then renamed over it, so a program or library that some process has
// mapped keeps its old pages (Windows refuses to overwrite a mapped image;
// replacing the name is the equivalent here, and no reader ever sees half a
// file).
#pragma once

#include "platform/base/wintypes.h"
#include "platform/kernel/KernelObject.h"

extern "C" {

constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;
static_assert(sizeof(WIN32_FIND_DATAW) == 592);

// The narrow listing record: names in UTF-8, as every narrow text here.
struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;
static_assert(sizeof(WIN32_FIND_DATAA) == 320);

// Copies the file's bytes and permissions. An existing target is replaced
// by rename, or with bFailIfExists kept (ERROR_FILE_EXISTS; the check and
// the rename are one step, so two copies racing for one name never both
// win). Errors: ERROR_FILE_NOT_FOUND (no source), ERROR_PATH_NOT_FOUND (no
// target folder), ERROR_ACCESS_DENIED (a folder, or no permission).
BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists);
BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);

// A folder gives ERROR_ACCESS_DENIED. A running program's file can be
// deleted here (its process keeps the file's pages).
BOOL DeleteFileW(LPCWSTR lpFileName);
BOOL DeleteFileA(LPCSTR lpFileName);

// FILE_ATTRIBUTE_DIRECTORY for a folder, FILE_ATTRIBUTE_ARCHIVE for any
// other file; INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND when there
// is none.
DWORD GetFileAttributesW(LPCWSTR lpFileName);

// Lists the files of a folder whose names match the last part of
// lpFileName ("folder\*.EXE"): '*' matches any run of characters, '?' any
// one, ASCII letters without regard to case; "." and ".." are not listed.
// Names come in case-insensitive order, the way an NTFS folder lists them.
// The creation time is the last status change (Linux keeps no other).
// No match: INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND; no such folder:
// ERROR_PATH_NOT_FOUND. Close the handle with FindClose.
HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData);
// FALSE with ERROR_NO_MORE_FILES after the last one.
BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData);
// The same listing with UTF-8 names (a name too long for the record is cut).
HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData);
BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData);
BOOL FindClose(HANDLE hFindFile);

// The process's current folder (one for all threads, as on Windows).
// Characters written without the terminator; when the buffer is too small,
// the size needed including the terminator, and nothing is written.
DWORD GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer);
DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);
// ERROR_FILE_NOT_FOUND when the folder is missing, ERROR_DIRECTORY when it
// is a file.
BOOL SetCurrentDirectoryW(LPCWSTR lpPathName);
BOOL SetCurrentDirectoryA(LPCSTR lpPathName);
// Makes one folder, private to the user (0700); the security attributes
// are not used. ERROR_ALREADY_EXISTS when something has the name,
// ERROR_PATH_NOT_FOUND when the folder above it is missing.
BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);

} // extern "C"
