// The pipeline's two settings documents (the hardware-service wrapper's and
// the converter's) and the scan settings written under config/input.
#pragma once

#include "platform/windows.h"

#include <vector>

// The wrapper's document: config/input is empty until the settings go in.
extern const char16_t kScannerSourceDocument[];
// The converter's document: bands laid out as a Windows bitmap (BGR, lines
// bottom-up, rows padded to 4 bytes), 1 bit with 0 as black.
extern const char16_t kRasterConvertDocument[];

// The scan settings of the WIA item, in its units (dots per inch, pixels,
// 0-100).
struct WiaScanSettings {
    LONG xResolution = 0;
    LONG yResolution = 0;
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
    LONG bitsPerPixel = 0;
    bool duplex = false;
    LONG pages = 0;
    LONG brightness = 0;
    LONG contrast = 0;
};

struct ConfigInputKey {
    const char16_t* name;
    LONG value;
};

// The nine config/input keys in the order they are written: sizes in
// thousandths of an inch, brightness and contrast on the scanner's 255-0
// scale. A resolution of 0 gives sizes of 0.
std::vector<ConfigInputKey> ConfigInputKeys(const WiaScanSettings& settings);
