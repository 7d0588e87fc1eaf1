#include "pipeline/RNXRBConvertRepack.h"

#include <cstring>

namespace Tessivo {

namespace {

// Position of pixel p's bit inside its byte, for a bit order.
int BitShift(size_t p, LONG bitOrder) { return bitOrder == 1 ? static_cast<int>(p % 8) : 7 - static_cast<int>(p % 8); }

// A 1-bit line mirrored pixel by pixel: byte mirroring would move the unused
// bits of the last byte to the front of the line.
void MirrorBits(const BYTE* src, BYTE* dst, size_t dataBytes, const LineTransform& t, const TransformTables& tables)
{
    const size_t width = static_cast<size_t>(t.imageWidth);
    std::memset(dst, 0, dataBytes);
    for (size_t q = 0; q < width; ++q) {
        const size_t p = width - 1 - q;
        const int bit = (src[p / 8] >> BitShift(p, t.sourceBitOrder)) & 1;
        dst[q / 8] = static_cast<BYTE>(dst[q / 8] | (bit << BitShift(q, t.outputBitOrder)));
    }
    if (t.invert) {
        for (size_t i = 0; i < dataBytes; ++i)
            dst[i] = tables.inversion[dst[i]];
    }
}

} // namespace

void BuildTransformTables(TransformTables& tables)
{
    for (int i = 0; i < 256; ++i) {
        tables.inversion[i] = static_cast<BYTE>(255 - i);
        int reversed = 0;
        for (int k = 0; k < 8; ++k) {
            if (i & (1 << k))
                reversed |= 1 << (7 - k);
        }
        tables.bitReversal[i] = static_cast<BYTE>(reversed);
    }
}

void RepackLine(const BYTE* src, BYTE* dst, size_t dataBytes, const LineTransform& t, const TransformTables& tables)
{
    if (!t.Any()) {
        std::memcpy(dst, src, dataBytes);
        return;
    }
    if (t.bitsPerPixel == 1 && t.mirror && t.imageWidth % 8 != 0) {
        MirrorBits(src, dst, dataBytes, t, tables);
        return;
    }
    auto map = [&](BYTE b) {
        if (t.reverseBits)
            b = tables.bitReversal[b];
        if (t.invert)
            b = tables.inversion[b];
        return b;
    };
    if (t.bitsPerPixel == 24) {
        const size_t pixels = dataBytes / 3;
        for (size_t j = 0; j < pixels; ++j) {
            const BYTE* in = src + 3 * (t.mirror ? pixels - 1 - j : j);
            BYTE* out = dst + 3 * j;
            out[0] = map(in[t.swapChannels ? 2 : 0]);
            out[1] = map(in[1]);
            out[2] = map(in[t.swapChannels ? 0 : 2]);
        }
        return;
    }
    for (size_t i = 0; i < dataBytes; ++i)
        dst[i] = map(src[t.mirror ? dataBytes - 1 - i : i]);
}

} // namespace Tessivo
