// The machine's USB bus as udev reports it: the devices present with their
// vendor and product id, the name each has in the device database, and the
// device node its driver opens.
//
// A device's instance id ends in its serial number when it has one fit for
// a name, else in its place on the bus (the sysfs name, "1-4.2"), as Windows
// names a device without a serial number by its port.
#pragma once

#include "platform/base/wintypes.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plat::devices {

struct UsbId {
    WORD vendorId = 0;
    WORD productId = 0;
    bool operator==(const UsbId&) const = default;
};

struct BusDevice {
    UsbId id;
    std::u16string serial;  // the last part of its instance id
    std::string sysPath;    // /sys/devices/...
    std::string deviceNode; // /dev/bus/usb/BBB/DDD
    std::uint8_t busNumber = 0;
    std::uint8_t address = 0; // changes whenever the device is plugged in
};

// Present USB devices with one of these ids, in the order udev lists them.
std::vector<BusDevice> BusDevicesWithIds(std::span<const UsbId> ids);
// The present device an interface path names (ids and serial), if any.
std::optional<BusDevice> FindBusDevice(std::u16string_view interfacePath);
// The device udev reports at a sysfs path, if it is a USB device present now.
std::optional<BusDevice> BusDeviceAt(const std::string& sysPath);

// The ids a device interface path carries ("vid_0abc&pid_0def").
std::optional<UsbId> UsbIdOfInterfacePath(std::u16string_view interfacePath);
// A hardware id "USB\VID_0ABC&PID_0DEF" (either case); nothing for any other text.
std::optional<UsbId> UsbIdOfHardwareId(std::u16string_view hardwareId);

// The instance id's last part for a device with this serial number
// attribute (empty: none) at this place on the bus.
std::u16string InstanceSerial(std::string_view serialNumber, std::string_view sysName);

} // namespace plat::devices
