#include "tools/shellpage/IconPicture.h"

#include "platform/ui/Icons.h"

namespace shellpage {

namespace {

constexpr size_t kHeaderSize = 40;

uint32_t Read32(const BYTE* at) { return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24); }
uint16_t Read16(const BYTE* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint32_t Blend(uint32_t colour, uint32_t background, uint32_t alpha)
{
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t c = (colour >> shift) & 0xFF;
        const uint32_t b = (background >> shift) & 0xFF;
        out |= ((c * alpha + b * (255 - alpha) + 127) / 255) << shift;
    }
    return out;
}

struct Dib {
    const BYTE* data;
    size_t size;
    int width;
    int height; // of the colour part
    int bitCount;
    size_t paletteAt;
    size_t colourAt;
    size_t rowBytes;
    size_t maskAt;
    size_t maskRowBytes;
};

// The layout of an icon image, each part checked to lie in the image.
bool ReadLayout(const plat::ui::IconImage& image, Dib* dib)
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
    *dib = Dib{image.data, image.size, width, height, bitCount, kHeaderSize, 0, 0, 0, 0};
    dib->colourAt = kHeaderSize + paletteEntries * 4;
    dib->rowBytes = (w * static_cast<size_t>(bitCount) + 31) / 32 * 4;
    dib->maskAt = dib->colourAt + dib->rowBytes * h;
    dib->maskRowBytes = (w + 31) / 32 * 4;
    return dib->maskAt + dib->maskRowBytes * h <= image.size;
}

// Colour and alpha of pixel (x, y), y counted from the top.
uint32_t PixelAt(const Dib& dib, int x, int y, uint32_t* alpha)
{
    const size_t row = static_cast<size_t>(dib.height - 1 - y);
    const BYTE* line = dib.data + dib.colourAt + row * dib.rowBytes;
    const BYTE* mask = dib.data + dib.maskAt + row * dib.maskRowBytes;
    const bool transparent = mask[x / 8] & (0x80 >> (x % 8));
    const auto ux = static_cast<size_t>(x);
    *alpha = transparent ? 0 : 255;
    if (dib.bitCount == 32) {
        const BYTE* p = line + ux * 4;
        *alpha = p[3];
        return (p[2] << 16) | (p[1] << 8) | p[0];
    }
    if (dib.bitCount == 24) {
        const BYTE* p = line + ux * 3;
        return (p[2] << 16) | (p[1] << 8) | p[0];
    }
    const size_t index = dib.bitCount == 8 ? line[ux] : (ux % 2 ? line[ux / 2] & 0x0F : line[ux / 2] >> 4);
    const BYTE* entry = dib.data + dib.paletteAt + index * 4;
    if (entry + 4 > dib.data + dib.colourAt)
        return 0;
    return (entry[2] << 16) | (entry[1] << 8) | entry[0];
}

} // namespace

bool IconPicture(HICON icon, uint32_t background, plat::ui::RgbImage* picture)
{
    plat::ui::IconImage image{};
    Dib dib{};
    if (!plat::ui::GetIconImage(icon, &image) || !ReadLayout(image, &dib))
        return false;
    picture->width = dib.width;
    picture->height = dib.height;
    picture->pixels.assign(static_cast<size_t>(dib.width) * static_cast<size_t>(dib.height), background);
    for (int y = 0; y < dib.height; ++y) {
        for (int x = 0; x < dib.width; ++x) {
            uint32_t alpha = 0;
            const uint32_t colour = PixelAt(dib, x, y, &alpha);
            picture->pixels[static_cast<size_t>(y) * static_cast<size_t>(dib.width) + static_cast<size_t>(x)] =
                Blend(colour, background, alpha);
        }
    }
    return true;
}

} // namespace shellpage
