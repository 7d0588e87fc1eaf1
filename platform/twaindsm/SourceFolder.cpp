#include "platform/twaindsm/SourceFolder.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace twaindsm {

namespace {

void Collect(const std::string& folder, std::vector<std::string>& files)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        struct stat info {};
        // lstat: a link is neither a regular file nor a folder here.
        if (lstat(path.c_str(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
            Collect(path, files);
        else if (S_ISREG(info.st_mode) && name.find(".ds") != std::string::npos)
            files.push_back(path);
    }
}

} // namespace

std::vector<std::string> FindSourceFiles(const std::string& folder)
{
    std::vector<std::string> files;
    Collect(folder, files);
    return files;
}

bool IsUsableIdentity(const TW_IDENTITY& identity)
{
    const TW_UINT32 groups = DG_CONTROL | DG_IMAGE;
    if ((identity.SupportedGroups & groups) != groups)
        return false;
    if (identity.ProtocolMajor == 1)
        return identity.ProtocolMinor >= 5 && identity.ProtocolMinor <= 91;
    return identity.ProtocolMajor == 2;
}

} // namespace twaindsm
