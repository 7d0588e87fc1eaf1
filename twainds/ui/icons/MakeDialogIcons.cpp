// Draws the icons of the data source's dialogs and writes them as icon
// resources: the scanner of the settings dialog (1104) and the sheets
// beside the scan settings page's colour modes: black and white (1100),
// colour (1101) and grayscale (1102). Each icon has a 16- and a 32-pixel
// image in 32-bit colour with alpha.
//
//     twainds_makeicons OUTPUT-FOLDER
//
// writes group-ID.bin (each icon's group directory) and image-N.bin (the
// images, numbered across the icons from 1).
#include "platform/resources/IconResourceWriter.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

enum Colour : int {
    kClear,
    kOutline,
    kPaper,
    kInk,
    kLightGray,
    kMidGray,
    kDarkGray,
    kRed,
    kGreen,
    kBlue,
    kBody,
    kBodyTop,
    kLamp,
    kFold,
};

const std::vector<uint32_t> kPalette = {
    0x000000, // clear
    0x5A5A5A, // outline
    0xFFFFFF, // paper
    0x101010, // ink
    0xC8C8C8, // light gray
    0x8C8C8C, // mid gray
    0x4A4A4A, // dark gray
    0xE0403C, // red
    0x3CA850, // green
    0x3C6CE0, // blue
    0x404850, // scanner body
    0xA0A8B0, // its top
    0x30C050, // power lamp
    0xD8D8D8, // a sheet's folded corner
};

// A pixel's centre in units of the image (0..1).
struct Point {
    double u;
    double v;
};

Point Centre(int x, int y, int size) { return Point{(x + 0.5) / size, (y + 0.5) / size}; }

bool Inside(const Point& p, double left, double top, double right, double bottom)
{
    return p.u >= left && p.u <= right && p.v >= top && p.v <= bottom;
}

// The sheet every mode icon shows: an upright page with its top right
// corner folded down; `content` paints the printed area.
template <class Content>
int Sheet(int x, int y, int size, Content content)
{
    const Point p = Centre(x, y, size);
    constexpr double kLeft = 0.16, kTop = 0.04, kRight = 0.84, kBottom = 0.96, kFoldSize = 0.24;
    const double edge = 1.0 / size;
    if (!Inside(p, kLeft, kTop, kRight, kBottom))
        return kClear;
    // The fold: the corner beyond the diagonal is gone, the triangle
    // inside it is the folded paper.
    const double beyond = (p.u - (kRight - kFoldSize)) + (kTop + kFoldSize - p.v) - kFoldSize;
    if (beyond > 0)
        return kClear;
    if (beyond > -edge)
        return kOutline;
    if (p.u > kRight - kFoldSize && p.v < kTop + kFoldSize)
        return (p.u > kRight - kFoldSize + edge && p.v < kTop + kFoldSize - edge) ? kFold : kOutline;
    if (p.u < kLeft + edge || p.u > kRight - edge || p.v < kTop + edge || p.v > kBottom - edge)
        return kOutline;
    return content(p);
}

// The printed area: a block of bands from top to bottom.
template <size_t N>
int Bands(const Point& p, const Colour (&bands)[N], bool lines)
{
    constexpr double kLeft = 0.30, kTop = 0.34, kRight = 0.70, kBottom = 0.84;
    if (!Inside(p, kLeft, kTop, kRight, kBottom))
        return kPaper;
    const double band = (kBottom - kTop) / N;
    const auto index = static_cast<size_t>((p.v - kTop) / band);
    if (lines && (p.v - kTop) - static_cast<double>(index) * band > band * 0.45)
        return kPaper; // lines of text with paper between them
    return bands[index < N ? index : N - 1];
}

int BlackAndWhite(int x, int y, int size)
{
    static const Colour kLines[] = {kInk, kInk, kInk, kInk};
    return Sheet(x, y, size, [](const Point& p) {
        // The last line of text is shorter.
        if (p.v > 0.72 && p.u > 0.56)
            return static_cast<int>(kPaper);
        return Bands(p, kLines, true);
    });
}

int Grayscale(int x, int y, int size)
{
    static const Colour kGrays[] = {kLightGray, kMidGray, kDarkGray};
    return Sheet(x, y, size, [](const Point& p) { return Bands(p, kGrays, false); });
}

int Color(int x, int y, int size)
{
    static const Colour kColours[] = {kRed, kGreen, kBlue};
    return Sheet(x, y, size, [](const Point& p) { return Bands(p, kColours, false); });
}

// A sheet-fed scanner from the front: a sheet standing in its feeder, the
// body with its lighter top, the exit slot, the lamp, the output tray.
int Scanner(int x, int y, int size)
{
    const Point p = Centre(x, y, size);
    const double edge = 1.0 / size;
    if (Inside(p, 0.06, 0.46, 0.94, 0.82)) {
        if (p.v < 0.54)
            return kBodyTop;
        if (Inside(p, 0.18, 0.62, 0.82, 0.62 + std::max(edge, 0.05)))
            return kInk;
        if (Inside(p, 0.74, 0.70, 0.84, 0.76 + edge))
            return kLamp;
        return kBody;
    }
    if (Inside(p, 0.26, 0.06, 0.74, 0.46)) {
        const bool border = p.u < 0.26 + edge || p.u > 0.74 - edge || p.v < 0.06 + edge;
        if (border)
            return kMidGray;
        // A few lines printed on the sheet.
        if (size >= 24 && p.u > 0.34 && p.u < 0.66 && static_cast<int>((p.v - 0.12) * size) % 3 == 0 && p.v > 0.14)
            return kLightGray;
        return kPaper;
    }
    // The tray narrows towards the front.
    const double inset = (p.v - 0.82) * 0.8;
    if (Inside(p, 0.14 + inset, 0.82, 0.86 - inset, 0.94))
        return kBodyTop;
    return kClear;
}

struct Icon {
    int id;
    int (*colourAt)(int, int, int);
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: twainds_makeicons OUTPUT-FOLDER\n", stderr);
        return 2;
    }
    const Icon icons[] = {{1100, BlackAndWhite}, {1101, Color}, {1102, Grayscale}, {1104, Scanner}};
    uint16_t nextImage = 1;
    for (const Icon& icon : icons) {
        if (!iconres::WriteIcon(argv[1], icon.id, iconres::IconDrawing{kPalette, icon.colourAt}, {16, 32}, {32},
                                &nextImage))
            return 1;
    }
    return 0;
}
