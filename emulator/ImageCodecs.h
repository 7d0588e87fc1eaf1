// Compressed page streams: baseline JPEG (libjpeg) for 8 and 24 bit, and
// MMR, CCITT group 4, for 1 bit (libtiff's codec, the raw strip only).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace emulator {

// Fills one line of `width` pixels for line y (rows are asked in order).
using LineSource = std::function<void(std::uint32_t y, std::uint8_t* line)>;

// 8 bit: gray; 24 bit: RGB. Quality 1-100. Empty on failure.
std::vector<std::uint8_t> EncodeJpeg(std::uint32_t width, std::uint32_t lines, int bitsPerPixel,
                                     int quality, const LineSource& source);

// Lines of width/8 bytes, bit 1 = black, leftmost pixel in bit 7. Returns
// the group 4 data (ending with EOFB). Empty on failure.
std::vector<std::uint8_t> EncodeMmr(std::uint32_t width, std::uint32_t lines,
                                    const LineSource& source);

// The reverse of EncodeMmr: width/8 x lines bytes, bit 1 = black. Empty when
// the data does not decode to that many lines.
std::vector<std::uint8_t> DecodeMmr(const std::vector<std::uint8_t>& mmr, std::uint32_t width,
                                    std::uint32_t lines);

}  // namespace emulator
