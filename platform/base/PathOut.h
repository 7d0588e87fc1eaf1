// Hands a folder name out the way the Windows folder calls do
// (GetTempPath, GetSystemDirectory, ...).
#pragma once

#include "platform/base/wintypes.h"

#include <cstring>
#include <string>

namespace plat {

// Characters written without the terminator; when the buffer is too small
// (or null), the size needed including the terminator, and nothing is
// written.
template <typename Char>
DWORD CopyPathOut(const std::basic_string<Char>& path, DWORD length, Char* buffer)
{
    const DWORD needed = static_cast<DWORD>(path.size());
    if (!buffer || length <= needed)
        return needed + 1;
    std::memcpy(buffer, path.c_str(), (path.size() + 1) * sizeof(Char));
    return needed;
}

} // namespace plat
