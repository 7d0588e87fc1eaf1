#include "platform/usb/SocketEndpoint.h"

#include "platform/base/UnixSocketAddress.h"
#include "platform/base/posixio.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
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
    return SendAll(fd, header, sizeof header) && (size == 0 || SendAll(fd, payload, size));
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

} // namespace plat::usb
