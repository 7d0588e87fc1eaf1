#include "platform/usb/SocketEndpoint.h"

#include "platform/base/UnixSocketAddress.h"
#include "platform/base/posixio.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

namespace plat::usb {

int ConnectEndpoint(const std::string& socketPath)
{
    const UnixSocketAddress address(socketPath);
    if (!address.Valid())
        return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, address.Get(), address.Size()) != 0) {
        int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    // A device served by another user is not ours to use.
    if (!PeerIsSameUser(fd)) {
        close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

bool IsEndpointLive(const std::string& socketPath)
{
    int fd = ConnectEndpoint(socketPath);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

namespace {

void PutBigEndian(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t GetBigEndian(const std::uint8_t* at)
{
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) | at[3];
}

constexpr std::size_t kFrameHeader = 12;

} // namespace

bool SendFrame(int fd, std::uint8_t first, std::uint32_t number, const void* payload, std::size_t size)
{
    if (size > kMaxTransfer)
        return false;
    std::uint8_t header[kFrameHeader] = {first};
    PutBigEndian(header + 4, number);
    PutBigEndian(header + 8, static_cast<std::uint32_t>(size));
    // Header and payload in one call: a frame is one wake-up of the peer.
    iovec pieces[2] = {{header, sizeof header}, {const_cast<void*>(payload), size}};
    return SendAllPieces(fd, pieces, size == 0 ? 1 : 2);
}

bool ReceiveFrame(int fd, Frame& frame)
{
    std::uint8_t header[kFrameHeader];
    if (!ReceiveAll(fd, header, sizeof header))
        return false;
    frame.first = header[0];
    frame.number = GetBigEndian(header + 4);
    const std::uint32_t size = GetBigEndian(header + 8);
    if (size > kMaxTransfer)
        return false;
    frame.payload.resize(size);
    return size == 0 || ReceiveAll(fd, frame.payload.data(), size);
}

bool ReceiveAnswerInto(int fd, Frame& frame, std::uint8_t* buffer, std::size_t capacity, std::size_t& size)
{
    frame.payload.clear();
    size = 0;
    std::uint8_t header[kFrameHeader];
    std::size_t got = 0; // of the header and the payload, in order
    std::size_t wanted = kFrameHeader;
    while (got < wanted) {
        iovec pieces[2];
        int count = 0;
        if (got < kFrameHeader)
            pieces[count++] = {header + got, kFrameHeader - got};
        const std::size_t payloadGot = got > kFrameHeader ? got - kFrameHeader : 0;
        if (capacity > payloadGot)
            pieces[count++] = {buffer + payloadGot, capacity - payloadGot};
        msghdr message{};
        message.msg_iov = pieces;
        message.msg_iovlen = static_cast<std::size_t>(count);
        const ssize_t n = recvmsg(fd, &message, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        const bool hadHeader = got >= kFrameHeader;
        got += static_cast<std::size_t>(n);
        if (!hadHeader && got >= kFrameHeader) {
            frame.first = header[0];
            frame.number = GetBigEndian(header + 4);
            size = GetBigEndian(header + 8);
            if (size > capacity || size > kMaxTransfer)
                return false;
            wanted = kFrameHeader + size;
        }
    }
    return got == wanted;
}

} // namespace plat::usb
