// Draws the device icon of the library (a scanner with a sheet in its
// feeder) in 15 images, 16, 24, 32, 48 and 256 pixels each in 16 colours,
// 256 colours and 32-bit colour with alpha, and writes them as the
// resources of icon group 201: group-201.bin (the group directory, entries
// naming images 1..15) and image-N.bin (each image as a DIB with its mask).
//
//     shellext_makeicon OUTPUT-FOLDER
#include "platform/resources/IconResourceWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The icon's colours; index 0 is transparent in the drawing.
const std::vector<uint32_t> kPalette = {
    0x000000, // transparent (black under the mask)
    0x000000, // slot
    0xFFFFFF, // paper
    0x404850, // body
    0xA0A8B0, // top of the body
    0x30C050, // power light
    0xB0B0B0, // paper edge
};

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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: shellext_makeicon OUTPUT-FOLDER\n", stderr);
        return 2;
    }
    uint16_t firstImage = 1;
    return iconres::WriteIcon(argv[1], 201, iconres::IconDrawing{kPalette, ColourAt}, {16, 24, 32, 48, 256}, {4, 8, 32},
                              &firstImage)
               ? 0
               : 1;
}
