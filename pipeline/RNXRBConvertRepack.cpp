#include "pipeline/RNXRBConvertRepack.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QBK_REPACK_X86 1
#endif

// Each transform of a page has its own kernel, chosen once per line by the
// transform's flags: the loops carry no branches, and on x86 a vector of
// bytes (32 of single-byte lines with AVX2, 15 of colour pixels with SSSE3)
// goes through one byte shuffle (mirroring, channel swap), a nibble lookup
// (bit reversal) and an exclusive or (inversion) at a time. Scalar loops
// finish each line and stand in where the shuffles are missing.

namespace Tessivo {

namespace {

// One byte through the table transforms: bit reversal first, then inversion.
template <bool Reverse, bool Invert>
BYTE MapByte(BYTE b, const TransformTables& tables)
{
    if constexpr (Reverse)
        b = tables.bitReversal[b];
    if constexpr (Invert)
        b = static_cast<BYTE>(~b);
    return b;
}

// Bytes [from, n) of a line of single bytes (8-bit pixels, or 1-bit pixels
// whose line is mirrored byte by byte).
template <bool Mirror, bool Reverse, bool Invert>
void BytesTail(const BYTE* src, BYTE* dst, size_t from, size_t n, const TransformTables& tables)
{
    for (size_t i = from; i < n; ++i)
        dst[i] = MapByte<Reverse, Invert>(src[Mirror ? n - 1 - i : i], tables);
}

// Pixels [from, pixels) of a 24-bit line.
template <bool Mirror, bool Swap, bool Invert>
void PixelsTail(const BYTE* src, BYTE* dst, size_t from, size_t pixels, const TransformTables& tables)
{
    for (size_t j = from; j < pixels; ++j) {
        const BYTE* in = src + 3 * (Mirror ? pixels - 1 - j : j);
        BYTE* out = dst + 3 * j;
        const BYTE first = in[Swap ? 2 : 0];
        const BYTE last = in[Swap ? 0 : 2];
        out[0] = MapByte<false, Invert>(first, tables);
        out[1] = MapByte<false, Invert>(in[1], tables);
        out[2] = MapByte<false, Invert>(last, tables);
    }
}

#ifdef QBK_REPACK_X86

bool HasSsse3()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

__attribute__((target("avx2"))) inline __m256i ReverseBits32(__m256i v)
{
    const __m256i nibbles = _mm256_set1_epi8(0x0F);
    const __m256i reversed =
        _mm256_setr_epi8(0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF, 0x0, 0x8, 0x4,
                         0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF);
    const __m256i low = _mm256_shuffle_epi8(reversed, _mm256_and_si256(v, nibbles));
    const __m256i high = _mm256_shuffle_epi8(reversed, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibbles));
    return _mm256_or_si256(_mm256_slli_epi16(low, 4), high);
}

// Thirty-two bytes a step, byte by byte after the last whole step.
template <bool Mirror, bool Reverse, bool Invert>
__attribute__((target("avx2"))) void BytesAvx2(const BYTE* src, BYTE* dst, size_t n, const TransformTables& tables)
{
    const __m256i backwards = _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11,
                                               10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    const __m256i ones = _mm256_set1_epi8(-1);
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + (Mirror ? n - 32 - i : i)));
        if constexpr (Mirror)
            v = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, backwards), 0x4E);
        if constexpr (Reverse)
            v = ReverseBits32(v);
        if constexpr (Invert)
            v = _mm256_xor_si256(v, ones);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), v);
    }
    if (i < n && n >= 32 && src != dst) {
        // The last 32 bytes again, overlapping the step before: cheaper than
        // a byte loop over a short line's end.
        BytesAvx2<Mirror, Reverse, Invert>(src + (Mirror ? 0 : n - 32), dst + n - 32, 32, tables);
        return;
    }
    BytesTail<Mirror, Reverse, Invert>(src, dst, i, n, tables);
}

// Byte 15 of a step is the next pixel's first byte, passed on unchanged.
template <bool Invert>
__attribute__((target("ssse3"))) inline __m128i ShuffleStep(__m128i v, __m128i shuffle)
{
    v = _mm_shuffle_epi8(v, shuffle);
    if constexpr (Invert)
        v = _mm_xor_si128(v, _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0));
    return v;
}

// Five pixels (15 bytes) per step. Each store writes one byte past its five
// pixels, which the next step (or the scalar tail) writes again, so a
// store never reaches past the line's data. Left to right, each step's
// sixteen bytes are loaded before the step before is stored, and the last
// step is the tail's: so a line can be repacked in place.
template <bool Mirror, bool Swap, bool Invert>
__attribute__((target("ssse3"))) void PixelsSsse3(const BYTE* src, BYTE* dst, size_t pixels,
                                                  const TransformTables& tables)
{
    // Output pixel m of a step takes input pixel m (4 - m when mirrored) of
    // the sixteen bytes loaded; mirrored loads start one byte early, so
    // that the last pixel of the line can be read without reading past it.
    alignas(16) signed char order[16];
    for (int m = 0; m < 5; ++m) {
        const int pixel = Mirror ? 4 - m : m;
        const int base = 3 * pixel + (Mirror ? 1 : 0);
        for (int c = 0; c < 3; ++c)
            order[3 * m + c] = static_cast<signed char>(base + (Swap ? 2 - c : c));
    }
    order[15] = 15;
    const __m128i shuffle = _mm_load_si128(reinterpret_cast<const __m128i*>(order));
    size_t j = 0;
    if constexpr (Mirror) {
        for (; j + 6 <= pixels; j += 5) {
            const BYTE* in = src + 3 * (pixels - 5 - j) - 1;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * j),
                             ShuffleStep<Invert>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), shuffle));
        }
    } else if (pixels >= 11) {
        __m128i current = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        for (; j + 11 <= pixels; j += 5) {
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * (j + 5)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * j), ShuffleStep<Invert>(current, shuffle));
            current = next;
        }
    }
    PixelsTail<Mirror, Swap, Invert>(src, dst, j, pixels, tables);
}

