#include "platform/base/UnixSocketAddress.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace plat {

UnixSocketAddress::UnixSocketAddress(const std::string& path)
{
    m_address.sun_family = AF_UNIX;
    std::string target = path;
    if (target.size() >= sizeof m_address.sun_path) {
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos) {
            errno = ENAMETOOLONG;
            return;
        }
        m_folder = open(slash == 0 ? "/" : path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (m_folder < 0)
            return;
        target = "/proc/self/fd/" + std::to_string(m_folder) + path.substr(slash);
    }
    if (target.empty() || target.size() >= sizeof m_address.sun_path) {
        errno = ENAMETOOLONG;
        return;
    }
    std::memcpy(m_address.sun_path, target.c_str(), target.size() + 1);
    m_valid = true;
}

UnixSocketAddress::~UnixSocketAddress()
{
    if (m_folder >= 0)
        close(m_folder);
}

} // namespace plat
