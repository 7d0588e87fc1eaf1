#include "emulator/program/ScannerBackend.h"

namespace emulator {

namespace {

plat::usb::UsbResult Convert(TransferResult result) {
  plat::usb::UsbStatus status = plat::usb::UsbStatus::Ok;
  switch (result.status) {
    case TransferStatus::Ok: status = plat::usb::UsbStatus::Ok; break;
    case TransferStatus::NoResponse: status = plat::usb::UsbStatus::NoResponse; break;
    case TransferStatus::Stalled: status = plat::usb::UsbStatus::Stalled; break;
    case TransferStatus::Disconnected: status = plat::usb::UsbStatus::Disconnected; break;
  }
  return {status, result.bytes};
}

}  // namespace

plat::usb::UsbResult ScannerBackend::BulkOut(const std::uint8_t* data, std::size_t size) {
  return Convert(scanner_.BulkOut(data, size));
}

plat::usb::UsbResult ScannerBackend::BulkIn(std::uint8_t* buffer, std::size_t max) {
  return Convert(scanner_.BulkIn(buffer, max));
}

AttachedScanner::AttachedScanner(ScannerDevice& scanner, const std::u16string& serial)
    : scanner_(scanner), backend_(std::make_shared<ScannerBackend>(scanner)) {
  recorded_ = plat::devices::AddDevice(
      {scanner.VendorId(), scanner.ProductId(), serial, u"Emulated document scanner", u"Emulator"},
      &record_);
  if (!recorded_) {
    record_.interfacePath = plat::devices::InterfacePathFor(
        plat::devices::InstanceIdFor(scanner.VendorId(), scanner.ProductId(), serial));
  }
  const std::u16string path = record_.interfacePath;
  const std::shared_ptr<ScannerBackend> backend = backend_;
  scanner_.SetConnectionObserver([path, backend](bool connected) {
    if (connected)
      plat::usb::AttachInProcessDevice(path, backend);
    else
      plat::usb::DetachInProcessDevice(path);
  });
  if (scanner_.IsConnected()) plat::usb::AttachInProcessDevice(path, backend_);
}

AttachedScanner::~AttachedScanner() {
  scanner_.SetConnectionObserver({});
  plat::usb::DetachInProcessDevice(record_.interfacePath);
}

}  // namespace emulator
