// The emulated scanner behind a device path in this process: tests attach
// an EmulatedScanner (or any ScannerDevice) to its device path, and the
// platform's CreateFile, ReadFile, WriteFile and DeviceIoControl on that path
// drive it as they drive the emulator program over its socket.
#pragma once

#include <memory>
#include <string>

#include "emulator/ScannerDevice.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/usb/UsbBackend.h"

namespace emulator {

// The scanner's pipes as the platform's USB transport sees them.
class ScannerBackend final : public plat::usb::UsbBackend {
 public:
  explicit ScannerBackend(ScannerDevice& scanner) : scanner_(scanner) {}

  plat::usb::UsbResult BulkOut(const std::uint8_t* data, std::size_t size) override;
  plat::usb::UsbResult BulkIn(std::uint8_t* buffer, std::size_t max) override;
  bool ResetPipe(DWORD pipe) override { return scanner_.ResetPipe(pipe); }
  bool CancelPipe(DWORD pipe) override { return scanner_.CancelIo(pipe); }

 private:
  ScannerDevice& scanner_;
};

// While it lives, the scanner is a present device: recorded in the device
// database (vendor and product id from the scanner, the given serial),
// attached to its device path, announced as arrived. Unplugging the scanner
// detaches it (a removal), plugging it in again attaches it anew (an
// arrival; handles opened before then fail with ERROR_ACCESS_DENIED). The
// scanner must outlive the attachment, which takes its connection observer.
class AttachedScanner {
 public:
  AttachedScanner(ScannerDevice& scanner, const std::u16string& serial = u"qbk0001");
  ~AttachedScanner();
  AttachedScanner(const AttachedScanner&) = delete;
  AttachedScanner& operator=(const AttachedScanner&) = delete;

  // False when the device record could not be written.
  bool Recorded() const { return recorded_; }
  const plat::devices::DeviceRecord& Record() const { return record_; }
  const std::u16string& DevicePath() const { return record_.interfacePath; }

 private:
  ScannerDevice& scanner_;
  std::shared_ptr<ScannerBackend> backend_;
  plat::devices::DeviceRecord record_;
  bool recorded_ = false;
};

}  // namespace emulator
