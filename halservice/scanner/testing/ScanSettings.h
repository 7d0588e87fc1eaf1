// Scan settings the scan tests start from.
#pragma once

#include "halservice/scanner/HALRequest.h"

namespace hal::testing {

// A letter-sized 24-bit simplex job of every sheet, with nothing else set.
inline ConfigScanArgs DefaultSettings()
{
    ConfigScanArgs s{};
    s.Width = 8500;
    s.Height = 11000;
    s.BitsPerPixel = 24;
    s.DPI = 200;
    return s;
}

} // namespace hal::testing
