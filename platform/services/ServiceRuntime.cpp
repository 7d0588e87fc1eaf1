#include "platform/services/ServiceRuntime.h"

#include "platform/base/posixio.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"
#include "platform/registry/KeyName.h"
#include "platform/services/ScopedFd.h"

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace plat::services {

namespace {

// File names stay short and plain: the folded name with unusual bytes
// escaped, cut with a hash of the whole when long.
std::string Stem(std::u16string_view name)
{
    std::string folded = Utf16ToUtf8(plat::registry::FoldName(name));
    std::string stem;
    for (unsigned char c : folded) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.') {
            stem.push_back(static_cast<char>(c));
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            stem += escaped;
        }
    }
    if (stem.size() > 64) {
        unsigned long long hash = 1469598103934665603ULL;
        for (unsigned char c : folded)
            hash = (hash ^ c) * 1099511628211ULL;
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "~%016llx", hash);
        stem = stem.substr(0, 40) + suffix;
    }
    return stem;
}

} // namespace

std::string RuntimeDirectory() { return RuntimeFolder() + "/services"; }

bool EnsureRuntimeDirectory() { return CreatePrivateFolder(RuntimeDirectory()); }

std::string LockPath(std::u16string_view name) { return RuntimeDirectory() + "/" + Stem(name) + ".lock"; }
std::string StatusPath(std::u16string_view name) { return RuntimeDirectory() + "/" + Stem(name) + ".status"; }
std::string SocketPath(std::u16string_view name) { return RuntimeDirectory() + "/" + Stem(name) + ".sock"; }
std::string ProgramLogPath(std::u16string_view name) { return LogFolder() + "/services/" + Stem(name) + ".log"; }

bool TryLockServiceFile(int fd)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

bool IsServiceProcessAlive(std::u16string_view name)
{
    // Read-only, so that looking does not count as a write to those who
    // watch the folder for the lock's release.
    ScopedFd fd(open(LockPath(name).c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        return false;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (fcntl(fd.Get(), F_OFD_GETLK, &lock) != 0)
        return false;
    return lock.l_type != F_UNLCK;
}

bool ReadStatusFile(std::u16string_view name, SERVICE_STATUS_PROCESS& status)
{
    FILE* file = std::fopen(StatusPath(name).c_str(), "re");
    if (!file)
        return false;
    SERVICE_STATUS_PROCESS read = {};
    int fields = std::fscanf(file, "v1 %u %u %u %u %u %u %u %u %u", &read.dwServiceType, &read.dwCurrentState,
                             &read.dwControlsAccepted, &read.dwWin32ExitCode, &read.dwServiceSpecificExitCode,
                             &read.dwCheckPoint, &read.dwWaitHint, &read.dwProcessId, &read.dwServiceFlags);
    std::fclose(file);
    if (fields != 9)
        return false;
    status = read;
    return true;
}

bool WriteStatusFile(std::u16string_view name, const SERVICE_STATUS_PROCESS& status)
{
    static std::atomic<unsigned> counter{0};
    if (!EnsureRuntimeDirectory())
        return false;
    std::string path = StatusPath(name);
    std::string temporary = path + "." + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".tmp";
    char text[160];
    std::snprintf(text, sizeof text, "v1 %u %u %u %u %u %u %u %u %u\n", status.dwServiceType, status.dwCurrentState,
                  status.dwControlsAccepted, status.dwWin32ExitCode, status.dwServiceSpecificExitCode,
                  status.dwCheckPoint, status.dwWaitHint, status.dwProcessId, status.dwServiceFlags);
    {
        ScopedFd fd(OpenPrivateFile(temporary, O_WRONLY | O_CREAT | O_TRUNC));
        if (fd.Get() < 0)
            return false;
        if (!WriteAll(fd.Get(), text)) {
            unlink(temporary.c_str());
            return false;
        }
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

SERVICE_STATUS_PROCESS CurrentStatus(std::u16string_view name, DWORD type)
{
    SERVICE_STATUS_PROCESS status = {};
    bool reported = ReadStatusFile(name, status);
    // Read the status before looking at the lock: a service that reports
    // stopped and ends in between is then seen as stopped, not aborted.
    bool alive = IsServiceProcessAlive(name);
    if (!reported) {
        status = {};
        status.dwServiceType = type;
        status.dwCurrentState = SERVICE_STOPPED;
        status.dwWin32ExitCode = ERROR_SERVICE_NEVER_STARTED;
        return status;
    }
    if (status.dwServiceType == 0)
        status.dwServiceType = type;
    if (!alive) {
        if (status.dwCurrentState != SERVICE_STOPPED) {
            status.dwWin32ExitCode = ERROR_PROCESS_ABORTED;
            status.dwServiceSpecificExitCode = 0;
        }
        status.dwCurrentState = SERVICE_STOPPED;
        status.dwControlsAccepted = 0;
        status.dwCheckPoint = 0;
        status.dwWaitHint = 0;
        status.dwProcessId = 0;
    }
    return status;
}

void RemoveRuntimeFiles(std::u16string_view name)
{
    unlink(StatusPath(name).c_str());
    if (!IsServiceProcessAlive(name)) {
        unlink(SocketPath(name).c_str());
        unlink(LockPath(name).c_str());
    }
}

} // namespace plat::services
