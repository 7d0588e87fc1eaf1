// The bytes of one scanned page (one side of a sheet) as the scanner sends
// them for a window: the test pattern with the window's mirroring, gamma and
// inversion applied, uncompressed or as one JPEG or MMR stream.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "emulator/ScanWindow.h"

namespace emulator {

// Downloaded gamma tables of one side: channels 1-3 (red, green, blue) and
// 4 (gray), each 256 entries, applied only once downloaded.
struct GammaTables {
  std::array<std::array<std::uint8_t, 256>, 4> table{};
  std::array<bool, 4> loaded{};
};

class PageImage {
 public:
  // `lines` may differ from the window's (length control follows the sheet).
  // `gamma` may be null.
  PageImage(const ScanWindow& window, std::uint32_t page, std::uint32_t side, std::uint32_t lines,
            const GammaTables* gamma);

  std::uint64_t Size() const { return size_; }
  std::uint32_t PixelsPerLine() const { return pixels_; }
  std::uint32_t Lines() const { return lines_; }
  bool Compressed() const { return window_.compression != kCompressionNone; }

  // Copies `count` bytes from `offset` (both within Size()).
  void Read(std::uint64_t offset, std::size_t count, std::uint8_t* out);

  // One uncompressed line as the window delivers it (also the source of the
  // compressors).
  void RenderLine(std::uint32_t y, std::uint8_t* out) const;

 private:
  ScanWindow window_;
  std::uint32_t page_, side_, pixels_, lines_, bytesPerLine_;
  GammaTables gamma_;
  bool hasGamma_ = false;
  std::uint64_t size_ = 0;
  std::vector<std::uint8_t> stream_;  // compressed pages only
  std::vector<std::uint8_t> line_;    // cache of one uncompressed line
  std::uint32_t cachedLine_ = UINT32_MAX;
};

}  // namespace emulator
