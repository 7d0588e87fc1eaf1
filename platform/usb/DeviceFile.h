// The kernel object behind a device handle: the open device, its pending
// transfers, and the thread that carries them out.
//
// One transfer thread per handle talks to the device, OUT transfers in the
// order they were issued and the oldest IN transfer when the device has an
// answer. A read the device has nothing for waits ("parked") until a later
// write may have produced an answer, its time-out passes on the installed
// clock, or it is cancelled. The caller's buffer and OVERLAPPED record are
// written only under the queue's lock and only by the completion, which
// happens once; a cancel completes the transfer under the same lock, so a
// cancelled or timed-out read never writes into the caller's memory later.
#pragma once

#include "platform/kernel/KernelObject.h"
#include "platform/usb/UsbBackend.h"
#include "platform/usb/fileio.h"

#include <memory>
#include <string>

namespace plat::usb {

class TransferQueue;

class DeviceFile : public KernelObject {
public:
    // Opens the device behind the path; null with a Win32 error when it
    // is not present.
    static std::shared_ptr<DeviceFile> Open(std::u16string_view path, DWORD access, bool overlapped, DWORD& error);
    ~DeviceFile() override;

    BOOL Read(void* buffer, DWORD size, DWORD* bytesRead, OVERLAPPED* overlapped);
    BOOL Write(const void* buffer, DWORD size, DWORD* bytesWritten, OVERLAPPED* overlapped);
    BOOL Control(DWORD code, const void* in, DWORD inSize, DWORD* bytesReturned, OVERLAPPED* overlapped);
    BOOL GetResult(OVERLAPPED* overlapped, DWORD* bytes, bool wait);
    void CancelAll();
    void SetTimeout(DWORD milliseconds);

    DeviceFile(std::shared_ptr<TransferQueue> queue, DWORD access, bool overlapped);

private:
    std::shared_ptr<TransferQueue> m_queue;
    DWORD m_access;
    bool m_overlapped;
};

// Wakes the transfer threads of every handle on the path, so that parked
// reads notice a device that went away.
void NotifyDeviceGone(std::u16string_view interfacePath);

} // namespace plat::usb
