#include "twainds/CProfileFile.h"

#include "platform/base/strings.h"
#include "platform/base/sysroot.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CProfileFile::~CProfileFile() { Close(); }

bool CProfileFile::OpenForReading(const char* path)
{
    Close();
    if (!path)
        return false;
    m_fd = open(plat::LinuxPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (m_fd >= 0 && (fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)))
        Close();
    return m_fd >= 0;
}

bool CProfileFile::OpenForWriting(const char* path)
{
    Close();
    if (!path)
        return false;
    m_fd = plat::OpenPrivateFile(plat::LinuxPath(path), O_WRONLY | O_CREAT | O_TRUNC);
    return m_fd >= 0;
}

long long CProfileFile::Length() const
{
    struct stat info {};
    if (m_fd < 0 || fstat(m_fd, &info) != 0)
        return -1;
    return static_cast<long long>(info.st_size);
}

// Repeats the call over what is left, after short and interrupted ones.
template <class Call>
bool CProfileFile::Whole(size_t size, Call call)
{
    for (size_t done = 0; m_fd >= 0 && done < size;) {
        const ssize_t moved = call(done, size - done);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0)
            return false;
        done += static_cast<size_t>(moved);
    }
    return m_fd >= 0;
}

bool CProfileFile::ReadAll(void* data, size_t size)
{
    auto* at = static_cast<char*>(data);
    return Whole(size, [&](size_t done, size_t left) { return read(m_fd, at + done, left); });
}

bool CProfileFile::WriteAll(const void* data, size_t size)
{
    const auto* at = static_cast<const char*>(data);
    return Whole(size, [&](size_t done, size_t left) { return write(m_fd, at + done, left); });
}

bool CProfileFile::Close()
{
    if (m_fd < 0)
        return false;
    const int result = close(m_fd);
    m_fd = -1;
    return result == 0;
}
