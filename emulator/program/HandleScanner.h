// Test helper: a device handle of the platform seen as a ScannerDevice, so
// the emulator's host-side helpers (HostExchange.h) run commands through
// CreateFile/WriteFile/ReadFile exactly as the hardware service does. The
// Win32 error of the latest failed transfer is kept.
#pragma once

#include "emulator/ScannerDevice.h"
#include "platform/windows.h"

namespace emulator::testing {

class HandleScanner final : public ScannerDevice {
 public:
  explicit HandleScanner(HANDLE handle) : handle_(handle) {}

  TransferResult BulkOut(const std::uint8_t* data, std::size_t size) override {
    DWORD written = 0;
    if (!WriteFile(handle_, data, static_cast<DWORD>(size), &written, nullptr)) return Failed();
    return {TransferStatus::Ok, written};
  }
  TransferResult BulkIn(std::uint8_t* buffer, std::size_t max) override {
    DWORD read = 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(max), &read, nullptr)) return Failed();
    return {TransferStatus::Ok, read};
  }
  bool ResetPipe(std::uint32_t pipe) override { return Control(IOCTL_RESET_PIPE, pipe); }
  bool CancelIo(std::uint32_t pipe) override { return Control(IOCTL_CANCEL_IO, pipe); }
  bool IsConnected() const override { return true; }
  void SetConnectionObserver(ConnectionObserver) override {}
  std::uint16_t VendorId() const override { return 0; }
  std::uint16_t ProductId() const override { return 0; }

  DWORD LastError() const { return lastError_; }

 private:
  TransferResult Failed() {
    lastError_ = GetLastError();
    switch (lastError_) {
      case ERROR_GEN_FAILURE: return {TransferStatus::Stalled, 0};
      case ERROR_SEM_TIMEOUT: return {TransferStatus::NoResponse, 0};
      default: return {TransferStatus::Disconnected, 0};
    }
  }
  bool Control(DWORD code, std::uint32_t pipe) {
    DWORD returned = 0;
    DWORD in = pipe;
    if (DeviceIoControl(handle_, code, &in, sizeof in, nullptr, 0, &returned, nullptr)) return true;
    lastError_ = GetLastError();
    return false;
  }

  HANDLE handle_;
  DWORD lastError_ = 0;
};

}  // namespace emulator::testing
