// The packed bitmap of a native transfer (a header of 40 bytes, the
// palette, rows bottom up in blue-green-red, each to 4 bytes), written
// row by row into a TIFF page straight from the source's block.
#pragma once

#include "tools/twainscan/TiffPageWriter.h"

#include <cstddef>
#include <cstdint>

namespace twainscan {

// The resolution is the image information's, which is exact where the
// header's pixels per metre are rounded. False when the block is shorter
// than its header says, describes no image of 1, 8 or 24 bits, or the page
// cannot be written.
bool WriteBitmapPage(const std::uint8_t* block, size_t size, double xResolution, double yResolution,
                     TiffPageWriter& page);

} // namespace twainscan
