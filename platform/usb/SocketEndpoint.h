// The socket side of a device path: a program serves a device on a Unix
// stream socket in the run-time folder, one connection per open handle.
//
// Wire format (both ends on one machine, host byte order): a request is
// {u32 op, u32 arg} followed, for a bulk OUT, by `arg` bytes; the answer is
// {u32 status, u32 count} followed, for a bulk IN, by `count` bytes.
//   op 1 bulk OUT (arg: byte count)    answer count: bytes taken
//   op 2 bulk IN  (arg: at most)       answer count: bytes that follow
//   op 3 reset pipe (arg: pipe)        answer count: 1 done, 0 failed
//   op 4 cancel pipe (arg: pipe)       answer count: 1 done, 0 failed
// status: the UsbStatus value. Sizes are checked against kMaxTransfer on
// both ends before any buffer is made.
#pragma once

#include "platform/usb/UsbBackend.h"

#include <cstdint>
#include <string>

namespace plat::usb {

constexpr std::uint32_t kOpBulkOut = 1;
constexpr std::uint32_t kOpBulkIn = 2;
constexpr std::uint32_t kOpResetPipe = 3;
constexpr std::uint32_t kOpCancelPipe = 4;

constexpr std::uint32_t kMaxTransfer = 64u << 20;

struct WireHeader {
    std::uint32_t first = 0;   // op, or status in an answer
    std::uint32_t second = 0;  // arg, or count in an answer
};

// A connected stream socket, or -1 (errno set).
int ConnectEndpoint(const std::string& socketPath);
// True when a program accepts connections on the socket now.
bool IsEndpointLive(const std::string& socketPath);

// Whole reads and writes; false on end of stream or error.
bool SendAll(int fd, const void* data, std::size_t size);
bool ReceiveAll(int fd, void* data, std::size_t size);

} // namespace plat::usb
