// The driver packages installed on the system, as far as finding devices
// needs them: the USB hardware ids a package serves, and the name and maker
// it gives those devices. A device on the bus with such an id is an imaging
// device of the system; any other is not.
//
//   HKLM\SYSTEM\DriverDatabase\DeviceIds\USB\VID_xxxx&PID_xxxx
//       DeviceDesc, Mfg
#pragma once

#include "platform/devices/UsbBus.h"

#include <string>
#include <vector>

namespace plat::devices {

struct DriverPackage {
    std::vector<std::u16string> hardwareIds; // "USB\VID_0ABC&PID_0DEF"
    std::u16string description;              // the device's name
    std::u16string manufacturer;
};

// Installs the package's ids (again: the last installation's name and maker
// hold). False when an id is no USB hardware id or the registry cannot be
// written.
bool AddDriverPackage(const DriverPackage& package);

// One hardware id some installed package serves.
struct DeviceModel {
    UsbId id;
    std::u16string description;
    std::u16string manufacturer;
};
std::vector<DeviceModel> InstalledModels();

} // namespace plat::devices
