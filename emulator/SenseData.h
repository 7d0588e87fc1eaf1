// Fixed-format sense data (18 bytes) as REQUEST SENSE returns it, and the
// conditions the scanner reports.
#pragma once

#include <array>
#include <cstdint>

namespace emulator {

inline constexpr std::size_t kSenseSize = 18;

struct Sense {
  std::uint8_t key = 0;    // low 4 bits of byte 2
  std::uint8_t asc = 0;    // byte 12
  std::uint8_t ascq = 0;   // byte 13
  bool ili = false;        // byte 2 bit 5: short transfer
  bool eom = false;        // byte 2 bit 6: end of page
  std::uint32_t info = 0;  // bytes 3-6: residue of a short read

  bool operator==(const Sense&) const = default;

  std::array<std::uint8_t, kSenseSize> ToBytes() const;
};

// Sense keys.
inline constexpr std::uint8_t kKeyNoSense = 0x0;
inline constexpr std::uint8_t kKeyNotReady = 0x2;
inline constexpr std::uint8_t kKeyMediumError = 0x3;
inline constexpr std::uint8_t kKeyHardwareError = 0x4;
inline constexpr std::uint8_t kKeyIllegalRequest = 0x5;
inline constexpr std::uint8_t kKeyUnitAttention = 0x6;
inline constexpr std::uint8_t kKeyAbortedCommand = 0xB;

// The conditions this scanner reports, by name.
namespace sense {
inline constexpr Sense kNone{};
inline constexpr Sense kNotReady{kKeyNotReady, 0x00, 0x00};
inline constexpr Sense kBecomingReady{kKeyNotReady, 0x04, 0x01};
inline constexpr Sense kDoorOpen{kKeyNotReady, 0x04, 0x80};
inline constexpr Sense kScannerStopped{kKeyNotReady, 0x80, 0x01};
inline constexpr Sense kAdfStopped{kKeyNotReady, 0x80, 0x02};
inline constexpr Sense kMediumNotPresent{kKeyMediumError, 0x3A, 0x00};
inline constexpr Sense kJamAtLead{kKeyMediumError, 0x80, 0x01};
inline constexpr Sense kMediaLengthError{kKeyMediumError, 0x80, 0x0C};
inline constexpr Sense kDoubleFeed{kKeyMediumError, 0x80, 0x0D};
// Skew has no text of its own on the host side; the host maps it to its
// "skewed page" status.
inline constexpr Sense kSkew{kKeyMediumError, 0x80, 0x0A};
inline constexpr Sense kParameterListLength{kKeyIllegalRequest, 0x1A, 0x00};
inline constexpr Sense kInvalidOpcode{kKeyIllegalRequest, 0x20, 0x00};
inline constexpr Sense kInvalidFieldInCdb{kKeyIllegalRequest, 0x24, 0x00};
inline constexpr Sense kInvalidFieldInParameters{kKeyIllegalRequest, 0x26, 0x00};
inline constexpr Sense kInvalidWindowCombination{kKeyIllegalRequest, 0x2C, 0x02};
inline constexpr Sense kOutOfScanningArea{kKeyIllegalRequest, 0x2C, 0x80};
inline constexpr Sense kDataTransferError{kKeyAbortedCommand, 0x1B, 0x00};
inline constexpr Sense kImageTransferError{kKeyAbortedCommand, 0x80, 0x01};
}  // namespace sense

}  // namespace emulator
