// Test helper: SET WINDOW parameter lists (8-byte header + 64-byte
// descriptor, big-endian) built the way the host builds them.
#pragma once

#include <cstdint>
#include <vector>

#include "emulator/ScanWindow.h"
#include "emulator/WireFormat.h"

namespace emulator::testing {

struct WindowSpec {
  std::uint8_t id = kWindowFront;
  std::uint16_t dpi = 100;
  std::uint32_t width = 1200;  // 1/1200 in
  std::uint32_t length = 600;  // 1/1200 in
  std::uint8_t bitsPerPixel = 24;
  std::uint8_t compression = kCompressionNone;
  std::uint8_t compressionArg = 0;
  bool reverse = false;
  bool mirror = false;
  bool gamma = false;
  std::uint8_t documentSize = 0;  // 0x40 length control, 0x20 long paper
  std::uint8_t features29 = 0;    // 0x10 stop on skew
  std::uint8_t features38 = 0;    // 0x10 double-feed detection
  std::uint8_t pages = 0xFF;
};

inline std::vector<std::uint8_t> WindowList(const WindowSpec& s) {
  std::vector<std::uint8_t> p(kWindowHeaderSize + kWindowDescriptorSize, 0);
  PutBE16(&p[6], kWindowDescriptorSize);
  std::uint8_t* d = &p[kWindowHeaderSize];
  d[0] = s.id;
  PutBE16(d + 2, s.dpi);
  PutBE16(d + 4, s.dpi);
  PutBE32(d + 14, s.width);
  PutBE32(d + 18, s.length);
  d[25] = s.bitsPerPixel == 1 ? 0 : (s.bitsPerPixel == 8 ? 2 : 5);
  d[26] = s.bitsPerPixel;
  d[29] = s.reverse ? 0x80 : 0;
  d[32] = s.compression;
  d[33] = s.compressionArg;
  d[41] = s.features29;
  d[42] = s.mirror ? 0x80 : 0;
  d[44] = s.gamma ? 0x80 : 0;
  d[46] = 0x30;
  d[47] = s.documentSize;
  PutBE32(d + 48, s.width);
  PutBE32(d + 52, s.length);
  d[56] = s.features38;
  d[57] = s.pages;
  return p;
}

inline std::vector<std::uint8_t> SetWindowCdb(std::size_t listLength) {
  return {0x24, 0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(listLength), 0};
}

inline std::vector<std::uint8_t> ReadImageCdb(std::uint32_t length, bool back,
                                              std::uint8_t qualifier = 0) {
  std::vector<std::uint8_t> cdb{
      0x28, 0, 0x00, 0, qualifier, static_cast<std::uint8_t>(back ? 0x80 : 0), 0, 0, 0, 0};
  PutBE24(&cdb[6], length);
  return cdb;
}

}  // namespace emulator::testing
