#include "platform/services/ServiceChannel.h"

#include "platform/base/UnixSocketAddress.h"
#include "platform/base/posixio.h"
#include "platform/base/winerror.h"
#include "platform/kernel/Clock.h"
#include "platform/services/ScopedFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace plat::services {

namespace {

constexpr uint32_t kRequestMagic = 0x51535652; // "QSVR"
constexpr uint32_t kReplyMagic = 0x51535650;   // "QSVP"

struct RequestHeader {
    uint32_t magic;
    uint32_t control;
    uint32_t eventType;
    uint32_t dataSize;
};

struct ReplyFrame {
    uint32_t magic;
    uint32_t error;
    SERVICE_STATUS_PROCESS status;
};

// Waits for `events` on fd until the deadline on the platform clock; the
// real wait is sliced so that a replaced clock decides when time is up.
bool WaitFor(int fd, short events, ULONGLONG deadline)
{
    for (;;) {
        pollfd entry = {fd, events, 0};
        int ready = poll(&entry, 1, 50);
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
        if (GetClock().NowMs() >= deadline)
            return false;
    }
}

// 1: read all; 0: closed or failed; -1: deadline passed.
int ReceiveAll(int fd, void* data, size_t size, ULONGLONG deadline)
{
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        if (!WaitFor(fd, POLLIN, deadline))
            return GetClock().NowMs() >= deadline ? -1 : 0;
        ssize_t n = recv(fd, bytes, size, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return 0;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return 1;
}

ULONGLONG DeadlineAfter(DWORD timeoutMs) { return GetClock().NowMs() + timeoutMs; }

} // namespace

DWORD SendControl(const std::string& socketPath, const ControlRequest& request, ControlReply& reply, DWORD timeoutMs)
{
    if (request.data.size() > kMaxControlData)
        return ERROR_INVALID_PARAMETER;
    const UnixSocketAddress address(socketPath);
    if (!address.Valid())
        return ERROR_SERVICE_NOT_ACTIVE;
    ScopedFd socket_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket_.Get() < 0)
        return ERROR_NOT_ENOUGH_MEMORY;
    // A socket served by another user is no service of ours.
    if (connect(socket_.Get(), address.Get(), address.Size()) != 0 || !PeerIsSameUser(socket_.Get()))
        return ERROR_SERVICE_NOT_ACTIVE;

    RequestHeader header = {kRequestMagic, request.control, request.eventType,
                            static_cast<uint32_t>(request.data.size())};
    if (!SendAll(socket_.Get(), &header, sizeof header) ||
        !SendAll(socket_.Get(), request.data.data(), request.data.size()))
        return ERROR_SERVICE_NOT_ACTIVE;

    ReplyFrame frame;
    int received = ReceiveAll(socket_.Get(), &frame, sizeof frame, DeadlineAfter(timeoutMs));
    if (received < 0)
        return ERROR_SERVICE_REQUEST_TIMEOUT;
    if (received == 0 || frame.magic != kReplyMagic)
        return ERROR_SERVICE_NOT_ACTIVE;
    reply.error = frame.error;
    reply.status = frame.status;
    return ERROR_SUCCESS;
}

int ListenControlSocket(const std::string& path)
{
    const UnixSocketAddress address(path);
    if (!address.Valid())
        return -1;
    ScopedFd listener(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (listener.Get() < 0)
        return -1;
    unlink(path.c_str());
    if (bind(listener.Get(), address.Get(), address.Size()) != 0 || listen(listener.Get(), 16) != 0)
        return -1;
    chmod(path.c_str(), 0600);
    return listener.Release();
}

bool ReadControlRequest(int connection, ControlRequest& request)
{
    if (!PeerIsSameUser(connection))
        return false;
    // Only guards the dispatcher against a peer that connects and then says
    // nothing.
    auto deadline = [] { return GetClock().NowMs() + 5000; };
    RequestHeader header;
    if (ReceiveAll(connection, &header, sizeof header, deadline()) != 1 || header.magic != kRequestMagic ||
        header.dataSize > kMaxControlData)
        return false;
    request.control = header.control;
    request.eventType = header.eventType;
    request.data.assign(header.dataSize, 0);
    return ReceiveAll(connection, request.data.data(), request.data.size(), deadline()) == 1;
}

bool WriteControlReply(int connection, const ControlReply& reply)
{
    ReplyFrame frame = {kReplyMagic, reply.error, reply.status};
    return SendAll(connection, &frame, sizeof frame);
}

} // namespace plat::services
