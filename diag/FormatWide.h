// printf-style formatting of wide texts for log lines, with the Windows
// meaning of the format (in a wide format %s is a wide string).
#pragma once

#include "platform/base/wintypes.h"

#include <cstdarg>
#include <cstddef>
#include <string>

// The size of FormatWide's buffer, terminator included; longer texts are cut.
constexpr size_t kFormatWideChars = 1024;

std::u16string FormatWide(const WCHAR* format, ...);

// Formats into `buffer` of `capacity` characters (terminator included),
// cutting a longer text to fit; never writes past the buffer. Returns the
// characters written without the terminator.
size_t FormatWideInto(WCHAR* buffer, size_t capacity, const WCHAR* format, va_list args);
