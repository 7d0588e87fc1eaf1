// The scanner as its USB transport sees it: two bulk pipes and the pipe
// controls, nothing else. The USB still-image stand-in opens a device path
// and turns WriteFile into BulkOut, ReadFile into BulkIn and the pipe
// reset/cancel controls into ResetPipe/CancelIo; the emulator implements it.
//
// Transfers are synchronous: BulkOut hands the device one host write, the
// device consumes it whole (or refuses it) and prepares its answer at once;
// BulkIn returns what the device has ready. A read of N bytes returns at most
// the rest of the device's current chunk (one answer transfer), the rest
// staying for the next read, as a bulk IN transfer with a short packet does.
//
// Threads: every call may come from any thread; implementations serialise
// them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace emulator {

// Pipe numbers as the still-image driver names them.
inline constexpr std::uint32_t kPipeBulkIn = 1;   // read-data pipe
inline constexpr std::uint32_t kPipeBulkOut = 2;  // write-data pipe

enum class TransferStatus {
  Ok,            // bytes moved (possibly 0 for an empty request)
  NoResponse,    // the device has nothing to send and will send nothing:
                 // a real read would wait until the caller's time-out
  Stalled,       // the endpoint is halted until ResetPipe (Windows error 31)
  Disconnected,  // the device is gone (Windows error 1167)
};

struct TransferResult {
  TransferStatus status = TransferStatus::Ok;
  std::size_t bytes = 0;  // bytes accepted (BulkOut) or returned (BulkIn)
};

class ScannerDevice {
 public:
  virtual ~ScannerDevice() = default;

  // What the host writes to the bulk OUT pipe. Ok means all `size` bytes
  // were taken.
  virtual TransferResult BulkOut(const std::uint8_t* data, std::size_t size) = 0;

  // What the host reads from the bulk IN pipe: at most `max` bytes, and at
  // most the rest of the current answer chunk.
  virtual TransferResult BulkIn(std::uint8_t* buffer, std::size_t max) = 0;

  // Clears a halt on the pipe and flushes what is queued on it (IN: the
  // unread answer; OUT: a partly received packet). False when disconnected.
  virtual bool ResetPipe(std::uint32_t pipe) = 0;

  // Aborts transfers pending on the pipe. Transfers here never pend inside
  // the device, so this only reports whether the device is still there.
  virtual bool CancelIo(std::uint32_t pipe) = 0;

  // False after an unplug; the transport fails opens and transfers then.
  virtual bool IsConnected() const = 0;

  // Called (outside the device's lock, on the thread whose call caused it)
  // whenever the device goes away or comes back, so that the transport can
  // announce removal and arrival. One observer; an empty function removes it.
  using ConnectionObserver = std::function<void(bool connected)>;
  virtual void SetConnectionObserver(ConnectionObserver observer) = 0;

  // The USB ids that the device path carries (vid_xxxx&pid_xxxx).
  virtual std::uint16_t VendorId() const = 0;
  virtual std::uint16_t ProductId() const = 0;
};

}  // namespace emulator
