#include "platform/base/temppath.h"

#include "platform/base/PathOut.h"
#include "platform/base/strings.h"

#include <cstdlib>
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

} // namespace

DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer)
{
    return plat::CopyPathOut(TempFolder(), nBufferLength, lpBuffer);
}

DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer)
{
    return plat::CopyPathOut(Utf8ToUtf16(TempFolder()), nBufferLength, lpBuffer);
}
