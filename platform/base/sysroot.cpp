#include "platform/base/sysroot.h"

#include "platform/base/posixio.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace plat {
namespace {

constexpr mode_t kPrivateFolder = 0700;
constexpr mode_t kPrivateFile = 0600;

struct Problems {
    std::mutex mutex;
    std::string last;     // of the last EnsureSystemRootLayout
    std::string reported; // the last one written to stderr
};

Problems& RootProblems()
{
    static auto* problems = new Problems; // used until the process ends
    return *problems;
}

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

// True when the folder holds nothing, false also when it cannot be read.
bool IsEmptyFolder(const std::string& path)
{
    DIR* folder = opendir(path.c_str());
    if (!folder)
        return false;
    bool empty = true;
    while (const dirent* entry = readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    closedir(folder);
    return empty;
}

// Why a folder that other users may write to is not to be taken, or empty
// when it may be: what it holds may be theirs, and closing it would lock
// them out of their files. A folder with the sticky bit (/tmp, /dev/shm) is
// made for sharing and is never taken, even while empty.
std::string SharedFolderProblem(const std::string& path, const struct stat& info)
{
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) == 0)
        return {};
    std::string what;
    if ((info.st_mode & S_ISVTX) != 0)
        what = " is a folder for sharing (other users may write to it; the sticky bit)";
    else if (!IsEmptyFolder(path))
        what = " is shared (other users may write to it) and not empty";
    else
        return {};
    return "the system root folder " + path + what +
           "; refusing to make it private, which would lock them out of their files: name a new or empty folder "
           "of your own";
}

// Empty when `path` is a folder of this user that nobody else may enter
// (tightening it when it was open to others); else what is wrong. A shared
// folder is looked at again once closed, as a file could have come in
// between; then it gets its mode back.
std::string CheckOwnFolder(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return ErrnoText("cannot use " + path);
    if (!S_ISDIR(info.st_mode))
        return path + " is not a folder";
    if (info.st_uid != geteuid())
        return ForeignRootProblem(path);
    if (std::string problem = SharedFolderProblem(path, info); !problem.empty())
        return problem;
    if ((info.st_mode & 077) != 0 && chmod(path.c_str(), kPrivateFolder) != 0)
        return ErrnoText("cannot make " + path + " private");
    if (std::string problem = SharedFolderProblem(path, info); !problem.empty()) {
        chmod(path.c_str(), info.st_mode & 07777);
        return problem;
    }
    return {};
}

// The login name of the effective user, or "uid<number>" for a user the
// password database does not know.
std::string LookUpUserName()
{
    const uid_t uid = geteuid();
    const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name &&
        *found->pw_name && std::strchr(found->pw_name, '/') == nullptr)
        return found->pw_name;
    return "uid" + std::to_string(uid);
}

// Looked up once: the root's layout is made often, and a password database
// may be remote.
const std::string& UserName()
{
    static const std::string name = LookUpUserName();
    return name;
}

void NoteProblem(const std::string& problem)
{
    Problems& problems = RootProblems();
    std::lock_guard lock(problems.mutex);
    problems.last = problem;
    if (!problem.empty() && problem != problems.reported) {
        std::fprintf(stderr, "qbk24: %s\n", problem.c_str());
        problems.reported = problem;
    }
}

} // namespace

std::string SystemRoot() { return SystemRootFromEnvironment(); }

std::string SystemFolder() { return SystemRoot() + "/system"; }
std::string WindowsFolder() { return SystemRoot() + "/windows"; }
std::string RuntimeFolder() { return SystemRoot() + "/run"; }
std::string LogFolder() { return SystemRoot() + "/log"; }
std::string RegistryPath() { return SystemRoot() + "/registry.db"; }
std::string UserProfileFolder() { return SystemRoot() + "/users/" + UserName(); }
std::string UserTempFolder() { return UserProfileFolder() + "/AppData/Local/Temp"; }

bool EnsureSystemRootLayout()
{
    const std::string root = SystemRoot();
    std::string problem;
    if (root == kNoSystemRoot) {
        problem = kNoSystemRootProblem;
    } else {
        // The root is checked before anything is made inside it.
        for (const std::string& folder : {root, SystemFolder(), RuntimeFolder(), LogFolder(), UserTempFolder()}) {
            problem = CreatePrivateFolder(folder) ? CheckOwnFolder(folder) : ErrnoText("cannot create " + folder);
            if (!problem.empty())
                break;
        }
    }
    NoteProblem(problem);
    return problem.empty();
}

std::string SystemRootProblem()
{
    Problems& problems = RootProblems();
    std::lock_guard lock(problems.mutex);
    return problems.last;
}

bool CreatePrivateFolder(const std::string& path)
{
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    // Each folder on the way, from the top; the ones that exist stay as
    // they are.
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string folder = path.substr(0, end);
        if (mkdir(folder.c_str(), kPrivateFolder) != 0 && errno != EEXIST)
            return false;
        if (end == std::string::npos)
            break;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

int OpenPrivateFile(const std::string& path, int flags)
{
    const int fd = open(path.c_str(), flags | O_CLOEXEC, kPrivateFile);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (fstat(fd, &info) == 0 && info.st_uid == geteuid() && (info.st_mode & 077) != 0)
        fchmod(fd, info.st_mode & 0700);
    return fd;
}

bool AppendToPrivateFile(const std::string& path, std::string_view text)
{
    const int fd = OpenPrivateFile(path, O_WRONLY | O_CREAT | O_APPEND);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, text);
    close(fd);
    return written;
}

} // namespace plat
