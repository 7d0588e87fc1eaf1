#include "platform/shell/shlobj.h"

#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace {

std::optional<std::string> FolderOf(int csidl)
{
    switch (csidl & ~CSIDL_FLAG_CREATE) {
    case CSIDL_PERSONAL:
        return plat::UserProfileFolder() + "/Documents";
    case CSIDL_APPDATA:
        return plat::UserProfileFolder() + "/AppData/Roaming";
    case CSIDL_LOCAL_APPDATA:
        return plat::UserProfileFolder() + "/AppData/Local";
    case CSIDL_WINDOWS:
        return plat::WindowsFolder();
    case CSIDL_SYSTEM:
        return plat::SystemFolder();
    default:
        return std::nullopt;
    }
}

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder, made when asked and missing; the Win32 error otherwise.
DWORD ResolveFolder(int csidl, bool create, std::string& path)
{
    std::optional<std::string> folder = FolderOf(csidl);
    if (!folder)
        return ERROR_INVALID_PARAMETER;
    if (!IsFolder(*folder)) {
        if (!create)
            return ERROR_FILE_NOT_FOUND;
        if (!plat::EnsureSystemRootLayout() || !plat::CreatePrivateFolder(*folder))
            return errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED;
    }
    path = std::move(*folder);
    return ERROR_SUCCESS;
}

template <typename Char>
DWORD CopyFolderOut(const std::basic_string<Char>& path, Char* buffer)
{
    if (path.size() >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    std::memcpy(buffer, path.c_str(), (path.size() + 1) * sizeof(Char));
    return ERROR_SUCCESS;
}

template <typename Char, typename Convert>
DWORD GetFolder(int csidl, bool create, Char* buffer, Convert convert)
{
    if (!buffer)
        return ERROR_INVALID_PARAMETER;
    buffer[0] = 0;
    std::string path;
    const DWORD error = ResolveFolder(csidl, create, path);
    return error != ERROR_SUCCESS ? error : CopyFolderOut(convert(path), buffer);
}

HRESULT AsFolderResult(DWORD error)
{
    if (error == ERROR_SUCCESS)
        return S_OK;
    return error == ERROR_INVALID_PARAMETER ? E_INVALIDARG : HRESULT_FROM_WIN32(error);
}

BOOL AsSpecialFolderResult(DWORD error)
{
    if (error == ERROR_SUCCESS)
        return TRUE;
    SetLastError(error);
    return FALSE;
}

std::u16string Wide(const std::string& path) { return Utf8ToUtf16(path); }
std::string Narrow(const std::string& path) { return path; }

} // namespace

HRESULT SHGetFolderPathW(HWND, int csidl, HANDLE, DWORD, LPWSTR pszPath)
{
    return AsFolderResult(GetFolder(csidl, (csidl & CSIDL_FLAG_CREATE) != 0, pszPath, Wide));
}

HRESULT SHGetFolderPathA(HWND, int csidl, HANDLE, DWORD, LPSTR pszPath)
{
    return AsFolderResult(GetFolder(csidl, (csidl & CSIDL_FLAG_CREATE) != 0, pszPath, Narrow));
}

BOOL SHGetSpecialFolderPathW(HWND, LPWSTR pszPath, int csidl, BOOL fCreate)
{
    const bool create = fCreate || (csidl & CSIDL_FLAG_CREATE) != 0;
    return AsSpecialFolderResult(GetFolder(csidl, create, pszPath, Wide));
}

BOOL SHGetSpecialFolderPathA(HWND, LPSTR pszPath, int csidl, BOOL fCreate)
{
    const bool create = fCreate || (csidl & CSIDL_FLAG_CREATE) != 0;
    return AsSpecialFolderResult(GetFolder(csidl, create, pszPath, Narrow));
}
