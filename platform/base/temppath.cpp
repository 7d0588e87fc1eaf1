#include "platform/base/temppath.h"

#include "platform/base/strings.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string TempFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string path = tmp && *tmp ? tmp : "/tmp";
    if (path.back() != '/')
        path += '/';
    return path;
}

template <typename Char>
DWORD CopyOut(const std::basic_string<Char>& path, DWORD length, Char* buffer)
{
    const DWORD needed = static_cast<DWORD>(path.size());
    if (!buffer || length <= needed)
        return needed + 1;
    std::memcpy(buffer, path.c_str(), (path.size() + 1) * sizeof(Char));
    return needed;
}

} // namespace

DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer)
{
    return CopyOut(TempFolder(), nBufferLength, lpBuffer);
}

DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer)
{
    return CopyOut(Utf8ToUtf16(TempFolder()), nBufferLength, lpBuffer);
}