#endif // QBK_REPACK_X86

template <bool Mirror, bool Reverse, bool Invert>
void RepackBytes(const BYTE* src, BYTE* dst, size_t n, const TransformTables& tables)
{
#ifdef QBK_REPACK_X86
    if (HasAvx2()) {
        BytesAvx2<Mirror, Reverse, Invert>(src, dst, n, tables);
        return;
    }
#endif
    BytesTail<Mirror, Reverse, Invert>(src, dst, 0, n, tables);
}

template <bool Mirror, bool Swap, bool Invert>
void RepackPixels(const BYTE* src, BYTE* dst, size_t n, const TransformTables& tables)
{
#ifdef QBK_REPACK_X86
    if (HasSsse3()) {
        PixelsSsse3<Mirror, Swap, Invert>(src, dst, n / 3, tables);
        return;
    }
#endif
    PixelsTail<Mirror, Swap, Invert>(src, dst, 0, n / 3, tables);
}

using Kernel = void (*)(const BYTE*, BYTE*, size_t, const TransformTables&);

template <bool A, bool B, bool C>
struct BytesFamily {
    static void Run(const BYTE* s, BYTE* d, size_t n, const TransformTables& t) { RepackBytes<A, B, C>(s, d, n, t); }
};

template <bool A, bool B, bool C>
struct PixelsFamily {
    static void Run(const BYTE* s, BYTE* d, size_t n, const TransformTables& t) { RepackPixels<A, B, C>(s, d, n, t); }
};

// The kernels indexed by their three flags (first flag the high bit).
template <template <bool, bool, bool> class Family>
constexpr Kernel kKernels[8] = {
    Family<false, false, false>::Run, Family<false, false, true>::Run, Family<false, true, false>::Run,
    Family<false, true, true>::Run,   Family<true, false, false>::Run, Family<true, false, true>::Run,
    Family<true, true, false>::Run,   Family<true, true, true>::Run,
};

int FlagIndex(bool a, bool b, bool c) { return (a ? 4 : 0) | (b ? 2 : 0) | (c ? 1 : 0); }

// A 1-bit line whose width is not a whole number of bytes, mirrored pixel
// by pixel: reversing its bytes and their bits reverses the whole bit
// string, padding included, so the pixels then sit `shift` positions (the
// padding bits) too far along and move back by that much. Positions count
// in the source's bit order; the output's order and inversion follow.
void MirrorBits(const BYTE* src, BYTE* dst, size_t dataBytes, const LineTransform& t, const TransformTables& tables)
{
    RepackBytes<true, true, false>(src, dst, dataBytes, tables);
    const unsigned shift = static_cast<unsigned>(dataBytes * 8 - static_cast<size_t>(t.imageWidth));
    for (size_t i = 0; i < dataBytes; ++i) {
        const unsigned next = i + 1 < dataBytes ? dst[i + 1] : 0;
        // Position 0 is the high bit with the most significant bit first,
        // the low bit otherwise.
        const unsigned moved = t.sourceBitOrder == 1 ? (dst[i] >> shift) | (next << (8 - shift))
                                                     : (dst[i] << shift) | (next >> (8 - shift));
        dst[i] = static_cast<BYTE>(moved);
    }
    if (t.sourceBitOrder != t.outputBitOrder || t.invert) {
        for (size_t i = 0; i < dataBytes; ++i) {
            BYTE b = t.sourceBitOrder != t.outputBitOrder ? tables.bitReversal[dst[i]] : dst[i];
            dst[i] = t.invert ? static_cast<BYTE>(~b) : b;
        }
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

bool RepacksInPlace(const LineTransform& t) { return !t.mirror; }

void RepackLine(const BYTE* src, BYTE* dst, size_t dataBytes, const LineTransform& t, const TransformTables& tables)
{
    if (!t.Any()) {
        std::memcpy(dst, src, dataBytes);
    } else if (t.bitsPerPixel == 1 && t.mirror && t.imageWidth % 8 != 0) {
        MirrorBits(src, dst, dataBytes, t, tables);
    } else if (t.bitsPerPixel == 24 && (t.mirror || t.swapChannels)) {
        kKernels<PixelsFamily>[FlagIndex(t.mirror, t.swapChannels, t.invert)](src, dst, dataBytes, tables);
    } else {
        // 8-bit lines, 1-bit lines of whole bytes, inverted colour lines:
        // byte by byte (bit reversal is only ever asked of 1-bit lines).
        kKernels<BytesFamily>[FlagIndex(t.mirror, t.reverseBits, t.invert)](src, dst, dataBytes, tables);
    }
}

} // namespace Tessivo
