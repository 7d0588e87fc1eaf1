#include "platform/usb/SocketBackend.h"

#include "platform/usb/SocketEndpoint.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace plat::usb {

SocketBackend::SocketBackend(int fd) : m_fd(fd) {}

SocketBackend::~SocketBackend()
{
    if (m_fd >= 0)
        close(m_fd);
}

void SocketBackend::Break()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool SocketBackend::Exchange(std::uint32_t op, std::uint32_t arg, const std::uint8_t* out, std::size_t size,
                             Frame& answer)
{
    if (m_fd < 0)
        return false;
    if (!SendFrame(m_fd, static_cast<std::uint8_t>(op), arg, out, size) || !ReceiveFrame(m_fd, answer)) {
        Break();
        return false;
    }
    return true;
}

UsbResult SocketBackend::BulkOut(const std::uint8_t* data, std::size_t size)
{
    std::lock_guard lock(m_mutex);
    Frame answer;
    if (size > kMaxTransfer || !Exchange(kOpBulkOut, 0, data, size, answer) ||
        answer.first > static_cast<std::uint8_t>(UsbStatus::Disconnected))
        return {UsbStatus::Disconnected, 0};
    return {static_cast<UsbStatus>(answer.first), std::min<std::size_t>(answer.number, size)};
}

UsbResult SocketBackend::BulkIn(std::uint8_t* buffer, std::size_t max)
{
    std::lock_guard lock(m_mutex);
    Frame answer;
    const auto asked = static_cast<std::uint32_t>(std::min<std::size_t>(max, kMaxTransfer));
    if (!Exchange(kOpBulkIn, asked, nullptr, 0, answer))
        return {UsbStatus::Disconnected, 0};
    // A program that sends more than was asked, or a status no device has,
    // is broken: it counts as gone.
    if (answer.payload.size() > asked || answer.first > static_cast<std::uint8_t>(UsbStatus::Disconnected)) {
        Break();
        return {UsbStatus::Disconnected, 0};
    }
    if (!answer.payload.empty())
        std::memcpy(buffer, answer.payload.data(), answer.payload.size());
    return {static_cast<UsbStatus>(answer.first), answer.payload.size()};
}

bool SocketBackend::ResetPipe(DWORD pipe)
{
    std::lock_guard lock(m_mutex);
    Frame answer;
    return Exchange(kOpResetPipe, pipe, nullptr, 0, answer) && answer.first == 1;
}

bool SocketBackend::CancelPipe(DWORD pipe)
{
    std::lock_guard lock(m_mutex);
    Frame answer;
    return Exchange(kOpCancelPipe, pipe, nullptr, 0, answer) && answer.first == 1;
}

} // namespace plat::usb
