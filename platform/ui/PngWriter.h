// Writes 24-bit RGB images as PNG files, with no library: the image data
// goes into stored (uncompressed) deflate blocks, which every reader takes.
// The files are for people to look at, so size does not matter.
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

// The PNG file's bytes.
std::vector<uint8_t> EncodePng(const RgbImage& image);
bool WritePng(const RgbImage& image, const std::string& path);

} // namespace plat::ui
