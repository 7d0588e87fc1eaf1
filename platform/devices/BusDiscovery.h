// Devices on the USB bus become imaging devices of the system here: each
// one that an installed driver package serves is recorded in the device
// database, as the system records a device it finds on its bus, under the
// instance id of its ids and serial, with the package's name and maker.
// The record stays when the device leaves, as the emulator's does.
#pragma once

#include "platform/devices/UsbBus.h"

#include <string>
#include <vector>

namespace plat::devices {

// Records every served device present now (one recorded before keeps its
// record and driver key); their interface paths.
std::vector<std::u16string> RecordBusDevices();
// Records one device; its interface path, or empty when no installed
// package serves it or the registry cannot be written.
std::u16string RecordBusDevice(const BusDevice& device);

} // namespace plat::devices
