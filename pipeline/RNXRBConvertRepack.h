// The per-line work of the raster converter: one image line written in the
// layout the caller asked for.
#pragma once

#include "platform/windows.h"

#include <cstddef>

namespace Tessivo {

// Two byte tables, so each byte costs one lookup per transform.
struct TransformTables {
    BYTE inversion[256];   // i -> 255 - i
    BYTE bitReversal[256]; // bit k of i moved to bit 7 - k
};
void BuildTransformTables(TransformTables& tables);

// What a page's lines go through; worked out at the start of each page.
struct LineTransform {
    bool reverseBits = false;
    bool mirror = false;
    bool swapChannels = false;
    bool invert = false;
    LONG imageWidth = 0;
    LONG bitsPerPixel = 0;
    // Which bit holds the leftmost pixel (0 the high bit), before and after:
    // 1-bit lines whose width is not a whole number of bytes are mirrored
    // pixel by pixel.
    LONG sourceBitOrder = 0;
    LONG outputBitOrder = 0;

    bool Any() const { return reverseBits || mirror || swapChannels || invert; }
};

// Writes the first dataBytes bytes of the line at src to dst; bytes of dst
// past dataBytes are left alone. dst must not overlap src, except that it
// may be src itself when RepacksInPlace: then a run of whole lines without
// padding may also go in one call.
bool RepacksInPlace(const LineTransform& transform);
void RepackLine(const BYTE* src, BYTE* dst, size_t dataBytes, const LineTransform& transform,
                const TransformTables& tables);

} // namespace Tessivo
