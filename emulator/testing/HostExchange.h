// Test helper: runs one command against a ScannerDevice the way the host
// transport does (command packet, optional data packet, data-phase read of
// data length + 12 bytes, status read of what is still missing), and keeps
// every raw piece for the test to look at.
#pragma once

#include <cstdint>
#include <vector>

#include "emulator/ScannerDevice.h"
#include "emulator/SenseData.h"
#include "emulator/WireFormat.h"

namespace emulator::testing {

struct Exchange {
  TransferStatus transport = TransferStatus::Ok;  // first failed transfer
  std::vector<std::uint8_t> dataPhase;            // raw bytes of the data read
  std::vector<std::uint8_t> statusPacket;         // the 16 status bytes
  std::vector<std::uint8_t> data;                 // the data packet's payload
  int status = -1;                                // status byte, -1 if none

  bool good() const { return transport == TransferStatus::Ok && status == kStatusGood; }
};

inline Exchange RunCommand(ScannerDevice& device, const std::vector<std::uint8_t>& cdb,
                           const std::vector<std::uint8_t>& dataOut = {},
                           std::size_t dataInLength = 0) {
  Exchange x;
  const auto command = MakeCommandPacket(cdb.data(), cdb.size());
  TransferResult r = device.BulkOut(command.data(), command.size());
  if (r.status != TransferStatus::Ok) {
    x.transport = r.status;
    return x;
  }
  if (!dataOut.empty()) {
    const auto packet = MakeDataPacket(dataOut.data(), dataOut.size());
    r = device.BulkOut(packet.data(), packet.size());
    if (r.status != TransferStatus::Ok) {
      x.transport = r.status;
      return x;
    }
  }
  std::size_t statusHave = 0;
  if (dataInLength > 0) {
    x.dataPhase.resize(dataInLength + kDataHeaderSize);
    r = device.BulkIn(x.dataPhase.data(), x.dataPhase.size());
    if (r.status != TransferStatus::Ok) {
      x.transport = r.status;
      return x;
    }
    x.dataPhase.resize(r.bytes);
    std::size_t dataEnd = r.bytes;
    if (r.bytes >= kDataHeaderSize) {
      const PacketHeader h = ParsePacketHeader(x.dataPhase.data());
      if (h.type == kPacketTypeData && h.code == kCodeData && h.length >= kDataHeaderSize &&
          h.length <= r.bytes) {
        dataEnd = h.length;
        statusHave = r.bytes - h.length;
      }
      x.data.assign(x.dataPhase.begin() + kDataHeaderSize, x.dataPhase.begin() + dataEnd);
    }
    x.statusPacket.assign(x.dataPhase.begin() + dataEnd, x.dataPhase.end());
  }
  if (statusHave < kStatusPacketSize) {
    std::vector<std::uint8_t> rest(kStatusPacketSize - statusHave);
    r = device.BulkIn(rest.data(), rest.size());
    if (r.status != TransferStatus::Ok) {
      x.transport = r.status;
      return x;
    }
    x.statusPacket.insert(x.statusPacket.end(), rest.begin(), rest.begin() + r.bytes);
  }
  if (x.statusPacket.size() == kStatusPacketSize) x.status = x.statusPacket[15];
  return x;
}

// REQUEST SENSE, parsed back into a Sense.
inline Sense RequestSense(ScannerDevice& device) {
  const Exchange x = RunCommand(device, {0x03, 0, 0, 0, 18, 0}, {}, 18);
  Sense s;
  if (x.data.size() < kSenseSize) return s;
  s.key = x.data[2] & 0x0F;
  s.ili = (x.data[2] & 0x20) != 0;
  s.eom = (x.data[2] & 0x40) != 0;
  s.info = GetBE32(&x.data[3]);
  s.asc = x.data[12];
  s.ascq = x.data[13];
  return s;
}

}  // namespace emulator::testing
