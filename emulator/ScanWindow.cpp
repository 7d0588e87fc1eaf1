#include "emulator/ScanWindow.h"

#include <cstring>

#include "emulator/WireFormat.h"

namespace emulator {

std::uint32_t ScanWindow::PixelsPerLine() const {
  const std::uint64_t pixels = (std::uint64_t{width} * xRes + 600) / 1200;
  return static_cast<std::uint32_t>(pixels) & ~15u;
}

std::uint32_t ScanWindow::Lines() const {
  return static_cast<std::uint32_t>(std::uint64_t{length} * yRes / 1200);
}

std::uint32_t ScanWindow::BytesPerLine() const {
  const std::uint32_t pixels = PixelsPerLine();
  if (bitsPerPixel == 1) return pixels / 8;
  if (bitsPerPixel == 8) return pixels;
  return pixels * 3;
}

WindowCheck ParseWindow(const std::uint8_t* d, ScanWindow& w) {
  ScanWindow out;
  std::memcpy(out.raw.data(), d, kWindowDescriptorSize);
  out.id = d[0];
  out.xRes = GetBE16(d + 2);
  out.yRes = GetBE16(d + 4);
  out.upperLeftX = GetBE32(d + 6);
  out.upperLeftY = GetBE32(d + 10);
  out.width = GetBE32(d + 14);
  out.length = GetBE32(d + 18);
  out.composition = d[25];
  out.bitsPerPixel = d[26];
  out.reverse = (d[29] & 0x80) != 0;
  out.compression = d[32];
  out.compressionArg = d[33];
  out.features29 = d[41];
  out.mirror = (d[42] & 0x80) != 0;
  out.useGamma = (d[44] & 0x80) != 0;
  out.documentSize = d[47];
  out.features38 = d[56];
  out.pages = d[57];

  if (out.id != kWindowFront && out.id != kWindowBack) return WindowCheck::InvalidField;
  for (std::uint16_t res : {out.xRes, out.yRes})
    if (res < kMinResolution || res > kMaxResolution) return WindowCheck::InvalidField;
  if (out.bitsPerPixel != 1 && out.bitsPerPixel != 8 && out.bitsPerPixel != 24)
    return WindowCheck::InvalidField;
  switch (out.compression) {
    case kCompressionNone: break;
    case kCompressionMmr:
      if (out.bitsPerPixel != 1) return WindowCheck::InvalidField;
      break;
    case kCompressionJpeg:
      if (out.bitsPerPixel == 1) return WindowCheck::InvalidField;
      break;
    default: return WindowCheck::InvalidField;
  }
  const std::uint32_t maxLength = out.longPaper() ? kMaxLongPaperLength : kMaxLength;
  if (std::uint64_t{out.upperLeftX} + out.width > kMaxWidth) return WindowCheck::OutOfArea;
  if (std::uint64_t{out.upperLeftY} + out.length > maxLength) return WindowCheck::OutOfArea;
  if (out.PixelsPerLine() == 0 || out.Lines() == 0) return WindowCheck::OutOfArea;
  w = out;
  return WindowCheck::Ok;
}

}  // namespace emulator
