// One transferred page as the application keeps it: lines top first, 1-bit
// black and white, 8-bit grey or 24-bit RGB, and written as a TIFF file
// through libtiff.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace twainscan {

struct PageImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitsPerPixel = 0;
    double xResolution = 0;
    double yResolution = 0;
    // 1-bit and 8-bit samples: true when 0 is white.
    bool zeroIsWhite = false;
    size_t stride = 0;
    std::vector<std::uint8_t> rows;
};

// The packed bitmap of a native transfer (a header of 40 bytes, the
// palette, rows bottom up in blue-green-red, each to 4 bytes). False when
// the block is shorter than its header says.
bool PageFromBitmap(const std::uint8_t* block, size_t size, PageImage& page);

// Black and white compressed as CCITT G4, the rest uncompressed; false when
// the file cannot be written.
bool WriteTiff(const std::string& path, const PageImage& page);

} // namespace twainscan
