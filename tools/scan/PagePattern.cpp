#include "tools/scan/PagePattern.h"

#include "emulator/ImagePattern.h"

namespace scan {

PagePattern ReadPagePattern(const ScannedPage& page)
{
    PagePattern pattern;
    // The decoder reads whole groups of 8 pixels.
    const std::uint32_t pixels = static_cast<std::uint32_t>(page.width) & ~7u;
    const size_t lineBytes = page.LineBytes();
    if (pixels < 32 || page.height <= 0 || page.bytes.size() < lineBytes * static_cast<size_t>(page.height))
        return pattern;
    const int bits = static_cast<int>(page.bitsPerPixel);
    const emulator::DecodedLine first = emulator::DecodePatternLine(page.bytes.data(), pixels, bits);
    if (!first.valid)
        return pattern;
    pattern.valid = true;
    pattern.sheet = first.page();
    pattern.side = first.side();
    pattern.linesInOrder = true;
    for (long y = 0; y < page.height; ++y) {
        const emulator::DecodedLine line =
            emulator::DecodePatternLine(page.bytes.data() + static_cast<size_t>(y) * lineBytes, pixels, bits);
        if (!line.valid || line.code != first.code || line.line != static_cast<std::uint8_t>(y % 256) ||
            line.mirrored || line.inverted || line.bgr) {
            pattern.linesInOrder = false;
            pattern.firstBadLine = y;
            break;
        }
    }
    return pattern;
}

std::string DescribePattern(const PagePattern& pattern, const ScannedPage& page)
{
    if (!pattern.valid)
        return "no pattern";
    std::string text = "sheet " + std::to_string(pattern.sheet) + (pattern.side == 0 ? " front, " : " back, ");
    if (pattern.linesInOrder)
        return text + std::to_string(page.height) + " lines in order";
    return text + "line " + std::to_string(pattern.firstBadLine) + " out of pattern";
}

} // namespace scan
