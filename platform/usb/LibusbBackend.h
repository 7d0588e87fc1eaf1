// A device on the USB bus behind one handle: bulk transfers through libusb
// on the interface the process claimed (LibusbDevice).
//
// A transfer is submitted with the caller's buffer and waited for on a
// kernel event, up to the transfer time-out on the installed clock; then it
// is cancelled and reported as TimedOut (with the bytes that came before,
// if any, as a short read). A read returns what the device sent, which may
// be less than asked. Pipe reset is a clear-halt of the pipe's endpoint;
// cancelling a pipe cancels the transfer pending on it (SetAborted).
#pragma once

#include "platform/usb/LibusbDevice.h"
#include "platform/usb/UsbBackend.h"

#include <atomic>
#include <memory>
#include <mutex>

struct libusb_transfer;

namespace plat::usb {

class LibusbBackend final : public UsbBackend {
public:
    explicit LibusbBackend(std::shared_ptr<LibusbDevice> device);
    ~LibusbBackend() override;
    LibusbBackend(const LibusbBackend&) = delete;
    LibusbBackend& operator=(const LibusbBackend&) = delete;

    UsbResult BulkOut(const std::uint8_t* data, std::size_t size) override;
    UsbResult BulkIn(std::uint8_t* buffer, std::size_t max) override;
    // False when the halt could not be cleared (Gone() tells whether the
    // device left).
    bool ResetPipe(DWORD pipe) override;
    // The transfer pending on the pipe was aborted before this is called;
    // this only tells whether the device is still there.
    bool CancelPipe(DWORD pipe) override;
    void SetTransferTimeout(DWORD milliseconds) override;
    void SetAborted(DWORD pipe, bool aborted) override;

    // True once libusb said the device is gone.
    bool Gone() const { return m_gone; }
    const devices::BusDevice& Bus() const { return m_device->Bus(); }

private:
    struct Pipe;
    UsbResult Transfer(DWORD pipe, std::uint8_t* buffer, std::size_t size);
    UsbResult Finish(Pipe& pipe, bool timedOut);

    std::shared_ptr<LibusbDevice> m_device;
    std::mutex m_mutex; // the pipes' submitted and aborted states
    std::unique_ptr<Pipe> m_pipes[2];
    std::atomic<DWORD> m_timeoutMs;
    std::atomic<bool> m_gone{false};
};

} // namespace plat::usb
