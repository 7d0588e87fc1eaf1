// The socket side of a device path: a program serves a device on a Unix
// stream socket in the run-time folder (the scanner emulator program does),
// one connection per open handle.
//
// The frames are the device link of the emulator program (docs/emulator.md),
// all numbers big-endian. Request: u8 op, 3 zero bytes, u32 arg, u32 payload
// length, payload. Answer: u8 result, 3 zero bytes, u32 count, u32 payload
// length, payload.
//   op 1 bulk OUT  payload: the bytes        result: UsbStatus, count: bytes taken
//   op 2 bulk IN   arg: at most              result: UsbStatus, payload: the bytes
//   op 3 reset pipe  arg: pipe               result: 1 done, 0 not
//   op 4 cancel pipe arg: pipe               result: 1 done, 0 not
//   op 5 identify                            result: 1 connected; count: vid << 16 | pid
// Payload lengths are checked against kMaxTransfer on both ends before any
// buffer is made; a peer that sends more is cut off.
#pragma once

#include "platform/base/UninitializedBytes.h"
#include "platform/usb/UsbBackend.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plat::usb {

constexpr std::uint32_t kOpBulkOut = 1;
constexpr std::uint32_t kOpBulkIn = 2;
constexpr std::uint32_t kOpResetPipe = 3;
constexpr std::uint32_t kOpCancelPipe = 4;
constexpr std::uint32_t kOpIdentify = 5;

constexpr std::uint32_t kMaxTransfer = (16u << 20) + 64;

struct Frame {
    std::uint8_t first = 0;   // op, or the result in an answer
    std::uint32_t number = 0; // arg, or the count in an answer
    UninitializedBytes payload;
};

// One frame each way; false on a broken link or an oversized payload.
bool SendFrame(int fd, std::uint8_t first, std::uint32_t number, const void* payload, std::size_t size);
bool ReceiveFrame(int fd, Frame& frame);
// An answer whose payload goes straight into `buffer`, which takes at most
// `capacity` bytes (frame.payload stays empty, `size` is the payload's).
// Only for a connection on which nothing follows the answer until the next
// request: the header and the payload are taken in as few reads as they
// came in. False on a broken link, a payload over `capacity`, or bytes
// beyond the answer.
bool ReceiveAnswerInto(int fd, Frame& frame, std::uint8_t* buffer, std::size_t capacity, std::size_t& size);

// A connected stream socket, or -1 (errno set).
int ConnectEndpoint(const std::string& socketPath);
// True when a program accepts connections on the socket now.
bool IsEndpointLive(const std::string& socketPath);

} // namespace plat::usb
