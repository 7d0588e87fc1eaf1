#include "platform/usb/DeviceServer.h"

#include "platform/base/UnixSocketAddress.h"
#include "platform/base/posixio.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/usb/SocketEndpoint.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace plat::usb {

DeviceServer::DeviceServer(std::u16string interfacePath, std::shared_ptr<UsbBackend> backend)
    : m_interfacePath(std::move(interfacePath)), m_backend(std::move(backend)),
      m_socketPath(devices::EndpointPathFor(m_interfacePath))
{
    // The ids the path carries, for the identify request.
    auto id = [&](std::u16string_view marker) -> std::uint32_t {
        std::u16string lower = devices::ToLowerAscii(m_interfacePath);
        size_t at = lower.find(marker);
        if (at == std::u16string::npos)
            return 0;
        std::uint32_t value = 0;
        for (size_t i = at + marker.size(); i < lower.size() && i < at + marker.size() + 4; ++i) {
            const char16_t c = lower[i];
            const int digit = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10 : -1;
            if (digit < 0)
                break;
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        return value;
    };
    m_ids = (id(u"vid_") << 16) | id(u"pid_");
}

DeviceServer::~DeviceServer() { Unpublish(); }

bool DeviceServer::IsPublished() const
{
    std::lock_guard lock(m_mutex);
    return m_published;
}

bool DeviceServer::Publish()
{
    std::lock_guard lock(m_mutex);
    if (m_published)
        return true;
    if (m_socketPath.empty()) {
        errno = EINVAL;
        return false;
    }
    char temporary[64];
    std::snprintf(temporary, sizeof temporary, "/.bind-%d-%p", static_cast<int>(getpid()), static_cast<void*>(this));
    std::string bindPath = devices::EndpointFolder() + temporary;

    const UnixSocketAddress address(bindPath);
    if (!address.Valid())
        return false;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    unlink(bindPath.c_str());
    if (bind(fd, address.Get(), address.Size()) != 0 || listen(fd, 16) != 0 || pipe2(m_wakePipe, O_CLOEXEC) != 0) {
        int error = errno;
        close(fd);
        unlink(bindPath.c_str());
        errno = error;
        return false;
    }
    chmod(bindPath.c_str(), 0600);
    if (rename(bindPath.c_str(), m_socketPath.c_str()) != 0) {
        int error = errno;
        close(fd);
        close(m_wakePipe[0]);
        close(m_wakePipe[1]);
        unlink(bindPath.c_str());
        errno = error;
        return false;
    }
    m_listenFd = fd;
    m_published = true;
    m_acceptThread = std::thread(&DeviceServer::AcceptLoop, this, fd, m_wakePipe[0]);
    return true;
}

void DeviceServer::Unpublish()
{
    std::unique_lock lock(m_mutex);
    if (!m_published)
        return;
    m_published = false;
    unlink(m_socketPath.c_str());
    char wake = 1;
    (void)!write(m_wakePipe[1], &wake, 1);
    std::thread acceptThread = std::move(m_acceptThread);
    lock.unlock();
    acceptThread.join();
    lock.lock();
    close(m_listenFd);
    close(m_wakePipe[0]);
    close(m_wakePipe[1]);
    m_listenFd = m_wakePipe[0] = m_wakePipe[1] = -1;
    // Every open handle loses its device now.
    std::vector<std::shared_ptr<Connection>> connections = std::move(m_connections);
    m_connections.clear();
    for (auto& connection : connections)
        shutdown(connection->fd, SHUT_RDWR);
    lock.unlock();
    for (auto& connection : connections) {
        connection->thread.join();
        close(connection->fd);
    }
}

void DeviceServer::JoinFinished(std::unique_lock<std::mutex>&)
{
    // Connections that ended by themselves (presence probes, closed
    // handles) are reaped here, so the list stays short.
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        if ((*it)->finished) {
            (*it)->thread.join();
            close((*it)->fd);
            it = m_connections.erase(it);
        } else {
            ++it;
        }
    }
}

void DeviceServer::AcceptLoop(int listenFd, int wakeFd)
{
    for (;;) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        if (!PeerIsSameUser(fd)) {
            close(fd); // only the user's own programs may use the device
            continue;
        }
        auto connection = std::make_shared<Connection>();
        connection->fd = fd;
        std::unique_lock lock(m_mutex);
        JoinFinished(lock);
        Connection* raw = connection.get();
        connection->thread = std::thread([this, raw] {
            Serve(raw->fd);
            raw->finished = true;
        });
        m_connections.push_back(std::move(connection));
    }
}

void DeviceServer::Serve(int fd)
{
    Frame request;
    UninitializedBytes buffer; // the device writes what it sends into it
    bool counted = false;
    while (ReceiveFrame(fd, request)) {
        // A presence probe connects and leaves at once: only a connection
        // that carries a request counts as served.
        if (!counted) {
            ++m_served;
            counted = true;
        }
        bool sent = false;
        switch (request.first) {
        case kOpBulkOut: {
            UsbResult result = m_backend->BulkOut(request.payload.data(), request.payload.size());
            sent = SendFrame(fd, static_cast<std::uint8_t>(result.status), static_cast<std::uint32_t>(result.bytes),
                             nullptr, 0);
            break;
        }
        case kOpBulkIn: {
            buffer.resize(std::min(request.number, kMaxTransfer));
            UsbResult result = m_backend->BulkIn(buffer.data(), buffer.size());
            const std::size_t bytes = result.status == UsbStatus::Ok ? std::min(result.bytes, buffer.size()) : 0;
            sent = SendFrame(fd, static_cast<std::uint8_t>(result.status), 0, buffer.data(), bytes);
            break;
        }
        case kOpResetPipe:
            sent = SendFrame(fd, m_backend->ResetPipe(request.number) ? 1 : 0, 0, nullptr, 0);
            break;
        case kOpCancelPipe:
            sent = SendFrame(fd, m_backend->CancelPipe(request.number) ? 1 : 0, 0, nullptr, 0);
            break;
        case kOpIdentify:
            sent = SendFrame(fd, 1, m_ids, nullptr, 0);
            break;
        default:
            break; // a peer that speaks something else is cut off
        }
        if (!sent)
            return;
    }
}

} // namespace plat::usb
