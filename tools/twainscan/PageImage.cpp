#include "tools/twainscan/PageImage.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>

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

bool PageFromBitmap(const std::uint8_t* block, size_t size, PageImage& page)
{
    if (!block || size < kHeaderSize)
        return false;
    const std::int32_t width = Read<std::int32_t>(block + 4);
    const std::int32_t height = Read<std::int32_t>(block + 8);
    const std::uint16_t bits = Read<std::uint16_t>(block + 14);
    const std::int32_t xPerMetre = Read<std::int32_t>(block + 24);
    const std::int32_t yPerMetre = Read<std::int32_t>(block + 28);
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
    page.width = static_cast<std::uint32_t>(width);
    page.height = static_cast<std::uint32_t>(rows);
    page.bitsPerPixel = bits;
    page.xResolution = xPerMetre * 0.0254;
    page.yResolution = yPerMetre * 0.0254;
    // Palette entry 0 (blue, green, red, 0) white: 0 means white.
    page.zeroIsWhite = colours > 0 && block[kHeaderSize] == 255;
    page.stride = static_cast<size_t>(stride);
    page.rows.resize(page.stride * page.height);
    const bool bottomUp = height > 0;
    for (std::uint64_t y = 0; y < rows; ++y) {
        const std::uint8_t* source = block + pixelsAt + (bottomUp ? rows - 1 - y : y) * stride;
        std::uint8_t* line = page.rows.data() + y * page.stride;
        std::memcpy(line, source, page.stride);
        if (bits == 24) {
            for (std::uint32_t x = 0; x < page.width; ++x)
                std::swap(line[3 * x], line[3 * x + 2]);
        }
    }
    return true;
}

bool WriteTiff(const std::string& path, const PageImage& page)
{
    const size_t lineBytes = (static_cast<size_t>(page.width) * page.bitsPerPixel + 7) / 8;
    if (page.width == 0 || page.height == 0 || page.stride < lineBytes || page.rows.size() < page.stride * page.height)
        return false;
    std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.c_str(), "w"), &TIFFClose);
    if (!tiff)
        return false;
    TIFF* t = tiff.get();
    const bool colour = page.bitsPerPixel == 24;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, colour ? 3 : 1);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, colour ? 8 : page.bitsPerPixel);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                 colour ? PHOTOMETRIC_RGB : (page.zeroIsWhite ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, page.bitsPerPixel == 1 ? COMPRESSION_CCITTFAX4 : COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    if (page.xResolution > 0 && page.yResolution > 0) {
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(page.xResolution));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(page.yResolution));
    }
    std::vector<std::uint8_t> line(lineBytes);
    for (std::uint32_t y = 0; y < page.height; ++y) {
        std::memcpy(line.data(), page.rows.data() + y * page.stride, lineBytes);
        if (TIFFWriteScanline(t, line.data(), y, 0) < 0)
            return false;
    }
    return TIFFWriteDirectory(t) != 0;
}

} // namespace twainscan
