// Icon resources as a resource compiler stores them, for the programs that
// draw a module's icons at build time: each image a DIB with its mask
// (RT_ICON), and the group directory naming them (RT_GROUP_ICON). An icon
// is drawn in the colours of a small palette, the same drawing at every
// size and colour depth.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace iconres {

using Bytes = std::vector<uint8_t>;

struct IconDrawing {
    // 0xRRGGBB; entry 0 stands for transparent (black under the mask).
    std::vector<uint32_t> palette;
    // The palette index at pixel (x, y) of an image `size` pixels square,
    // top row 0.
    std::function<int(int x, int y, int size)> colourAt;
};

// One image: BITMAPINFOHEADER (height doubled for the mask), the palette
// for 4 and 8 bits, the colour rows bottom-up, then the 1-bit mask rows
// (set where transparent); rows padded to 4 bytes. 32 bits carry alpha.
Bytes IconImage(const IconDrawing& drawing, int size, int bitCount);

struct GroupEntry {
    int size; // 256 is written as 0
    int bitCount;
    size_t bytes;     // the image's size
    uint16_t imageId; // its RT_ICON resource
};

// The 6-byte header and a 14-byte entry per image.
Bytes IconGroup(const std::vector<GroupEntry>& entries);

bool WriteFile(const std::string& path, const Bytes& bytes);

// Writes icon `groupId` drawn in every size at every colour depth, the
// images numbered on from `*nextImageId`: FOLDER/image-N.bin for each,
// then FOLDER/group-ID.bin naming them. False, with a line on stderr, when
// a file cannot be written.
bool WriteIcon(const std::string& folder, int groupId, const IconDrawing& drawing, const std::vector<int>& sizes,
               const std::vector<int>& bitCounts, uint16_t* nextImageId);

} // namespace iconres
