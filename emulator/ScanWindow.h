// One window of SET WINDOW: the 64-byte descriptor as the scanner reads it,
// and the page geometry that follows from it.
#pragma once

#include <array>
#include <cstdint>

namespace emulator {

inline constexpr std::size_t kWindowHeaderSize = 8;
inline constexpr std::size_t kWindowDescriptorSize = 64;

inline constexpr std::uint8_t kWindowFront = 0x00;
inline constexpr std::uint8_t kWindowBack = 0x80;

inline constexpr std::uint8_t kCompressionNone = 0x00;
inline constexpr std::uint8_t kCompressionMmr = 0x03;
inline constexpr std::uint8_t kCompressionJpeg = 0x81;

struct ScanWindow {
  std::array<std::uint8_t, kWindowDescriptorSize> raw{};  // as received

  std::uint8_t id = 0;
  std::uint16_t xRes = 0, yRes = 0;
  std::uint32_t upperLeftX = 0, upperLeftY = 0, width = 0, length = 0;  // 1/1200 in
  std::uint8_t composition = 0;
  std::uint8_t bitsPerPixel = 0;
  bool reverse = false;  // byRIF_Padding bit 7: inverted samples
  std::uint8_t compression = 0;
  std::uint8_t compressionArg = 0;
  std::uint8_t features29 = 0;    // 0x10: stop on skew
  bool mirror = false;            // byMirrorImage bit 7
  bool useGamma = false;          // byGammaCorrection 0x80
  std::uint8_t documentSize = 0;  // 0x40 length control, 0x20 long paper
  std::uint8_t features38 = 0;    // 0x10: double-feed detection
  std::uint8_t pages = 0;         // byContinuScanningPage: sheets, 0xFF all

  bool back() const { return id == kWindowBack; }
  bool lengthControl() const { return (documentSize & 0x40) != 0; }
  bool longPaper() const { return (documentSize & 0x20) != 0; }
  bool stopOnSkew() const { return (features29 & 0x10) != 0; }
  bool doubleFeedDetection() const { return (features38 & 0x10) != 0; }

  // Pixels per line: width x xRes / 1200 rounded to the nearest pixel, then
  // down to a multiple of 16 (whole bytes for 1 bit, as the host computes).
  std::uint32_t PixelsPerLine() const;
  // Lines of the window: length x yRes / 1200.
  std::uint32_t Lines() const;
  std::uint32_t BytesPerLine() const;
};

enum class WindowCheck {
  Ok,
  InvalidField,  // unknown window id, resolution outside 50-600 dpi, bit
                 // depth other than 1/8/24, a compression the depth cannot take
  OutOfArea,     // empty area, or beyond the widest or longest document
};

// Parses one 64-byte descriptor; `window` is written only when Ok.
WindowCheck ParseWindow(const std::uint8_t* descriptor, ScanWindow& window);

inline constexpr std::uint16_t kMinResolution = 50;
inline constexpr std::uint16_t kMaxResolution = 600;
inline constexpr std::uint32_t kMaxWidth = 14400;             // 12 in, 1/1200 in
inline constexpr std::uint32_t kMaxLength = 16800;            // 14 in
inline constexpr std::uint32_t kMaxLongPaperLength = 141600;  // 118 in

}  // namespace emulator
