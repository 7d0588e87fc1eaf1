#include "pipeline/RNXRBConvertRepack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Tessivo::LineTransform;
using Tessivo::RepackLine;
using Tessivo::TransformTables;

int BitShift(size_t p, LONG bitOrder) { return bitOrder == 1 ? static_cast<int>(p % 8) : 7 - static_cast<int>(p % 8); }

// Pixel by pixel, the plain way: what every kernel must produce.
std::vector<BYTE> Reference(const std::vector<BYTE>& src, const LineTransform& t, const TransformTables& tables)
{
    const size_t width = static_cast<size_t>(t.imageWidth);
    std::vector<BYTE> dst(src.size(), 0);
    if (t.bitsPerPixel == 1 && (t.mirror || t.reverseBits)) {
        // Pixels keep their values; only their places and bit order change.
        for (size_t q = 0; q < width; ++q) {
            const size_t p = t.mirror ? width - 1 - q : q;
            const int bit = (src[p / 8] >> BitShift(p, t.sourceBitOrder)) & 1;
            dst[q / 8] = static_cast<BYTE>(dst[q / 8] | (bit << BitShift(q, t.outputBitOrder)));
        }
    } else if (t.bitsPerPixel == 24) {
        for (size_t j = 0; j < width; ++j) {
            const BYTE* in = src.data() + 3 * (t.mirror ? width - 1 - j : j);
            for (int c = 0; c < 3; ++c)
                dst[3 * j + c] = in[t.swapChannels ? 2 - c : c];
        }
    } else {
        for (size_t i = 0; i < src.size(); ++i)
            dst[i] = src[t.mirror ? src.size() - 1 - i : i];
    }
    if (t.invert) {
        for (BYTE& b : dst)
            b = tables.inversion[b];
    }
    return dst;
}

// Every kernel (each bit depth with each combination of its operations) over
// widths around the sixteen-byte steps, against the plain routine.
TEST(RepackLine, EveryKernelMatchesThePlainRoutineAtEveryWidth)
{
    TransformTables tables;
    Tessivo::BuildTransformTables(tables);
    uint32_t state = 12345;
    int checked = 0;
    for (LONG bits : {1, 8, 24}) {
        for (LONG width = 1; width <= 140; ++width) {
            const size_t dataBytes = (static_cast<size_t>(width) * bits + 7) / 8;
            std::vector<BYTE> random(dataBytes);
            for (BYTE& b : random) {
                state = state * 1664525u + 1013904223u;
                b = static_cast<BYTE>(state >> 24);
            }
            for (int flags = 1; flags < 16; ++flags) {
                if (bits != 1 && (flags & 8))
                    continue;
                LineTransform t;
                t.imageWidth = width;
                t.bitsPerPixel = bits;
                t.mirror = flags & 1;
                t.invert = flags & 2;
                t.swapChannels = bits == 24 && (flags & 4);
                // 1-bit lines: flag 4 changes the bit order, flag 8 starts
                // from the least significant bit; reverseBits as the
                // converter works it out.
                t.sourceBitOrder = flags & 8 ? 1 : 0;
                t.outputBitOrder = bits == 1 && (flags & 4) ? 1 - t.sourceBitOrder : t.sourceBitOrder;
                t.reverseBits = bits == 1 && (t.mirror != (t.outputBitOrder != t.sourceBitOrder));
                if (!t.Any())
                    continue;
                SCOPED_TRACE("bits " + std::to_string(bits) + ", width " + std::to_string(width) + ", flags " +
                             std::to_string(flags));
                // The padding bits of a 1-bit line are clear, as delivered
                // (a bit-order change carries them along).
                std::vector<BYTE> src = random;
                if (bits == 1 && width % 8 != 0) {
                    const int used = width % 8;
                    src.back() &= static_cast<BYTE>(t.sourceBitOrder == 1 ? (1 << used) - 1 : 0xFF << (8 - used));
                }
                // Guard bytes after the line: the kernels write its data bytes only.
                std::vector<BYTE> dst(dataBytes + 16, 0xEE);
                RepackLine(src.data(), dst.data(), dataBytes, t, tables);
                const std::vector<BYTE> expected = Reference(src, t, tables);
                ASSERT_EQ(std::vector<BYTE>(dst.begin(), dst.begin() + dataBytes), expected);
                for (size_t i = dataBytes; i < dst.size(); ++i)
                    ASSERT_EQ(dst[i], 0xEE) << "written past the line at " << i;
                if (Tessivo::RepacksInPlace(t)) {
                    std::vector<BYTE> line = src;
                    RepackLine(line.data(), line.data(), dataBytes, t, tables);
                    ASSERT_EQ(line, expected) << "in place";
                }
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 1000);
}

} // namespace
