#include "platform/usb/SocketBackend.h"

#include "platform/usb/SocketEndpoint.h"

#include <algorithm>
#include <unistd.h>
#include <vector>

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

bool SocketBackend::Exchange(std::uint32_t op, std::uint32_t arg, const std::uint8_t* out, WireHeader& answer)
{
    if (m_fd < 0)
        return false;
    WireHeader request{op, arg};
    if (!SendAll(m_fd, &request, sizeof request) || (op == kOpBulkOut && arg > 0 && !SendAll(m_fd, out, arg)) ||
        !ReceiveAll(m_fd, &answer, sizeof answer) || answer.first > static_cast<std::uint32_t>(UsbStatus::Disconnected)) {
        Break();
        return false;
    }
    return true;
}

UsbResult SocketBackend::BulkOut(const std::uint8_t* data, std::size_t size)
{
    std::lock_guard lock(m_mutex);
    WireHeader answer;
    if (size > kMaxTransfer || !Exchange(kOpBulkOut, static_cast<std::uint32_t>(size), data, answer))
        return {UsbStatus::Disconnected, 0};
    return {static_cast<UsbStatus>(answer.first), std::min<std::size_t>(answer.second, size)};
}

UsbResult SocketBackend::BulkIn(std::uint8_t* buffer, std::size_t max)
{
    std::lock_guard lock(m_mutex);
    WireHeader answer;
    std::uint32_t asked = static_cast<std::uint32_t>(std::min<std::size_t>(max, kMaxTransfer));
    if (!Exchange(kOpBulkIn, asked, nullptr, answer))
        return {UsbStatus::Disconnected, 0};
    // The program never sends more than was asked; one that does is broken.
    if (answer.second > asked) {
        Break();
        return {UsbStatus::Disconnected, 0};
    }
    if (answer.second > 0 && !ReceiveAll(m_fd, buffer, answer.second)) {
        Break();
        return {UsbStatus::Disconnected, 0};
    }
    return {static_cast<UsbStatus>(answer.first), answer.second};
}

bool SocketBackend::ResetPipe(DWORD pipe)
{
    std::lock_guard lock(m_mutex);
    WireHeader answer;
    return Exchange(kOpResetPipe, pipe, nullptr, answer) && answer.second == 1;
}

bool SocketBackend::CancelPipe(DWORD pipe)
{
    std::lock_guard lock(m_mutex);
    WireHeader answer;
    return Exchange(kOpCancelPipe, pipe, nullptr, answer) && answer.second == 1;
}

} // namespace plat::usb
