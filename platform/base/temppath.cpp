#include "platform/base/temppath.h"

#include "platform/base/PathOut.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"

#include <string>

namespace {

std::string TempFolder() { return plat::UserTempFolder() + '/'; }

} // namespace

DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer)
{
    return plat::CopyPathOut(TempFolder(), nBufferLength, lpBuffer);
}

DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer)
{
    return plat::CopyPathOut(Utf8ToUtf16(TempFolder()), nBufferLength, lpBuffer);
}
