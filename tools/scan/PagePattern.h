// Reads back the emulated scanner's page pattern from a page as its lines
// arrive: which sheet and side it is, and whether every line arrived once,
// in order.
#pragma once

#include "tools/scan/PipelineScan.h"

#include <cstdint>
#include <string>

namespace scan {

struct PagePattern {
    bool valid = false;        // the first line carries the pattern
    std::uint32_t sheet = 0;   // mod 8
    std::uint32_t side = 0;    // 0 front, 1 back
    bool linesInOrder = false; // every line has the page's code and its own number
    long firstBadLine = -1;
    long lines = 0;
};

class PatternCheck {
public:
    void Begin(const PageFormat& format);
    // The page's next line.
    void Line(const BYTE* line);
    const PagePattern& Result() const { return m_pattern; }

private:
    std::uint32_t m_pixels = 0;
    int m_bits = 0;
    std::uint32_t m_code = 0;
    PagePattern m_pattern;
};

// "sheet 0 front, 1100 lines in order", or what went wrong.
std::string DescribePattern(const PagePattern& pattern);

} // namespace scan
