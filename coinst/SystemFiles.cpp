#include "coinst/SystemFiles.h"

#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <unistd.h>

namespace coinst {

namespace {

std::string ToLinuxPath(const WCHAR* path)
{
    std::string text = Utf16ToUtf8(path ? path : u"");
    for (char& c : text)
        if (c == '\\')
            c = '/';
    return text;
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ENOTEMPTY:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

UINT CopyFolderName(const std::string& folder, WCHAR* buffer, UINT size)
{
    const std::u16string text = Utf8ToUtf16(folder);
    if (!buffer || text.size() + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return static_cast<UINT>(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    return static_cast<UINT>(text.size());
}

char FoldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool Matches(const char* pattern, const char* name)
{
    if (*pattern == '\0')
        return *name == '\0';
    if (*pattern == '*')
        return Matches(pattern + 1, name) || (*name != '\0' && Matches(pattern, name + 1));
    if (*name == '\0')
        return false;
    if (*pattern != '?' && FoldAscii(*pattern) != FoldAscii(*name))
        return false;
    return Matches(pattern + 1, name + 1);
}

std::atomic<DWORD> g_platformId{VER_PLATFORM_WIN32_NT};
std::atomic<DWORD> g_majorVersion{6};

} // namespace

UINT GetSystemDirectoryW(WCHAR* buffer, UINT size)
{
    return CopyFolderName(plat::SystemFolder(), buffer, size);
}

UINT GetWindowsDirectoryW(WCHAR* buffer, UINT size)
{
    return CopyFolderName(plat::SystemRoot() + "/windows", buffer, size);
}

BOOL CopyFileW(const WCHAR* existingFile, const WCHAR* newFile, BOOL failIfExists)
{
    std::error_code ec;
    const auto options = failIfExists ? std::filesystem::copy_options::none
                                      : std::filesystem::copy_options::overwrite_existing;
    const std::string target = ToLinuxPath(newFile);
    if (failIfExists && std::filesystem::exists(target, ec)) {
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    if (!std::filesystem::copy_file(ToLinuxPath(existingFile), target, options, ec)) {
        SetLastError(ec ? ErrorFromErrno(ec.value()) : ERROR_FILE_EXISTS);
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileW(const WCHAR* fileName)
{
    const std::string path = ToLinuxPath(fileName);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (::unlink(path.c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesW(const WCHAR* fileName)
{
    std::error_code ec;
    const auto status = std::filesystem::status(ToLinuxPath(fileName), ec);
    if (ec || !std::filesystem::exists(status)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return std::filesystem::is_directory(status) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
}

std::vector<std::u16string> FindFiles(const std::u16string& folder, const std::u16string& pattern)
{
    std::vector<std::u16string> names;
    const std::string narrowPattern = Utf16ToUtf8(pattern);
    std::error_code ec;
    std::filesystem::directory_iterator it(ToLinuxPath(folder.c_str()), ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (Matches(narrowPattern.c_str(), name.c_str()))
            names.push_back(Utf8ToUtf16(name));
    }
    return names;
}

BOOL GetVersionExW(OSVERSIONINFOW* info)
{
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) &&
                  info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const DWORD size = info->dwOSVersionInfoSize;
    std::memset(reinterpret_cast<BYTE*>(info) + sizeof(DWORD), 0, size - sizeof(DWORD));
    info->dwMajorVersion = g_majorVersion;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 7601;
    info->dwPlatformId = g_platformId;
    return TRUE;
}

void SetReportedVersionForTesting(DWORD platformId, DWORD majorVersion)
{
    g_platformId = platformId;
    g_majorVersion = majorVersion;
}

} // namespace coinst
