// The test pattern on every page the emulator scans. Each line tells which
// page and side it belongs to and its line number, and its pixels run in a
// known direction, so that a test can check page order, line order,
// mirroring, channel order and inversion of what reached it.
//
// page = sheet number since the feeder was loaded (0-based), side 0 front,
// 1 back; code = 2 x (page mod 8) + side (0-15); y = line, x = column.
//
//  24 bit  every pixel R = x mod 256, G = y mod 256, B = 16 x code + 8.
//   8 bit  x < 16: 16 x code + 8 (the tag); x >= 16: (x + y) mod 256.
//   1 bit  x < 16: the 16-bit tag 0xB000 | code << 8 | (y mod 256), its
//          most significant bit in column 0; x >= 16: an 8 x 8 checkerboard,
//          ink where ((x / 8) xor (y / 8)) is odd. Bit value 1 = ink (black),
//          leftmost pixel in bit 7 of each byte.
//
// These are the samples of a window without mirroring, inversion or gamma.
#pragma once

#include <cstdint>

namespace emulator {

inline std::uint8_t PatternCode(std::uint32_t page, std::uint32_t side) {
  return static_cast<std::uint8_t>(((page % 8) * 2) + (side & 1));
}

// One line of the pattern in the scanner's raw layout (see above). `out`
// holds pixels x bitsPerPixel / 8 bytes; pixels is a multiple of 8.
void RenderPatternLine(std::uint32_t page, std::uint32_t side, std::uint32_t y,
                       std::uint32_t pixels, int bitsPerPixel, std::uint8_t* out);

struct DecodedLine {
  bool valid = false;     // the line carries the pattern
  std::uint8_t code = 0;  // 2 x (page mod 8) + side
  std::uint8_t line = 0;  // line number mod 256
  bool mirrored = false;  // pixels run right to left
  bool inverted = false;  // samples inverted (255 - v, or bits flipped)
  bool bgr = false;       // 24 bit: blue byte first

  std::uint32_t page() const { return code / 2u; }  // mod 8
  std::uint32_t side() const { return code % 2u; }
};

// Reads back one uncompressed line (at least 32 pixels, a multiple of 8).
// Valid only when every byte of the line is what the decoded values predict.
DecodedLine DecodePatternLine(const std::uint8_t* line, std::uint32_t pixels, int bitsPerPixel);

}  // namespace emulator
