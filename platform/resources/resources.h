// String tables and binary resources of a module (see ResourceTable.h for
// how a module carries them).
#pragma once

#include "platform/base/winerror.h"
#include "platform/base/wintypes.h"

struct HRSRC__;
using HRSRC = HRSRC__*;

// A numbered resource passed where a name is expected.
inline LPWSTR MAKEINTRESOURCEW(WORD id) { return reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(id)); }
inline LPSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(id)); }
inline bool IS_INTRESOURCE(const void* p) { return (reinterpret_cast<ULONG_PTR>(p) >> 16) == 0; }

inline const LPCWSTR RT_ICON = MAKEINTRESOURCEW(3);
inline const LPCWSTR RT_STRING = MAKEINTRESOURCEW(6);
inline const LPCWSTR RT_RCDATA = MAKEINTRESOURCEW(10);
inline const LPCWSTR RT_GROUP_ICON = MAKEINTRESOURCEW(14);
inline const LPCWSTR RT_VERSION = MAKEINTRESOURCEW(16);

extern "C" {

// String `uID` of the module (a null module is the program). With a buffer of
// cchBufferMax characters: copies as much as fits with a terminator and
// returns the characters copied; 0 (and an empty buffer) when the string is
// missing. LoadStringW with cchBufferMax 0 stores a read-only pointer to the
// string in *(LPWSTR*)lpBuffer and returns its length. LoadStringA gives
// UTF-8 and never cuts a character in half.
int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);

// Binary resources. A name or type is a number (MAKEINTRESOURCE), "#123", or
// a text compared without regard to case.
HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
// The data stays valid while the module is loaded; it must not be written.
LPVOID LockResource(HGLOBAL hResData);
DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);
// Nothing to free: resources are part of the module's image.
BOOL FreeResource(HGLOBAL hResData);

} // extern "C"
