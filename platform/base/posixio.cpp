#include "platform/base/posixio.h"

#include <cerrno>
#include <cstddef>
#include <sys/socket.h>
#include <unistd.h>

namespace plat {
namespace {

bool PeerCredentials(int socket, ucred& credentials)
{
    socklen_t size = sizeof credentials;
    return getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 && size == sizeof credentials;
}

} // namespace

bool WriteAll(int fd, std::string_view text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool PeerIsSameUser(int socket)
{
    ucred credentials{};
    return PeerCredentials(socket, credentials) && credentials.uid == geteuid();
}

pid_t PeerProcessId(int socket)
{
    ucred credentials{};
    return PeerCredentials(socket, credentials) ? credentials.pid : 0;
}

} // namespace plat
