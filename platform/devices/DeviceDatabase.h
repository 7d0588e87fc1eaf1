// The device database: one record per installed USB imaging device, kept in
// the registry where Windows keeps it.
//
//   HKLM\SYSTEM\CurrentControlSet\Enum\USB\VID_xxxx&PID_xxxx\<serial>
//       DeviceDesc, HardwareID, Mfg, Class, ClassGUID, Driver, Service
//   HKLM\SYSTEM\CurrentControlSet\Control\Class\{6BDD1FC6-...}\NNNN
//       the device's driver key (the co-installer keeps its values here)
//   HKLM\SYSTEM\CurrentControlSet\Control\DeviceClasses\{6bdd1fc6-...}\##?#usb#...
//       DeviceInstance, and "#\SymbolicLink" = the interface path
//
// A record says the device is installed. It is present only while its
// endpoint is live: an in-process backend is attached to its interface path,
// a program accepts connections on its socket in the run-time folder
// (EndpointPathFor), or udev reports a USB device of its ids and serial.
#pragma once

#include "platform/base/guid.h"
#include "platform/base/wintypes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat::devices {

struct DeviceIdentity {
    WORD vendorId = 0;
    WORD productId = 0;
    std::u16string serial; // the last part of the instance id
    std::u16string description = u"USB imaging device";
    std::u16string manufacturer;
};

struct DeviceRecord {
    std::u16string instanceId;    // USB\VID_0ABC&PID_0DEF\SERIAL
    std::u16string driverKey;     // {6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\0000
    std::u16string interfacePath; // \\?\usb#vid_0abc&pid_0def#serial#{6bdd1fc6-...}
};

// Names derived from the ids, without touching the registry.
std::u16string InstanceIdFor(WORD vendorId, WORD productId, std::u16string_view serial);
// "\\?\" + the instance id with '\' made '#' + "#{6bdd1fc6-810f-11d0-bec7-08002be2092f}", all lower case.
std::u16string InterfacePathFor(std::u16string_view instanceId);

// Records the device (or finds its record) and gives it a driver key; one
// process at a time, so that processes seeing the same device arrive make
// one record. False when the registry cannot be written.
bool AddDevice(const DeviceIdentity& identity, DeviceRecord* record = nullptr);
// Deletes the record, its driver key and its interface record.
bool RemoveDevice(std::u16string_view instanceId);

// Every recorded imaging device, present or not, in instance id order.
// `error` (when given) receives the registry's error when the records
// cannot be read at all (a damaged registry), else ERROR_SUCCESS.
std::vector<DeviceRecord> RecordedDevices(LONG* error = nullptr);
// Instance ids and paths compare case-insensitively, as on Windows.
std::optional<DeviceRecord> FindDevice(std::u16string_view instanceId);
std::optional<DeviceRecord> FindDeviceByInterfacePath(std::u16string_view interfacePath);

// The device's name in its interface path, "vid_0abc&pid_0def#serial" in
// lower case (the part between "\\?\usb#" and "#{class}"). Empty for a path
// that is no USB device interface path, or whose name could not be a file name.
std::u16string DeviceNameOf(std::u16string_view interfacePath);
// The socket that serves the device behind an interface path:
// <run-time folder>/usb/vid_xxxx&pid_xxxx#<serial> (the path between
// "\\?\usb#" and "#{class}"). Empty for a path that is no USB device
// interface path.
std::string EndpointPathFor(std::u16string_view interfacePath);
// The folder of those sockets (created when missing).
std::string EndpointFolder();
// The interface path whose endpoint has this file name; empty when none.
std::u16string InterfacePathForEndpointName(std::string_view fileName);

// True while the device's endpoint is live (see above).
bool IsInterfacePresent(std::u16string_view interfacePath);

// ASCII case folding of device names.
std::u16string ToLowerAscii(std::u16string_view text);
std::u16string ToUpperAscii(std::u16string_view text);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

} // namespace plat::devices
