// Reads back the emulated scanner's page pattern from a scanned page: which
// sheet and side it is, and whether every line arrived once, in order.
#pragma once

#include "tools/scan/PipelineScan.h"

#include <cstdint>
#include <string>

namespace scan {

struct PagePattern {
    bool valid = false;       // the first line carries the pattern
    std::uint32_t sheet = 0;  // mod 8
    std::uint32_t side = 0;   // 0 front, 1 back
    bool linesInOrder = false; // every line has the page's code and its own number
    long firstBadLine = -1;
};

PagePattern ReadPagePattern(const ScannedPage& page);

// "sheet 0 front, 1100 lines in order", or what went wrong.
std::string DescribePattern(const PagePattern& pattern, const ScannedPage& page);

} // namespace scan
