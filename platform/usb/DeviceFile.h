// The kernel object behind a device handle: the open device and its
// pending transfers (TransferQueue, which says who carries them out and how
// the caller's memory is kept safe).
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
