// The process's current folder and new folders.
#include "platform/files/fileapi.h"

#include "platform/base/PathOut.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/files/FileErrors.h"

#include <cerrno>
#include <climits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool CurrentFolder(std::string& folder)
{
    char buffer[PATH_MAX];
    if (!getcwd(buffer, sizeof(buffer))) {
        SetLastError(plat::files::ErrorFromErrno(errno));
        return false;
    }
    folder = buffer;
    return true;
}

BOOL ChangeFolder(const std::string& path)
{
    if (chdir(path.c_str()) == 0)
        return TRUE;
    SetLastError(errno == ENOTDIR ? static_cast<DWORD>(ERROR_DIRECTORY) : plat::files::ErrorFromErrno(errno));
    return FALSE;
}

BOOL MakeFolder(const std::string& path)
{
    if (mkdir(path.c_str(), 0700) == 0)
        return TRUE;
    if (errno == EEXIST)
        SetLastError(ERROR_ALREADY_EXISTS);
    else if (errno == ENOENT || errno == ENOTDIR)
        SetLastError(ERROR_PATH_NOT_FOUND);
    else
        SetLastError(plat::files::ErrorFromErrno(errno));
    return FALSE;
}

BOOL InvalidParameter()
{
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

} // namespace

DWORD GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer)
{
    std::string folder;
    return CurrentFolder(folder) ? plat::CopyPathOut(Utf8ToUtf16(folder), nBufferLength, lpBuffer) : 0;
}

DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer)
{
    std::string folder;
    return CurrentFolder(folder) ? plat::CopyPathOut(folder, nBufferLength, lpBuffer) : 0;
}

BOOL SetCurrentDirectoryW(LPCWSTR lpPathName)
{
    return lpPathName ? ChangeFolder(plat::LinuxPath(lpPathName)) : InvalidParameter();
}

BOOL SetCurrentDirectoryA(LPCSTR lpPathName)
{
    return lpPathName ? ChangeFolder(plat::LinuxPath(lpPathName)) : InvalidParameter();
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    return lpPathName ? MakeFolder(plat::LinuxPath(lpPathName)) : InvalidParameter();
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    return lpPathName ? MakeFolder(plat::LinuxPath(lpPathName)) : InvalidParameter();
}
