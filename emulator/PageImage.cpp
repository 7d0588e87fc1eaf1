#include "emulator/PageImage.h"

#include <algorithm>
#include <cstring>

#include "emulator/ImageCodecs.h"
#include "emulator/ImagePattern.h"

namespace emulator {

namespace {
std::uint8_t ReverseBits(std::uint8_t b) {
  b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  b = static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
  return b;
}

// A compression argument of 0 asks for the scanner's default quality.
int JpegQuality(std::uint8_t arg) {
  if (arg == 0) return 80;
  return std::min<int>(arg, 100);
}
}  // namespace

PageImage::PageImage(const ScanWindow& window, std::uint32_t page, std::uint32_t side,
                     std::uint32_t lines, const GammaTables* gamma)
    : window_(window),
      page_(page),
      side_(side),
      pixels_(window.PixelsPerLine()),
      lines_(lines),
      bytesPerLine_(window.BytesPerLine()) {
  if (gamma != nullptr && window.useGamma && window.bitsPerPixel != 1) {
    gamma_ = *gamma;
    hasGamma_ = true;
  }
  line_.resize(bytesPerLine_);
  const LineSource source = [this](std::uint32_t y, std::uint8_t* out) { RenderLine(y, out); };
  if (window_.compression == kCompressionJpeg) {
    stream_ = EncodeJpeg(pixels_, lines_, window_.bitsPerPixel, JpegQuality(window_.compressionArg),
                         source);
    size_ = stream_.size();
  } else if (window_.compression == kCompressionMmr) {
    stream_ = EncodeMmr(pixels_, lines_, source);
    size_ = stream_.size();
  } else {
    size_ = std::uint64_t{bytesPerLine_} * lines_;
  }
}

void PageImage::RenderLine(std::uint32_t y, std::uint8_t* out) const {
  const int bpp = window_.bitsPerPixel;
  RenderPatternLine(page_, side_, y, pixels_, bpp, out);
  if (window_.mirror) {
    if (bpp == 1) {
      std::reverse(out, out + bytesPerLine_);
      for (std::uint32_t i = 0; i < bytesPerLine_; ++i) out[i] = ReverseBits(out[i]);
    } else if (bpp == 8) {
      std::reverse(out, out + pixels_);
    } else {
      for (std::uint32_t x = 0; x < pixels_ / 2; ++x)
        std::swap_ranges(out + 3 * x, out + 3 * x + 3, out + 3 * (pixels_ - 1 - x));
    }
  }
  if (hasGamma_) {
    if (bpp == 8) {
      if (gamma_.loaded[3])
        for (std::uint32_t i = 0; i < bytesPerLine_; ++i) out[i] = gamma_.table[3][out[i]];
    } else {
      for (std::uint32_t i = 0; i < bytesPerLine_; ++i)
        if (gamma_.loaded[i % 3]) out[i] = gamma_.table[i % 3][out[i]];
    }
  }
  // The MMR stream carries ink as 1 like the raw data; both invert on request.
  if (window_.reverse)
    for (std::uint32_t i = 0; i < bytesPerLine_; ++i) out[i] = static_cast<std::uint8_t>(~out[i]);
}

void PageImage::Read(std::uint64_t offset, std::size_t count, std::uint8_t* out) {
  if (!stream_.empty() || Compressed()) {
    std::memcpy(out, stream_.data() + offset, count);
    return;
  }
  while (count > 0) {
    const std::uint32_t y = static_cast<std::uint32_t>(offset / bytesPerLine_);
    const std::uint32_t within = static_cast<std::uint32_t>(offset % bytesPerLine_);
    if (y != cachedLine_) {
      RenderLine(y, line_.data());
      cachedLine_ = y;
    }
    const std::size_t n = std::min<std::size_t>(count, bytesPerLine_ - within);
    std::memcpy(out, line_.data() + within, n);
    out += n;
    offset += n;
    count -= n;
  }
}

}  // namespace emulator
