// Folder listings: FindFirstFileW takes the whole listing at once; the
// handle hands it out entry by entry.
#include "platform/files/fileapi.h"

#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace plat::files {

namespace {

class FindObject : public KernelObject {
public:
    std::vector<WIN32_FIND_DATAW> entries;
    std::mutex mutex;
    size_t next = 0; // the entry FindNextFileW hands out
};

WCHAR FoldAscii(WCHAR c) { return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - u'a' + u'A') : c; }

bool Matches(std::u16string_view pattern, std::u16string_view name)
{
    if (pattern.empty())
        return name.empty();
    if (pattern[0] == u'*')
        return Matches(pattern.substr(1), name) || (!name.empty() && Matches(pattern, name.substr(1)));
    if (name.empty() || (pattern[0] != u'?' && FoldAscii(pattern[0]) != FoldAscii(name[0])))
        return false;
    return Matches(pattern.substr(1), name.substr(1));
}

bool LessNoCase(const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b)
{
    const std::u16string_view left(a.cFileName), right(b.cFileName);
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                        [](WCHAR x, WCHAR y) { return FoldAscii(x) < FoldAscii(y); });
}

// 100-nanosecond intervals since 1601, as Windows counts file times.
FILETIME FileTime(const timespec& time)
{
    constexpr ULONGLONG kEpochDifference = 116444736000000000ull; // 1601 to 1970
    const ULONGLONG ticks = kEpochDifference + static_cast<ULONGLONG>(time.tv_sec) * 10000000ull +
                            static_cast<ULONGLONG>(time.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

WIN32_FIND_DATAW Entry(const std::u16string& name, const struct stat& info)
{
    WIN32_FIND_DATAW entry{};
    entry.dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    entry.ftCreationTime = FileTime(info.st_ctim);
    entry.ftLastAccessTime = FileTime(info.st_atim);
    entry.ftLastWriteTime = FileTime(info.st_mtim);
    const auto size = static_cast<ULONGLONG>(info.st_size);
    entry.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    entry.nFileSizeLow = static_cast<DWORD>(size);
    name.copy(entry.cFileName, MAX_PATH - 1);
    return entry;
}

// The matching entries of the folder; false when the folder cannot be read.
bool ListFolder(const std::string& folder, std::u16string_view pattern, std::vector<WIN32_FIND_DATAW>& entries)
{
    DIR* listing = opendir(folder.c_str());
    if (!listing)
        return false;
    while (const dirent* item = readdir(listing)) {
        const std::string name = item->d_name;
        const std::u16string wideName = Utf8ToUtf16(name);
        struct stat info;
        if (name == "." || name == ".." || wideName.size() >= MAX_PATH || !Matches(pattern, wideName) ||
            fstatat(dirfd(listing), item->d_name, &info, 0) != 0)
            continue;
        entries.push_back(Entry(wideName, info));
    }
    closedir(listing);
    std::sort(entries.begin(), entries.end(), LessNoCase);
    return true;
}

// Copies the next entry out; false at the end.
BOOL NextEntry(FindObject& find, WIN32_FIND_DATAW* data)
{
    std::lock_guard lock(find.mutex);
    if (find.next >= find.entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = find.entries[find.next++];
    return TRUE;
}

} // namespace

} // namespace plat::files

HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData)
{
    if (!lpFileName || !lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::u16string path(lpFileName);
    const size_t separator = path.find_last_of(u"\\/");
    const std::u16string pattern = separator == std::u16string::npos ? path : path.substr(separator + 1);
    const std::string folder = separator == std::u16string::npos ? "." : plat::LinuxPath(path.substr(0, separator + 1));

    auto find = std::make_shared<plat::files::FindObject>();
    if (!plat::files::ListFolder(folder, pattern, find->entries)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (find->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    plat::files::NextEntry(*find, lpFindFileData);
    return plat::InsertHandle(std::move(find));
}

BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData)
{
    auto find = plat::ReferenceObject<plat::files::FindObject>(hFindFile);
    if (!find)
        return FALSE;
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return plat::files::NextEntry(*find, lpFindFileData);
}

namespace {

void NarrowEntry(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA& narrow)
{
    narrow = WIN32_FIND_DATAA{};
    narrow.dwFileAttributes = wide.dwFileAttributes;
    narrow.ftCreationTime = wide.ftCreationTime;
    narrow.ftLastAccessTime = wide.ftLastAccessTime;
    narrow.ftLastWriteTime = wide.ftLastWriteTime;
    narrow.nFileSizeHigh = wide.nFileSizeHigh;
    narrow.nFileSizeLow = wide.nFileSizeLow;
    Utf16ToUtf8(wide.cFileName).copy(narrow.cFileName, MAX_PATH - 1);
}

} // namespace

HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData)
{
    if (!lpFileName || !lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    WIN32_FIND_DATAW wide;
    HANDLE find = FindFirstFileW(Utf8ToUtf16(lpFileName).c_str(), &wide);
    if (find != INVALID_HANDLE_VALUE)
        NarrowEntry(wide, *lpFindFileData);
    return find;
}

BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData)
{
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WIN32_FIND_DATAW wide;
    if (!FindNextFileW(hFindFile, &wide))
        return FALSE;
    NarrowEntry(wide, *lpFindFileData);
    return TRUE;
}

BOOL FindClose(HANDLE hFindFile)
{
    if (!plat::ReferenceObject<plat::files::FindObject>(hFindFile))
        return FALSE;
    return CloseHandle(hFindFile);
}
