// printf-style formatting with the Windows meaning of the format strings,
// for wide (WCHAR) and narrow text alike.
//
// In a wide format %s and %c take wide text and %S and %C narrow; in a narrow
// format the other way round; %hs/%hc are always narrow and %ls/%lc/%ws/%wc
// always wide. Narrow text is UTF-8 and is converted when it meets wide text.
// Size prefixes: hh, h, l (32-bit, as LONG is), ll, I64, I32, I (pointer
// size), z, j, t, and L for long double. %p prints the pointer as 16
// upper-case hex digits. A null string prints "(null)". %n is not supported
// and, like any unknown conversion, is copied to the output as written.
#pragma once

#include "platform/base/wintypes.h"

#include <cstdarg>
#include <cstddef>
#include <string>

namespace plat {

// Formats into `buffer` of `count` characters. The text is cut at the buffer
// end and, when count > 0, always terminated. Returns the characters written
// without the terminator, or -1 when the text was cut (or the format is null).
int FormatToBuffer(WCHAR* buffer, size_t count, const WCHAR* format, ...);
int FormatToBuffer(char* buffer, size_t count, const char* format, ...);
int VFormatToBuffer(WCHAR* buffer, size_t count, const WCHAR* format, va_list args);
int VFormatToBuffer(char* buffer, size_t count, const char* format, va_list args);

// The whole text as a string.
std::u16string Format(const WCHAR* format, ...);
std::string Format(const char* format, ...);
std::u16string VFormat(const WCHAR* format, va_list args);
std::string VFormat(const char* format, va_list args);

} // namespace plat

// The user-interface formatters write at most 1024 characters, terminator
// included, and return the characters written without the terminator.
constexpr size_t WSPRINTF_LIMIT = 1024;
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
int wsprintfA(LPSTR buffer, LPCSTR format, ...);
int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args);
int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args);
