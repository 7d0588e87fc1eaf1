#include "platform/usb/LibusbBackend.h"

#include "platform/kernel/Event.h"
#include "platform/kernel/KernelObject.h"
#include "platform/kernel/Wait.h"
#include "platform/usb/LibusbContext.h"
#include "platform/usb/fileio.h"

#include <climits>

#include <libusb-1.0/libusb.h>

namespace plat::usb {

// One pipe's transfer: the libusb record and the event its completion sets.
struct LibusbBackend::Pipe {
    Pipe() : transfer(libusb_alloc_transfer(0)), done(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~Pipe()
    {
        libusb_free_transfer(transfer);
        CloseHandle(done);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    libusb_transfer* transfer;
    HANDLE done;
    bool submitted = false; // between submission and the end of the wait for it
    bool aborted = false;
};

namespace {

// Runs on the context's event thread.
void LIBUSB_CALL Completed(libusb_transfer* transfer)
{
    HANDLE done = static_cast<HANDLE>(transfer->user_data);
    LibusbContext::Get()->TransferEnded();
    SetEvent(done);
}

} // namespace

LibusbBackend::LibusbBackend(std::shared_ptr<LibusbDevice> device)
    : m_device(std::move(device)), m_timeoutMs(kDefaultTransferTimeoutMs)
{
    m_pipes[0] = std::make_unique<Pipe>();
    m_pipes[1] = std::make_unique<Pipe>();
}

LibusbBackend::~LibusbBackend() = default;

UsbResult LibusbBackend::BulkOut(const std::uint8_t* data, std::size_t size)
{
    // libusb takes a writable buffer for both directions; an OUT transfer
    // only reads it.
    return Transfer(kPipeBulkOut, const_cast<std::uint8_t*>(data), size);
}

UsbResult LibusbBackend::BulkIn(std::uint8_t* buffer, std::size_t max) { return Transfer(kPipeBulkIn, buffer, max); }

UsbResult LibusbBackend::Transfer(DWORD pipeNumber, std::uint8_t* buffer, std::size_t size)
{
    if (m_gone)
        return {UsbStatus::Disconnected, 0};
    LibusbContext* context = LibusbContext::Get();
    Pipe& pipe = *m_pipes[pipeNumber == kPipeBulkIn ? 0 : 1];
    {
        std::lock_guard lock(m_mutex);
        if (pipe.aborted)
            return {UsbStatus::NoResponse, 0};
        libusb_fill_bulk_transfer(pipe.transfer, m_device->Handle(), m_device->Endpoint(pipeNumber), buffer,
                                  static_cast<int>(std::min<std::size_t>(size, INT_MAX)), Completed, pipe.done, 0);
        context->TransferStarted();
        const int submitted = libusb_submit_transfer(pipe.transfer);
        if (submitted != LIBUSB_SUCCESS) {
            context->TransferEnded();
            if (submitted == LIBUSB_ERROR_NO_DEVICE)
                m_gone = true;
            return {submitted == LIBUSB_ERROR_NO_DEVICE ? UsbStatus::Disconnected
                    : submitted == LIBUSB_ERROR_PIPE    ? UsbStatus::Stalled
                                                        : UsbStatus::Failed,
                    0};
        }
        pipe.submitted = true;
    }
    const bool timedOut = WaitForSingleObject(pipe.done, m_timeoutMs) != WAIT_OBJECT_0;
    if (timedOut) {
        // The cancelled transfer completes at once; its buffer is the
        // caller's, so nothing returns before it has.
        libusb_cancel_transfer(pipe.transfer);
        WaitForSingleObject(pipe.done, INFINITE);
    }
    std::lock_guard lock(m_mutex);
    pipe.submitted = false;
    return Finish(pipe, timedOut);
}

UsbResult LibusbBackend::Finish(Pipe& pipe, bool timedOut)
{
    const std::size_t moved = static_cast<std::size_t>(pipe.transfer->actual_length);
    switch (pipe.transfer->status) {
    case LIBUSB_TRANSFER_COMPLETED:
        return {UsbStatus::Ok, moved};
    case LIBUSB_TRANSFER_CANCELLED:
        if (moved > 0)
            return {UsbStatus::Ok, moved};
        return {timedOut ? UsbStatus::TimedOut : UsbStatus::NoResponse, 0};
    case LIBUSB_TRANSFER_TIMED_OUT:
        return {UsbStatus::TimedOut, 0};
    case LIBUSB_TRANSFER_STALL:
        return {UsbStatus::Stalled, 0};
    case LIBUSB_TRANSFER_NO_DEVICE:
        m_gone = true;
        return {UsbStatus::Disconnected, 0};
    default:
        return {UsbStatus::Failed, 0};
    }
}

bool LibusbBackend::ResetPipe(DWORD pipe)
{
    if (m_gone)
        return false;
    const int result = libusb_clear_halt(m_device->Handle(), m_device->Endpoint(pipe));
    if (result == LIBUSB_ERROR_NO_DEVICE)
        m_gone = true;
    return result == LIBUSB_SUCCESS;
}

bool LibusbBackend::CancelPipe(DWORD) { return !m_gone; }

void LibusbBackend::SetTransferTimeout(DWORD milliseconds) { m_timeoutMs = milliseconds; }

void LibusbBackend::SetAborted(DWORD pipeNumber, bool aborted)
{
    std::lock_guard lock(m_mutex);
    Pipe& pipe = *m_pipes[pipeNumber == kPipeBulkIn ? 0 : 1];
    pipe.aborted = aborted;
    if (aborted && pipe.submitted)
        libusb_cancel_transfer(pipe.transfer);
}

} // namespace plat::usb
