// CopyFile writes beside the target and renames over it: the target's old
// file stays whole for every process that has it open or mapped.
#include "platform/files/fileapi.h"

#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/files/FileErrors.h"
#include "platform/services/ScopedFd.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace plat::files {

namespace {

using plat::services::ScopedFd;

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// Hidden, and ending in random characters, so that no listing of the
// target's kind ("*.EXE", "*.dll") ever shows a copy in progress.
std::string TemporaryNameBeside(const std::string& target)
{
    const size_t slash = target.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return target.substr(0, nameStart) + "." + target.substr(nameStart) + ".XXXXXX";
}

bool CopyBytes(int from, int to)
{
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        const ssize_t got = read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            done += put;
        }
    }
}

// A new file beside the target with the source's bytes and its owner's
// permissions only: a copy is private like every file the system makes (on
// the system this stands in for, a copy takes its access from where it
// lands, not from its source). Its name, or empty with the last error set
// (and nothing left behind).
std::string WriteCopyBeside(int source, mode_t mode, const std::string& target)
{
    std::string temporary = TemporaryNameBeside(target);
    ScopedFd out(mkostemp(temporary.data(), O_CLOEXEC));
    if (out.Get() < 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        return {};
    }
    bool written = CopyBytes(source, out.Get()) && fchmod(out.Get(), mode & 0700) == 0;
    int error = errno;
    if (close(out.Release()) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        unlink(temporary.c_str());
        SetLastError(ErrorFromErrno(error));
        return {};
    }
    return temporary;
}

// Gives the finished copy the target's name; errno tells why not.
bool Publish(const std::string& temporary, const std::string& target, bool failIfExists)
{
    if (!failIfExists)
        return rename(temporary.c_str(), target.c_str()) == 0;
    if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without RENAME_NOREPLACE: a new link fails the same way
    // on a name that exists.
    if (link(temporary.c_str(), target.c_str()) != 0)
        return false;
    unlink(temporary.c_str());
    return true;
}

BOOL CopyFileByRename(const std::string& source, const std::string& target, bool failIfExists)
{
    struct stat existing;
    if (failIfExists && lstat(target.c_str(), &existing) == 0)
        return Fail(ERROR_FILE_EXISTS);
    ScopedFd in(open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0)
        return Fail(ErrorFromErrno(errno));
    struct stat info;
    if (fstat(in.Get(), &info) != 0)
        return Fail(ErrorFromErrno(errno));
    if (S_ISDIR(info.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    const std::string temporary = WriteCopyBeside(in.Get(), info.st_mode, target);
    if (temporary.empty())
        return FALSE;
    if (!Publish(temporary, target, failIfExists)) {
        const int error = errno;
        unlink(temporary.c_str());
        return Fail(ErrorFromErrno(error));
    }
    return TRUE;
}

} // namespace

} // namespace plat::files

BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists)
{
    if (!lpExistingFileName || !lpNewFileName)
        return plat::files::Fail(ERROR_INVALID_PARAMETER);
    return plat::files::CopyFileByRename(plat::LinuxPath(lpExistingFileName), plat::LinuxPath(lpNewFileName),
                                         bFailIfExists != FALSE);
}

BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists)
{
    if (!lpExistingFileName || !lpNewFileName)
        return plat::files::Fail(ERROR_INVALID_PARAMETER);
    return plat::files::CopyFileByRename(plat::LinuxPath(std::string_view(lpExistingFileName)),
                                         plat::LinuxPath(std::string_view(lpNewFileName)), bFailIfExists != FALSE);
}
