// What serves a USB still-image device path: the device's two bulk pipes
// and its pipe controls.
//
// A backend is an object in this process, attached to a path (unit tests
// attach an emulated scanner this way), a program that serves the path on
// a socket in the run-time folder (SocketBackend), or a device on the USB
// bus (LibusbBackend). The transport (CreateFile, ReadFile, WriteFile,
// DeviceIoControl) drives whichever it finds.
//
// The first two answer at once: a device with nothing to send answers
// NoResponse, and the transport keeps the read pending (until the device
// has an answer after a later write, the transfer time-out, a cancel or the
// device's departure). A device on the bus is waited for instead: its
// transfers block until the device answers, the time-out passes (TimedOut)
// or the transfer is aborted (NoResponse).
#pragma once

#include "platform/base/wintypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace plat::usb {

// Pipe numbers of the still-image driver.
constexpr DWORD kPipeBulkIn = 1;
constexpr DWORD kPipeBulkOut = 2;

enum class UsbStatus {
    Ok,           // bytes moved
    NoResponse,   // nothing to read now
    Stalled,      // the endpoint is halted until its pipe is reset
    Disconnected, // the device is gone
    TimedOut,     // the device did not answer within the transfer time-out
    Failed,       // the transfer failed on the bus
};

struct UsbResult {
    UsbStatus status = UsbStatus::Ok;
    std::size_t bytes = 0;
};

class UsbBackend {
public:
    virtual ~UsbBackend() = default;

    // Ok: all `size` bytes were taken.
    virtual UsbResult BulkOut(const std::uint8_t* data, std::size_t size) = 0;
    // At most `max` bytes, and at most the rest of the current answer chunk.
    virtual UsbResult BulkIn(std::uint8_t* buffer, std::size_t max) = 0;
    // False when the device is gone.
    virtual bool ResetPipe(DWORD pipe) = 0;
    virtual bool CancelPipe(DWORD pipe) = 0;

    // For a backend whose transfers wait on the device: how long they may
    // wait, on the installed clock.
    virtual void SetTransferTimeout(DWORD milliseconds) { (void)milliseconds; }
    // For a backend whose transfers wait on the device: while set, the
    // pipe's transfer in progress (or one that is about to start) ends at
    // once with what has moved so far.
    virtual void SetAborted(DWORD pipe, bool aborted)
    {
        (void)pipe;
        (void)aborted;
    }
};

// Attaches an in-process backend to a device interface path: the device is
// present from now on, and its arrival is announced to the process's
// device-notification subscribers. Attaching again replaces the backend
// (handles opened on the old one then fail with ERROR_ACCESS_DENIED, as a
// handle does that outlived a re-plugged device).
void AttachInProcessDevice(std::u16string_view interfacePath, std::shared_ptr<UsbBackend> backend);
// Detaches it: the device is absent, its removal is announced, and handles
// on it fail with ERROR_DEVICE_NOT_CONNECTED.
void DetachInProcessDevice(std::u16string_view interfacePath);

struct AttachedDevice {
    std::shared_ptr<UsbBackend> backend;
    std::uint64_t generation = 0; // changes with every attach
};
// The backend attached to the path (case-insensitive), if any.
AttachedDevice FindInProcessDevice(std::u16string_view interfacePath);

} // namespace plat::usb
