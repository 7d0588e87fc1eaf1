// UTF-16 strings inside, UTF-8 at the Linux edges.
#pragma once

#include "platform/base/wintypes.h"

#include <string>
#include <string_view>

// Converts, replacing ill-formed sequences with U+FFFD (never throws on bad input).
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Length of a null-terminated wide string; 0 for null.
size_t WideLength(const WCHAR* s);

int lstrlenW(LPCWSTR s);
int lstrlenA(LPCSTR s);

namespace plat {

// A path as Linux takes it: UTF-8, with every '\' turned into '/'.
std::string LinuxPath(std::u16string_view path);
std::string LinuxPath(std::string_view utf8Path);

} // namespace plat
