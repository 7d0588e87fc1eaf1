// A device served by another program: each call is one request and answer
// on this handle's own connection to the device's socket. The connection
// outlives the backend when it is whole (IdleConnections).
#pragma once

#include "platform/usb/SocketEndpoint.h"
#include "platform/usb/UsbBackend.h"

#include <mutex>
#include <string>

namespace plat::usb {

class SocketBackend : public UsbBackend {
public:
    // Takes ownership of a socket connected to `socketPath`.
    SocketBackend(int fd, std::string socketPath);
    ~SocketBackend() override;
    SocketBackend(const SocketBackend&) = delete;
    SocketBackend& operator=(const SocketBackend&) = delete;

    UsbResult BulkOut(const std::uint8_t* data, std::size_t size) override;
    UsbResult BulkIn(std::uint8_t* buffer, std::size_t max) override;
    bool ResetPipe(DWORD pipe) override;
    bool CancelPipe(DWORD pipe) override;

private:
    // One exchange; false (and the connection closed for good) when the
    // program is gone or answers nonsense. An answer's payload goes into
    // `in` (at most `arg` bytes; `received` of them), and a payload where
    // none is expected breaks the connection.
    bool Exchange(std::uint32_t op, std::uint32_t arg, const std::uint8_t* out, std::size_t size, Frame& answer,
                  std::uint8_t* in, std::size_t& received);
    void Break();

    const std::string m_socketPath;
    std::mutex m_mutex;
    int m_fd;
};

} // namespace plat::usb
