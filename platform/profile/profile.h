// The per-user profile file win.ini and the calls that read and write it.
//
// win.ini lives in the system root. It is an INI file: "[section]" lines,
// "key=value" lines, ';' comments; section and key names are matched
// without regard to case and keep the case they were first written with.
#pragma once

#include "platform/base/wintypes.h"

#include <string>

namespace plat {
// <system root>/win.ini
std::string ProfilePath();
} // namespace plat

// The key's value as a decimal number (leading blanks and digits; a value
// that does not start with a number is 0, a negative one 0); nDefault when
// the key is missing.
UINT GetProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault);

// Copies the key's value (or lpDefault, or "" for a null default) into
// lpReturnedString, cut to nSize - 1 characters; answers the characters
// copied. A null key lists the section's keys, a null section all section
// names, each NUL-terminated with one more NUL at the end (nSize - 2 when
// the list is cut).
DWORD GetProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString, DWORD nSize);

// Sets a key (creating its section), deletes it (null value) or deletes the
// whole section (null key). FALSE for a null section or when the file
// cannot be written.
BOOL WriteProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString);
