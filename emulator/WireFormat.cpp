#include "emulator/WireFormat.h"

#include <algorithm>
#include <cstring>

namespace emulator {

namespace {
void PutHeader(std::uint8_t* p, std::uint32_t length, std::uint16_t type, std::uint16_t code) {
  PutBE32(p, length);
  PutBE16(p + 4, type);
  PutBE16(p + 6, code);
  PutBE32(p + 8, 0);
}
}  // namespace

std::array<std::uint8_t, kCommandPacketSize> MakeCommandPacket(const std::uint8_t* cdb,
                                                               std::size_t cdbLength) {
  std::array<std::uint8_t, kCommandPacketSize> packet{};
  PutHeader(packet.data(), kCommandPacketSize, kPacketTypeCommand, kCodeCommand);
  if (cdb != nullptr) std::memcpy(packet.data() + 12, cdb, std::min(cdbLength, kMaxCdbSize));
  return packet;
}

std::vector<std::uint8_t> MakeDataPacket(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> packet(kDataHeaderSize + size);
  PutHeader(packet.data(), static_cast<std::uint32_t>(packet.size()), kPacketTypeData, kCodeData);
  if (size != 0) std::memcpy(packet.data() + kDataHeaderSize, data, size);
  return packet;
}

std::array<std::uint8_t, kStatusPacketSize> MakeStatusPacket(std::uint8_t status) {
  std::array<std::uint8_t, kStatusPacketSize> packet{};
  PutHeader(packet.data(), kStatusPacketSize, kPacketTypeStatus, kCodeStatus);
  PutBE32(packet.data() + 12, status);
  return packet;
}

}  // namespace emulator
