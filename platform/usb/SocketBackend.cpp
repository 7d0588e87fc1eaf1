#include "platform/usb/SocketBackend.h"

#include "platform/usb/IdleConnections.h"
#include "platform/usb/SocketEndpoint.h"

#include <algorithm>
#include <unistd.h>

namespace plat::usb {

SocketBackend::SocketBackend(int fd, std::string socketPath) : m_socketPath(std::move(socketPath)), m_fd(fd) {}

SocketBackend::~SocketBackend()
{
    // Every exchange is complete by now: the next open may take it up.
    if (m_fd >= 0)
        KeepIdleConnection(m_socketPath, m_fd);
}

void SocketBackend::Break()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool SocketBackend::Exchange(std::uint32_t op, std::uint32_t arg, const std::uint8_t* out, std::size_t size,
                             Frame& answer, std::uint8_t* in, std::size_t& received)
{
    if (m_fd < 0)
        return false;
    if (!SendFrame(m_fd, static_cast<std::uint8_t>(op), arg, out, size) ||
        !ReceiveAnswerInto(m_fd, answer, in, in ? arg : 0, received)) {
        Break();
        return false;
    }
    return true;
}

UsbResult SocketBackend::BulkOut(const std::uint8_t* data, std::size_t size)
{
    std::lock_guard lock(m_mutex);
    Frame answer;
    std::size_t received = 0;
    if (size > kMaxTransfer || !Exchange(kOpBulkOut, 0, data, size, answer, nullptr, received) ||
        answer.first > static_cast<std::uint8_t>(UsbStatus::Disconnected))
        return {UsbStatus::Disconnected, 0};
    return {static_cast<UsbStatus>(answer.first), std::min<std::size_t>(answer.number, size)};
}

UsbResult SocketBackend::BulkIn(std::uint8_t* buffer, std::size_t max)
{
    std::lock_guard lock(m_mutex);
    Frame answer;
    std::size_t received = 0;
    const auto asked = static_cast<std::uint32_t>(std::min<std::size_t>(max, kMaxTransfer));
    // The answer lands in the caller's buffer; a program that sends more
    // than was asked is cut off before any of it.
    if (!Exchange(kOpBulkIn, asked, nullptr, 0, answer, buffer, received))
        return {UsbStatus::Disconnected, 0};
    // A status no device has means a broken program: it counts as gone.
    if (answer.first > static_cast<std::uint8_t>(UsbStatus::Disconnected)) {
        Break();
        return {UsbStatus::Disconnected, 0};
    }
    return {static_cast<UsbStatus>(answer.first), received};
}

bool SocketBackend::ResetPipe(DWORD pipe)
{
    std::lock_guard lock(m_mutex);
    Frame answer;
    std::size_t received = 0;
    return Exchange(kOpResetPipe, pipe, nullptr, 0, answer, nullptr, received) && answer.first == 1;
}

bool SocketBackend::CancelPipe(DWORD pipe)
{
    std::lock_guard lock(m_mutex);
    Frame answer;
    std::size_t received = 0;
    return Exchange(kOpCancelPipe, pipe, nullptr, 0, answer, nullptr, received) && answer.first == 1;
}

} // namespace plat::usb
