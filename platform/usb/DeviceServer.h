// Serves a device on its socket in the run-time folder, for a program that
// stands in for the device (the scanner emulator).
//
// Publishing makes the socket appear under its final name in one step (it
// is bound under a private name and renamed when it listens), so a client
// never sees a socket that refuses connections; that appearance is the
// device's arrival for every process watching. Unpublishing removes the
// socket (the removal) and drops every open connection, so handles opened
// before fail from then on.
#pragma once

#include "platform/usb/UsbBackend.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plat::usb {

class DeviceServer {
public:
    DeviceServer(std::u16string interfacePath, std::shared_ptr<UsbBackend> backend);
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // False (errno set) when the socket cannot be made; true when already published.
    bool Publish();
    void Unpublish();
    bool IsPublished() const;

    const std::string& SocketPath() const { return m_socketPath; }
    // The connections that carried a request so far.
    std::size_t ConnectionsServed() const { return m_served; }

private:
    struct Connection {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> finished{false};
    };
    void AcceptLoop(int listenFd, int wakeFd);
    void Serve(int fd);
    void JoinFinished(std::unique_lock<std::mutex>& lock);

    const std::u16string m_interfacePath;
    const std::shared_ptr<UsbBackend> m_backend;
    std::string m_socketPath;
    std::uint32_t m_ids = 0; // vid << 16 | pid

    mutable std::mutex m_mutex;
    bool m_published = false;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    std::thread m_acceptThread;
    std::vector<std::shared_ptr<Connection>> m_connections;
    std::atomic<std::size_t> m_served{0};
};

} // namespace plat::usb
