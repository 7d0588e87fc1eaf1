// 24-bit RGB images and their PNG files (compressed by the 2-D graphics
// library), and images with an alpha channel (icons).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat::ui {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB, row by row
};

// With straight (not premultiplied) alpha.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, row by row
};

// The PNG file's bytes; empty for an empty image.
std::vector<uint8_t> EncodePng(const RgbImage& image);
bool WritePng(const RgbImage& image, const std::string& path);

} // namespace plat::ui
