#include "emulator/SenseData.h"

#include "emulator/WireFormat.h"

namespace emulator {

std::array<std::uint8_t, kSenseSize> Sense::ToBytes() const {
  std::array<std::uint8_t, kSenseSize> b{};
  b[0] = 0x70;  // current error, fixed format
  b[2] = static_cast<std::uint8_t>((key & 0x0F) | (ili ? 0x20 : 0) | (eom ? 0x40 : 0));
  PutBE32(&b[3], info);
  b[7] = kSenseSize - 8;  // additional sense length
  b[12] = asc;
  b[13] = ascq;
  return b;
}

}  // namespace emulator
