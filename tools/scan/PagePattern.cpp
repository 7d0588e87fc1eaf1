#include "tools/scan/PagePattern.h"

#include "emulator/ImagePattern.h"

namespace scan {

void PatternCheck::Begin(const PageFormat& format)
{
    m_pattern = PagePattern{};
    // The decoder reads whole groups of 8 pixels.
    m_pixels = static_cast<std::uint32_t>(format.width) & ~7u;
    m_bits = static_cast<int>(format.bitsPerPixel);
}

void PatternCheck::Line(const BYTE* line)
{
    const long y = m_pattern.lines++;
    if (m_pixels < 32 || (y > 0 && (!m_pattern.valid || !m_pattern.linesInOrder)))
        return;
    const emulator::DecodedLine decoded = emulator::DecodePatternLine(line, m_pixels, m_bits);
    if (y == 0) {
        if (!decoded.valid)
            return;
        m_pattern.valid = true;
        m_pattern.sheet = decoded.page();
        m_pattern.side = decoded.side();
        m_pattern.linesInOrder = true;
        m_code = decoded.code;
    }
    if (!decoded.valid || decoded.code != m_code || decoded.line != static_cast<std::uint8_t>(y % 256) ||
        decoded.mirrored || decoded.inverted || decoded.bgr) {
        m_pattern.linesInOrder = false;
        m_pattern.firstBadLine = y;
    }
}

std::string DescribePattern(const PagePattern& pattern)
{
    if (!pattern.valid)
        return "no pattern";
    std::string text = "sheet " + std::to_string(pattern.sheet) + (pattern.side == 0 ? " front, " : " back, ");
    if (pattern.linesInOrder)
        return text + std::to_string(pattern.lines) + " lines in order";
    return text + "line " + std::to_string(pattern.firstBadLine) + " out of pattern";
}

} // namespace scan
