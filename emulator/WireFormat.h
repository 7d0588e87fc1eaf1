// Byte layout of the bulk-pipe protocol: command, data and status packets,
// all multi-byte fields big-endian. Used by the emulator to parse and build
// packets and by tests (and host-side tools) to speak to it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace emulator {

inline constexpr std::size_t kCommandPacketSize = 24;
inline constexpr std::size_t kDataHeaderSize = 12;
inline constexpr std::size_t kStatusPacketSize = 16;
inline constexpr std::size_t kMaxCdbSize = 12;

inline constexpr std::uint16_t kPacketTypeCommand = 1;
inline constexpr std::uint16_t kPacketTypeData = 2;
inline constexpr std::uint16_t kPacketTypeStatus = 3;
inline constexpr std::uint16_t kCodeCommand = 0x9000;
inline constexpr std::uint16_t kCodeData = 0xB000;
inline constexpr std::uint16_t kCodeStatus = 0xC000;

// SCSI status bytes.
inline constexpr std::uint8_t kStatusGood = 0x00;
inline constexpr std::uint8_t kStatusCheckCondition = 0x02;
inline constexpr std::uint8_t kStatusBusy = 0x08;

inline std::uint16_t GetBE16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t GetBE24(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}
inline std::uint32_t GetBE32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}
inline void PutBE16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}
inline void PutBE24(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 16);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v);
}
inline void PutBE32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

// Length 24, type 1, code 0x9000, 0, then the CDB (at most 12 bytes, the
// rest zero). A longer CDB is cut to 12 bytes.
std::array<std::uint8_t, kCommandPacketSize> MakeCommandPacket(const std::uint8_t* cdb,
                                                               std::size_t cdbLength);

// Length data+12, type 2, code 0xB000, 0, then the data.
std::vector<std::uint8_t> MakeDataPacket(const std::uint8_t* data, std::size_t size);

// Length 16, type 3, code 0xC000, 0, then the status byte as a big-endian
// u32. The host reads only bytes 12-15.
std::array<std::uint8_t, kStatusPacketSize> MakeStatusPacket(std::uint8_t status);

// Packet header fields.
struct PacketHeader {
  std::uint32_t length = 0;
  std::uint16_t type = 0;
  std::uint16_t code = 0;
};
inline PacketHeader ParsePacketHeader(const std::uint8_t* p) {
  return PacketHeader{GetBE32(p), GetBE16(p + 4), GetBE16(p + 6)};
}

}  // namespace emulator
