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

bool SendAll(int socket, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t sent = send(socket, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool ReceiveAll(int socket, void* data, std::size_t size)
{
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        ssize_t got = recv(socket, bytes, size, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
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
