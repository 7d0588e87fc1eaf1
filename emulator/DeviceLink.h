// The scanner behind a Unix stream socket: the emulator program serves an
// EmulatedScanner on a socket file (its device node), and the USB stand-in
// of another process reaches it through RemoteScannerDevice, which is the
// same ScannerDevice interface as the in-process emulator.
//
// Wire format, all fields big-endian. Request: u8 op, 3 zero bytes, u32 arg,
// u32 payload length, payload. Reply: u8 result, 3 zero bytes, u32 count,
// u32 payload length, payload.
//
//   op 1 BulkOut    payload = the host's bytes     result = TransferStatus, count = bytes taken
//   op 2 BulkIn     arg = max bytes                result = TransferStatus, payload = the bytes
//   op 3 ResetPipe  arg = pipe                     result = 1 ok / 0
//   op 4 CancelIo   arg = pipe                     result = 1 ok / 0
//   op 5 Identify                                  result = 1 connected / 0, count = vid << 16 | pid
//   op 6 Control    payload = a control line       result = 1 ok / 0, payload = answer text
//
// Control lines are those of ScannerControl.h. Payloads are limited to
// kMaxLinkPayload; a peer that sends more is disconnected.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>

#include "emulator/EmulatedScanner.h"
#include "emulator/ScannerDevice.h"

namespace emulator {

inline constexpr std::uint32_t kMaxLinkPayload = (16u << 20) + 64;

enum class LinkOp : std::uint8_t {
  BulkOut = 1,
  BulkIn = 2,
  ResetPipe = 3,
  CancelIo = 4,
  Identify = 5,
  Control = 6,
};

// Client side. Every call is one request and its reply; a broken
// connection reads as a disconnected device (and tells the observer once).
class RemoteScannerDevice final : public ScannerDevice {
 public:
  // Connects to the socket file; IsConnected() is false when that failed.
  explicit RemoteScannerDevice(const std::string& socketPath);
  ~RemoteScannerDevice() override;

  TransferResult BulkOut(const std::uint8_t* data, std::size_t size) override;
  TransferResult BulkIn(std::uint8_t* buffer, std::size_t max) override;
  bool ResetPipe(std::uint32_t pipe) override;
  bool CancelIo(std::uint32_t pipe) override;
  bool IsConnected() const override;
  void SetConnectionObserver(ConnectionObserver observer) override;
  std::uint16_t VendorId() const override { return vendorId_; }
  std::uint16_t ProductId() const override { return productId_; }

  // Sends a control line to the emulator; false when it was refused or the
  // link is down. `answer` receives the reply text.
  bool Control(const std::string& line, std::string* answer = nullptr);

 private:
  struct Reply {
    bool ok = false;  // the exchange itself worked
    std::uint8_t result = 0;
    std::uint32_t count = 0;
    std::string payload;
  };
  Reply Call(LinkOp op, std::uint32_t arg, const void* payload, std::size_t size) const;
  void LinkLost() const;

  mutable std::mutex mutex_;
  mutable int fd_ = -1;
  mutable bool lostReported_ = false;
  ConnectionObserver observer_;
  std::uint16_t vendorId_ = 0, productId_ = 0;
};

// Server side: serves one scanner on a socket file, one thread per
// connection. The socket file exists from Start() until Stop() (or the
// destructor): its presence is the device's presence.
class DeviceServer {
 public:
  using ControlHandler = std::function<bool(const std::string& line, std::string& answer)>;

  DeviceServer(EmulatedScanner& scanner, std::string socketPath);
  ~DeviceServer();

  // Creates the socket file and starts accepting; false (with errno kept)
  // when the socket cannot be made.
  bool Start();
  // Removes the socket file, closes every connection and joins the threads.
  void Stop();

  // Control lines go here (the default answers every line with failure).
  void SetControlHandler(ControlHandler handler);

  // Removes the socket file now (the device is gone) but keeps serving the
  // connections that are open, so their transfers fail as disconnected.
  void Withdraw();
  // Creates the socket file again after Withdraw.
  bool Republish();

  const std::string& SocketPath() const { return path_; }

 private:
  // One per accepted connection; a connection that ended is joined and
  // dropped at the next accept, so that a host opening the device for every
  // key poll does not pile up threads.
  struct Connection {
    std::thread thread;
    int fd = -1;  // -1 once its thread has closed it
    bool done = false;
  };

  void AcceptLoop();
  void Serve(Connection& connection, int fd);
  void ReapFinished();
  bool Listen();

  EmulatedScanner& scanner_;
  const std::string path_;
  std::mutex mutex_;
  ControlHandler control_;
  int listenFd_ = -1;
  int wakeFd_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;
  std::list<Connection> connections_;
};

}  // namespace emulator
