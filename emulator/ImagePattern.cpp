#include "emulator/ImagePattern.h"

#include <cstring>
#include <vector>

namespace emulator {

namespace {

constexpr std::uint32_t kTagPixels = 16;

std::uint16_t BitTag(std::uint8_t code, std::uint32_t y) {
  return static_cast<std::uint16_t>(0xB000 | (code << 8) | (y & 0xFF));
}

bool BitAt(const std::uint8_t* line, std::uint32_t x) {
  return ((line[x / 8] >> (7 - (x % 8))) & 1) != 0;
}

}  // namespace

void RenderPatternLine(std::uint32_t page, std::uint32_t side, std::uint32_t y,
                       std::uint32_t pixels, int bitsPerPixel, std::uint8_t* out) {
  const std::uint8_t code = PatternCode(page, side);
  const std::uint8_t tag = static_cast<std::uint8_t>(code * 16 + 8);
  if (bitsPerPixel == 24) {
    for (std::uint32_t x = 0; x < pixels; ++x) {
      out[3 * x] = static_cast<std::uint8_t>(x);
      out[3 * x + 1] = static_cast<std::uint8_t>(y);
      out[3 * x + 2] = tag;
    }
  } else if (bitsPerPixel == 8) {
    for (std::uint32_t x = 0; x < pixels; ++x)
      out[x] = x < kTagPixels ? tag : static_cast<std::uint8_t>(x + y);
  } else {
    std::memset(out, 0, pixels / 8);
    const std::uint16_t bits = BitTag(code, y);
    for (std::uint32_t x = 0; x < pixels; ++x) {
      const bool ink =
          x < kTagPixels ? ((bits >> (15 - x)) & 1) != 0 : (((x / 8) ^ (y / 8)) & 1) != 0;
      if (ink) out[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  }
}

namespace {

DecodedLine DecodeBits(const std::uint8_t* line, std::uint32_t pixels) {
  DecodedLine d;
  std::uint16_t head = 0, tail = 0;
  for (std::uint32_t i = 0; i < kTagPixels; ++i) {
    head = static_cast<std::uint16_t>((head << 1) | (BitAt(line, i) ? 1 : 0));
    tail = static_cast<std::uint16_t>((tail << 1) | (BitAt(line, pixels - 1 - i) ? 1 : 0));
  }
  const struct {
    std::uint16_t bits;
    bool mirrored, inverted;
  } candidates[] = {{head, false, false},
                    {static_cast<std::uint16_t>(~head), false, true},
                    {tail, true, false},
                    {static_cast<std::uint16_t>(~tail), true, true}};
  for (const auto& c : candidates) {
    if ((c.bits >> 12) != 0xB) continue;
    d.valid = true;
    d.code = static_cast<std::uint8_t>((c.bits >> 8) & 0x0F);
    d.line = static_cast<std::uint8_t>(c.bits);
    d.mirrored = c.mirrored;
    d.inverted = c.inverted;
    return d;
  }
  return d;
}

// Tag value 16 x code + 8 normally, 255 minus that when inverted: the low
// nibble tells which.
bool ReadTag(std::uint8_t v, std::uint8_t& code, bool& inverted) {
  if ((v & 0x0F) == 0x08) {
    code = v >> 4;
    inverted = false;
    return true;
  }
  if ((v & 0x0F) == 0x07) {
    code = static_cast<std::uint8_t>((255 - v) >> 4);
    inverted = true;
    return true;
  }
  return false;
}

DecodedLine DecodeGray(const std::uint8_t* line, std::uint32_t pixels) {
  DecodedLine d;
  auto constantRun = [&](std::uint32_t from) {
    for (std::uint32_t i = 1; i < kTagPixels; ++i)
      if (line[from + i] != line[from]) return false;
    return true;
  };
  std::uint32_t tagAt;
  if (constantRun(0)) {
    tagAt = 0;
  } else if (constantRun(pixels - kTagPixels)) {
    tagAt = pixels - kTagPixels;
    d.mirrored = true;
  } else {
    return d;
  }
  if (!ReadTag(line[tagAt], d.code, d.inverted)) return d;
  std::uint8_t first = d.mirrored ? line[pixels - 1 - kTagPixels] : line[kTagPixels];
  if (d.inverted) first = static_cast<std::uint8_t>(255 - first);
  d.line = static_cast<std::uint8_t>(first - kTagPixels);
  d.valid = true;
  return d;
}

DecodedLine DecodeColour(const std::uint8_t* line, std::uint32_t pixels) {
  DecodedLine d;
  auto constantChannel = [&](int c) {
    for (std::uint32_t x = 1; x < pixels; ++x)
      if (line[3 * x + c] != line[c]) return false;
    return true;
  };
  int tagChannel, rampChannel;
  if (constantChannel(2) && !constantChannel(0)) {
    tagChannel = 2, rampChannel = 0;
  } else if (constantChannel(0) && !constantChannel(2)) {
    tagChannel = 0, rampChannel = 2;
    d.bgr = true;
  } else {
    return d;
  }
  if (!ReadTag(line[tagChannel], d.code, d.inverted)) return d;
  auto plain = [&](std::uint8_t v) { return d.inverted ? static_cast<std::uint8_t>(255 - v) : v; };
  const std::uint8_t step =
      static_cast<std::uint8_t>(plain(line[3 + rampChannel]) - plain(line[rampChannel]));
  if (step == 1) {
    d.mirrored = false;
  } else if (step == 255) {
    d.mirrored = true;
  } else {
    return d;
  }
  d.line = plain(line[1]);
  d.valid = true;
  return d;
}

// The whole line must be what the decoded values predict: a few matching
// tag bits alone could be chance.
bool Predicts(const DecodedLine& d, const std::uint8_t* line, std::uint32_t pixels, int bpp) {
  const std::size_t bytes = bpp == 1 ? pixels / 8 : std::size_t{pixels} * (bpp / 8);
  std::vector<std::uint8_t> expected(bytes);
  RenderPatternLine(d.page(), d.side(), d.line, pixels, bpp, expected.data());
  if (d.mirrored) {
    std::vector<std::uint8_t> raw = expected;
    const std::uint32_t step = bpp == 24 ? 3 : 1;
    for (std::uint32_t x = 0; x < pixels; ++x) {
      const std::uint32_t from = pixels - 1 - x;
      if (bpp == 1) {
        const bool bit = BitAt(raw.data(), from);
        expected[x / 8] = static_cast<std::uint8_t>((expected[x / 8] & ~(0x80 >> (x % 8))) |
                                                    (bit ? (0x80 >> (x % 8)) : 0));
      } else {
        std::memcpy(&expected[x * step], &raw[from * step], step);
      }
    }
  }
  if (d.bgr)
    for (std::uint32_t x = 0; x < pixels; ++x) std::swap(expected[3 * x], expected[3 * x + 2]);
  if (d.inverted)
    for (auto& b : expected) b = static_cast<std::uint8_t>(~b);
  return std::memcmp(expected.data(), line, bytes) == 0;
}

}  // namespace

DecodedLine DecodePatternLine(const std::uint8_t* line, std::uint32_t pixels, int bitsPerPixel) {
  if (line == nullptr || pixels < 2 * kTagPixels || pixels % 8 != 0) return {};
  DecodedLine d;
  if (bitsPerPixel == 1)
    d = DecodeBits(line, pixels);
  else if (bitsPerPixel == 8)
    d = DecodeGray(line, pixels);
  else if (bitsPerPixel == 24)
    d = DecodeColour(line, pixels);
  if (d.valid && !Predicts(d, line, pixels, bitsPerPixel)) d = {};
  return d;
}

}  // namespace emulator
