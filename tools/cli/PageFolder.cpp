#include "tools/cli/PageFolder.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace cli {

namespace fs = std::filesystem;

namespace {

// The number of "page-NNN.ext" for one of `kinds`, or 0 for any other
// name (a ".part" too).
int PageNumberOf(const std::string& name, const PageKinds& kinds)
{
    const std::string prefix = "page-";
    if (name.rfind(prefix, 0) != 0)
        return 0;
    size_t end = prefix.size();
    while (end < name.size() && name[end] >= '0' && name[end] <= '9')
        ++end;
    if (end == prefix.size() || end - prefix.size() > 6 || end >= name.size() || name[end] != '.' ||
        std::find(kinds.begin(), kinds.end(), name.substr(end + 1)) == kinds.end())
        return 0;
    return std::stoi(name.substr(prefix.size(), end - prefix.size()));
}

} // namespace

std::string PageFileName(int number, const std::string& extension)
{
    char name[32];
    std::snprintf(name, sizeof name, "page-%03d.%s", number, extension.c_str());
    return name;
}

std::string CheckPageFolder(const std::string& folder, unsigned long long pageBytes)
{
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (!fs::exists(status))
        return "the folder " + folder + " does not exist";
    if (!fs::is_directory(status))
        return folder + " is not a folder";
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return "the folder " + folder + " is not writable: " + std::strerror(errno);
    struct statvfs room {};
    if (pageBytes > 0 && statvfs(folder.c_str(), &room) == 0 &&
        static_cast<unsigned long long>(room.f_bavail) * room.f_frsize < pageBytes)
        return "the folder " + folder + " has no room for a page of " + std::to_string(pageBytes / 1024) + " KiB";
    return {};
}

int HighestPageNumber(const std::string& folder, const PageKinds& kinds)
{
    int highest = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        highest = std::max(highest, PageNumberOf(it->path().filename().string(), kinds));
    return highest;
}

std::string CheckPageNumbers(const std::string& folder, const PageKinds& kinds, int first, bool force)
{
    const int highest = HighestPageNumber(folder, kinds);
    if (force || highest < first)
        return {};
    return folder + " already holds pages up to page " + std::to_string(highest) +
           " of an earlier scan; --force replaces them, --batch-start " + std::to_string(highest + 1) +
           " numbers this scan after them";
}

std::string PagesSummary(int pages, const std::string& folder, int first, const std::string& extension)
{
    std::string summary = std::to_string(pages) + (pages == 1 ? " page" : " pages") + " scanned into " + folder;
    if (pages > 0)
        summary += ": " + PageFileName(first, extension);
    if (pages > 1)
        summary += " to " + PageFileName(first + pages - 1, extension);
    return summary;
}

} // namespace cli
