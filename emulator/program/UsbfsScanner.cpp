#include "emulator/program/UsbfsScanner.h"

#include "platform/base/sysroot.h"

#include <cstdio>

namespace emulator {

namespace {

// In the system root, which goes with the test that made it; umockdev's
// sockets lie a good 50 characters below it, so a root too deep for a
// socket address takes the temporary folder instead.
std::string BedFolder() {
  const std::string folder = plat::RuntimeFolder() + "/usbfs";
  if (folder.size() > 50) return {};
  plat::CreatePrivateFolder(folder);
  return folder;
}

}  // namespace

UsbfsScanner::UsbfsScanner(ScannerDevice& scanner,
                           const plat::usb::testing::UsbfsDeviceSpec& device,
                           const std::vector<plat::usb::testing::UsbfsDeviceSpec>& others)
    : bed_(BedFolder()), side_(scanner) {
  for (const plat::usb::testing::UsbfsDeviceSpec& other : others)
    others_.push_back(std::make_unique<plat::usb::testing::UsbfsDevice>(bed_, nullptr, other));
  device_ = std::make_unique<plat::usb::testing::UsbfsDevice>(bed_, &side_, device);
}

void UsbfsScanner::Follow(bool connected) {
  device_->PlugLater(connected, [this, connected] {
    std::printf("%s %s\n", connected ? "arrived" : "removed", device_->DeviceNode().c_str());
    std::fflush(stdout);
  });
}

}  // namespace emulator
