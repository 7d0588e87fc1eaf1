// Draws the device icon of the library (a scanner with a sheet in its
// feeder) in 15 images, 16, 24, 32, 48 and 256 pixels each in 16 colours,
// 256 colours and 32-bit colour with alpha, and writes them as the
// resources of an icon group: group.bin (the group directory, entries
// naming images 1..15) and image-N.bin (each image as a DIB with its mask).
//
//     shellext_makeicon OUTPUT-FOLDER
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// The icon's colours; index 0 is transparent in the drawing.
constexpr uint32_t kPalette[] = {
    0x000000, // transparent (black under the mask)
    0x000000, // slot
    0xFFFFFF, // paper
    0x404850, // body
    0xA0A8B0, // top of the body
    0x30C050, // power light
    0xB0B0B0, // paper edge
};
constexpr int kColours = sizeof kPalette / sizeof kPalette[0];

// The palette index at pixel (x, y) of an image `size` pixels wide, top row 0.
int ColourAt(int x, int y, int size)
{
    const double u = (x + 0.5) / size;
    const double v = (y + 0.5) / size;
    const double edge = 1.0 / size;
    const bool inPaper = u >= 0.26 && u <= 0.74 && v >= 0.08 && v <= 0.50;
    const bool inBody = u >= 0.08 && u <= 0.92 && v >= 0.44 && v <= 0.86;
    if (inBody) {
        if (v < 0.52)
            return 4;
        if (v >= 0.58 && v < 0.58 + std::max(edge, 0.04) && u >= 0.18 && u <= 0.82)
            return 1;
        if (u >= 0.72 && u <= 0.84 && v >= 0.72 && v <= 0.80)
            return 5;
        return 3;
    }
    if (inPaper) {
        const bool border = u < 0.26 + edge || u > 0.74 - edge || v < 0.08 + edge;
        return border ? 6 : 2;
    }
    return 0;
}

void PutLE(Bytes& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// One image: BITMAPINFOHEADER (height doubled for the mask), the palette
// for 4 and 8 bits, the colour rows bottom-up, then the 1-bit mask rows
// (set where transparent). Rows are padded to 4 bytes.
Bytes MakeImage(int size, int bitCount)
{
    Bytes out;
    const int paletteEntries = bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;
    const int rowBytes = ((size * bitCount + 31) / 32) * 4;
    const int maskRowBytes = ((size + 31) / 32) * 4;
    PutLE(out, 40, 4);
    PutLE(out, static_cast<uint32_t>(size), 4);
    PutLE(out, static_cast<uint32_t>(size * 2), 4);
    PutLE(out, 1, 2);
    PutLE(out, static_cast<uint32_t>(bitCount), 2);
    PutLE(out, 0, 4); // BI_RGB
    PutLE(out, static_cast<uint32_t>((rowBytes + maskRowBytes) * size), 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
    PutLE(out, static_cast<uint32_t>(paletteEntries), 4);
    PutLE(out, 0, 4);
    for (int i = 0; i < paletteEntries; ++i)
        PutLE(out, i < kColours ? kPalette[i] : 0, 4); // 0x00RRGGBB is B, G, R, 0 in memory
    for (int row = size - 1; row >= 0; --row) {
        Bytes line(static_cast<size_t>(rowBytes), 0);
        for (int x = 0; x < size; ++x) {
            const int index = ColourAt(x, row, size);
            if (bitCount == 32) {
                const uint32_t rgb = kPalette[index];
                const uint32_t alpha = index == 0 ? 0 : 0xFF;
                const uint32_t bgra = (rgb & 0xFFFFFF) | (alpha << 24);
                for (int b = 0; b < 4; ++b)
                    line[static_cast<size_t>(x * 4 + b)] = static_cast<uint8_t>(bgra >> (8 * b));
            } else if (bitCount == 8) {
                line[static_cast<size_t>(x)] = static_cast<uint8_t>(index);
            } else {
                line[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>(x % 2 ? index : index << 4);
            }
        }
        out.insert(out.end(), line.begin(), line.end());
    }
    for (int row = size - 1; row >= 0; --row) {
        Bytes line(static_cast<size_t>(maskRowBytes), 0);
        for (int x = 0; x < size; ++x) {
            if (ColourAt(x, row, size) == 0)
                line[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

bool Write(const std::string& path, const Bytes& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: shellext_makeicon OUTPUT-FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = argv[1];
    const int sizes[] = {16, 24, 32, 48, 256};
    const int depths[] = {4, 8, 32};
    Bytes group;
    PutLE(group, 0, 2);
    PutLE(group, 1, 2);
    PutLE(group, 15, 2);
    int id = 1;
    for (int size : sizes) {
        for (int depth : depths) {
            const Bytes image = MakeImage(size, depth);
            if (!Write(folder + "/image-" + std::to_string(id) + ".bin", image)) {
                std::fprintf(stderr, "shellext_makeicon: cannot write image %d\n", id);
                return 1;
            }
            group.push_back(static_cast<uint8_t>(size == 256 ? 0 : size));
            group.push_back(static_cast<uint8_t>(size == 256 ? 0 : size));
            group.push_back(static_cast<uint8_t>(depth == 4 ? 16 : 0));
            group.push_back(0);
            PutLE(group, 1, 2);
            PutLE(group, static_cast<uint32_t>(depth), 2);
            PutLE(group, static_cast<uint32_t>(image.size()), 4);
            PutLE(group, static_cast<uint32_t>(id), 2);
            ++id;
        }
    }
    if (!Write(folder + "/group.bin", group)) {
        std::fputs("shellext_makeicon: cannot write the group\n", stderr);
        return 1;
    }
    return 0;
}
