// A scanner on the USB bus opened through libusb: the interface that has
// the bulk IN and bulk OUT endpoints claimed for this process, shared by
// every handle the process has open on it. A kernel driver that held the
// interface is detached for as long as the process has it, and given back
// when the last handle closes.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/devices/UsbBus.h"

#include <memory>

struct libusb_device_handle;

namespace plat::usb {

class LibusbDevice {
public:
    // Opens the device, or finds it open; null with a Win32 error when it
    // cannot be opened (ERROR_ACCESS_DENIED with a line on the error output
    // naming the device node and the udev rule when the user may not open
    // it; ERROR_SHARING_VIOLATION when another program holds it).
    static std::shared_ptr<LibusbDevice> Open(const devices::BusDevice& device, DWORD& error);
    ~LibusbDevice();
    LibusbDevice(const LibusbDevice&) = delete;
    LibusbDevice& operator=(const LibusbDevice&) = delete;

    libusb_device_handle* Handle() const { return m_handle; }
    // The endpoint address of a still-image pipe (kPipeBulkIn, kPipeBulkOut).
    unsigned char Endpoint(DWORD pipe) const;
    const devices::BusDevice& Bus() const { return m_bus; }

    LibusbDevice(const devices::BusDevice& bus, libusb_device_handle* handle);

private:
    devices::BusDevice m_bus;
    libusb_device_handle* m_handle;
    int m_interface = -1;
    unsigned char m_in = 0;
    unsigned char m_out = 0;
    int m_detachedInterface = -1; // the kernel driver's, given back at the end

    friend class DeviceOpener;
};

// The udev rule that gives users access to the scanner, as the README and
// the message for a device node without permission name it.
inline constexpr const char* kUdevRuleFile = "60-qbk24-scanner.rules";

} // namespace plat::usb
