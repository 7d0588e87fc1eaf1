#include "platform/base/posixio.h"

#include <algorithm>
#include <cerrno>
#include <climits>
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

bool SendAllPieces(int socket, iovec* pieces, std::size_t count)
{
    std::size_t first = 0; // pieces before this one are sent
    for (;;) {
        while (first < count && pieces[first].iov_len == 0)
            ++first;
        if (first == count)
            return true;
        msghdr message{};
        message.msg_iov = pieces + first;
        message.msg_iovlen = std::min<std::size_t>(count - first, IOV_MAX);
        ssize_t sent = sendmsg(socket, &message, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        ConsumePieces(pieces, first, static_cast<std::size_t>(sent));
    }
}

void ConsumePieces(iovec* pieces, std::size_t& first, std::size_t done)
{
    while (done > 0) {
        iovec& piece = pieces[first];
        const std::size_t step = std::min(done, piece.iov_len);
        piece.iov_base = static_cast<char*>(piece.iov_base) + step;
        piece.iov_len -= step;
        done -= step;
        if (piece.iov_len == 0)
            ++first;
    }
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
