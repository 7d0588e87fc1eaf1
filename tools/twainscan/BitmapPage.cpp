#include "tools/twainscan/BitmapPage.h"

#include <cstring>

namespace twainscan {

namespace {

template <typename T>
T Read(const std::uint8_t* at)
{
    T value{};
    std::memcpy(&value, at, sizeof value);
    return value;
}

constexpr size_t kHeaderSize = 40;

} // namespace

bool WriteBitmapPage(const std::uint8_t* block, size_t size, double xResolution, double yResolution,
                     TiffPageWriter& page)
{
    if (!block || size < kHeaderSize)
        return false;
    const std::int32_t width = Read<std::int32_t>(block + 4);
    const std::int32_t height = Read<std::int32_t>(block + 8);
    const std::uint16_t bits = Read<std::uint16_t>(block + 14);
    std::uint32_t colours = Read<std::uint32_t>(block + 32);
    if (width <= 0 || height == 0 || (bits != 1 && bits != 8 && bits != 24))
        return false;
    if (colours == 0 && bits <= 8)
        colours = 1u << bits;
    if (bits == 24)
        colours = 0;
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
    const std::uint64_t rows = static_cast<std::uint64_t>(height < 0 ? -static_cast<std::int64_t>(height) : height);
    const std::uint64_t pixelsAt = kHeaderSize + 4ull * colours;
    if (pixelsAt + stride * rows > size)
        return false;

    PageFormat format;
    format.width = static_cast<std::uint32_t>(width);
    format.bitsPerPixel = bits;
    // Palette entry 0 (blue, green, red, 0) white: 0 means white.
    format.zeroIsWhite = colours > 0 && block[kHeaderSize] == 255;
    format.bgr = true;
    format.xResolution = xResolution;
    format.yResolution = yResolution;
    if (!page.Open(format))
        return false;
    const std::uint8_t* pixels = block + pixelsAt;
    if (height < 0)
        return page.WriteRows(pixels, static_cast<size_t>(stride), static_cast<size_t>(rows));
    // Bottom up: the last row of the block is the top of the page.
    for (std::uint64_t y = rows; y-- > 0;) {
        if (!page.WriteRows(pixels + y * stride, static_cast<size_t>(stride), 1))
            return false;
    }
    return true;
}

} // namespace twainscan
