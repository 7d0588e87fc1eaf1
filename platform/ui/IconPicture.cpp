#include "platform/ui/IconPicture.h"

#include "platform/ui/Icons.h"

namespace plat::ui {

namespace {

constexpr size_t kHeaderSize = 40;

uint32_t Read32(const BYTE* at) { return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24); }
uint16_t Read16(const BYTE* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

struct Dib {
    const BYTE* data;
    size_t size;
    int width;
    int height; // of the colour part
    int bitCount;
    size_t paletteAt;
    size_t paletteEntries;
    size_t colourAt;
    size_t rowBytes;
    size_t maskAt;
    size_t maskRowBytes;
};

// The layout of an icon image, each part checked to lie in the image.
bool ReadLayout(const IconImage& image, Dib* dib)
{
    if (!image.data || image.size < kHeaderSize || Read32(image.data) != kHeaderSize)
        return false;
    const int bitCount = Read16(image.data + 14);
    const uint32_t compression = Read32(image.data + 16);
    if (compression != 0 || (bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32))
        return false;
    const auto width = static_cast<int>(Read32(image.data + 4));
    const auto height = static_cast<int>(Read32(image.data + 8)) / 2;
    if (width <= 0 || height <= 0 || width > 1024 || height > 1024)
        return false;
    size_t paletteEntries = Read32(image.data + 32);
    if (paletteEntries == 0 && bitCount <= 8)
        paletteEntries = size_t{1} << bitCount;
    if (paletteEntries > 256)
        return false;
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    *dib = Dib{image.data, image.size, width, height, bitCount, kHeaderSize, paletteEntries, 0, 0, 0, 0};
    dib->colourAt = kHeaderSize + paletteEntries * 4;
    dib->rowBytes = (w * static_cast<size_t>(bitCount) + 31) / 32 * 4;
    dib->maskAt = dib->colourAt + dib->rowBytes * h;
    dib->maskRowBytes = (w + 31) / 32 * 4;
    return dib->maskAt + dib->maskRowBytes * h <= image.size;
}

// Pixel (x, y), y counted from the top, as 0xAARRGGBB.
uint32_t PixelAt(const Dib& dib, int x, int y)
{
    const size_t row = static_cast<size_t>(dib.height - 1 - y);
    const BYTE* line = dib.data + dib.colourAt + row * dib.rowBytes;
    const BYTE* mask = dib.data + dib.maskAt + row * dib.maskRowBytes;
    const auto ux = static_cast<size_t>(x);
    const uint32_t opaque = (mask[ux / 8] & (0x80 >> (ux % 8))) ? 0 : 0xFF000000u;
    if (dib.bitCount == 32) {
        const BYTE* p = line + ux * 4;
        return (static_cast<uint32_t>(p[3]) << 24) | (p[2] << 16) | (p[1] << 8) | p[0];
    }
    if (dib.bitCount == 24) {
        const BYTE* p = line + ux * 3;
        return opaque | (p[2] << 16) | (p[1] << 8) | p[0];
    }
    const size_t index = dib.bitCount == 8 ? line[ux] : (ux % 2 ? line[ux / 2] & 0x0F : line[ux / 2] >> 4);
    if (index >= dib.paletteEntries)
        return 0;
    const BYTE* entry = dib.data + dib.paletteAt + index * 4;
    return opaque | (entry[2] << 16) | (entry[1] << 8) | entry[0];
}

uint32_t Blend(uint32_t pixel, uint32_t background)
{
    const uint32_t alpha = pixel >> 24;
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t c = (pixel >> shift) & 0xFF;
        const uint32_t b = (background >> shift) & 0xFF;
        out |= ((c * alpha + b * (255 - alpha) + 127) / 255) << shift;
    }
    return out;
}

} // namespace

bool IconPicture(HICON icon, RgbaImage* picture)
{
    IconImage image{};
    Dib dib{};
    if (!GetIconImage(icon, &image) || !ReadLayout(image, &dib))
        return false;
    picture->width = dib.width;
    picture->height = dib.height;
    picture->pixels.resize(static_cast<size_t>(dib.width) * static_cast<size_t>(dib.height));
    for (int y = 0; y < dib.height; ++y) {
        for (int x = 0; x < dib.width; ++x)
            picture->pixels[static_cast<size_t>(y) * static_cast<size_t>(dib.width) + static_cast<size_t>(x)] =
                PixelAt(dib, x, y);
    }
    return true;
}

RgbImage OverBackground(const RgbaImage& picture, uint32_t background)
{
    RgbImage image{picture.width, picture.height, {}};
    image.pixels.reserve(picture.pixels.size());
    for (uint32_t pixel : picture.pixels)
        image.pixels.push_back(Blend(pixel, background));
    return image;
}

} // namespace plat::ui
