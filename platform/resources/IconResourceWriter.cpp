#include "platform/resources/IconResourceWriter.h"

#include <cstdio>
#include <fstream>

namespace iconres {

namespace {

void PutLE(Bytes& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

} // namespace

Bytes IconImage(const IconDrawing& drawing, int size, int bitCount)
{
    Bytes out;
    const int paletteEntries = bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0;
    const int rowBytes = ((size * bitCount + 31) / 32) * 4;
    const int maskRowBytes = ((size + 31) / 32) * 4;
    const auto colours = static_cast<int>(drawing.palette.size());
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
        PutLE(out, i < colours ? drawing.palette[static_cast<size_t>(i)] : 0, 4); // B, G, R, 0 in memory
    for (int row = size - 1; row >= 0; --row) {
        Bytes line(static_cast<size_t>(rowBytes), 0);
        for (int x = 0; x < size; ++x) {
            const int index = drawing.colourAt(x, row, size);
            if (bitCount == 32) {
                const uint32_t rgb = drawing.palette[static_cast<size_t>(index)];
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
            if (drawing.colourAt(x, row, size) == 0)
                line[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

Bytes IconGroup(const std::vector<GroupEntry>& entries)
{
    Bytes group;
    PutLE(group, 0, 2);
    PutLE(group, 1, 2);
    PutLE(group, static_cast<uint32_t>(entries.size()), 2);
    for (const GroupEntry& e : entries) {
        group.push_back(static_cast<uint8_t>(e.size == 256 ? 0 : e.size));
        group.push_back(static_cast<uint8_t>(e.size == 256 ? 0 : e.size));
        group.push_back(static_cast<uint8_t>(e.bitCount == 4 ? 16 : 0));
        group.push_back(0);
        PutLE(group, 1, 2);
        PutLE(group, static_cast<uint32_t>(e.bitCount), 2);
        PutLE(group, static_cast<uint32_t>(e.bytes), 4);
        PutLE(group, e.imageId, 2);
    }
    return group;
}

bool WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

bool WriteIcon(const std::string& folder, int groupId, const IconDrawing& drawing, const std::vector<int>& sizes,
               const std::vector<int>& bitCounts, uint16_t* nextImageId)
{
    std::vector<GroupEntry> group;
    for (int size : sizes) {
        for (int bitCount : bitCounts) {
            const uint16_t id = (*nextImageId)++;
            const Bytes image = IconImage(drawing, size, bitCount);
            const std::string path = folder + "/image-" + std::to_string(id) + ".bin";
            if (!WriteFile(path, image)) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                return false;
            }
            group.push_back(GroupEntry{size, bitCount, image.size(), id});
        }
    }
    const std::string path = folder + "/group-" + std::to_string(groupId) + ".bin";
    if (!WriteFile(path, IconGroup(group))) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace iconres
