// The scanner as a device on a USB bus of its own (--usbfs): a umockdev test
// bed in the system root's run-time folder, whose device answers usbfs from
// the emulated scanner, so that the drivers take their real-bus path (udev,
// libusb) to it. Programs reach the bus when they run with umockdev's
// preload library and UMOCKDEV_DIR naming the test bed's folder.
#pragma once

#include "emulator/ScannerDevice.h"
#include "emulator/program/ScannerBackend.h"
#include "platform/usb/testing/UsbfsTestBed.h"

#include <memory>
#include <string>
#include <vector>

namespace emulator {

class UsbfsScanner {
 public:
  // The scanner plugged in as `device`; `others` are devices of other ids
  // beside it, whose pipes nothing answers.
  UsbfsScanner(ScannerDevice& scanner, const plat::usb::testing::UsbfsDeviceSpec& device,
               const std::vector<plat::usb::testing::UsbfsDeviceSpec>& others);

  std::string Root() const { return bed_.Root(); }
  std::string DeviceNode() const { return device_->DeviceNode(); }
  // Follows the scanner's connection: the device is pulled out or plugged
  // in on a thread of its own (the scanner may leave inside a transfer),
  // then "removed NODE" or "arrived NODE" is printed.
  void Follow(bool connected);

 private:
  plat::usb::testing::UsbfsTestBed bed_;
  ScannerBackend side_;
  std::vector<std::unique_ptr<plat::usb::testing::UsbfsDevice>> others_;
  std::unique_ptr<plat::usb::testing::UsbfsDevice> device_;
};

}  // namespace emulator
