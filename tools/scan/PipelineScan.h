// A scan through the image pipeline as a TWAIN or still-image client runs
// it: the hardware-service wrapper as source (it creates the service out of
// process from the scanner's class), the raster converter after it, bands
// pulled until the session ends.
#pragma once

#include "platform/windows.h"

#include <functional>
#include <string>
#include <vector>

namespace scan {

// What the client asks for; lengths in 1/1000 inch.
struct ScanSettings {
    int width = 8500;
    int height = 11000;
    int bitsPerPixel = 8; // 1, 8 or 24
    int dpi = 100;
    bool duplex = true;
    int pages = 0; // 0: until the feeder is empty
};

// One page as it arrived, lines packed without padding, top line first.
struct ScannedPage {
    LONG width = 0;
    LONG height = 0;
    LONG bitsPerPixel = 0;
    LONG dpi = 0;
    LONG endLevel = 0;  // 2: more pages follow, 6: the session's last
    LONG endStatus = 0; // the payload status of the page's last band
    std::vector<BYTE> bytes;

    size_t LineBytes() const { return (static_cast<size_t>(width) * bitsPerPixel + 7) / 8; }
};

// The scannerSource document for a scanner class (registry form, braces
// allowed) and the settings.
std::u16string ScannerSourceDocument(const std::u16string& scannerClsid, const ScanSettings& settings);
// The rasterCvrt document: lines as the Netpbm formats keep them (top down,
// left to right, RGB, no padding, 1 = black for black-and-white).
std::u16string RasterConvertDocument();

struct ScanResult {
    HRESULT result = S_OK;
    std::string failure; // the step that failed, when result failed
    // The service's answer to the configuration.
    LONG configuredWidth = 0, configuredHeight = 0, configuredBytesPerLine = 0, configuredStatus = 0;
    std::vector<ScannedPage> pages;
};

// Runs the whole scan on the calling thread, which must be in COM. Each
// finished page goes to `onPage` as well (may be empty).
ScanResult ScanThroughPipeline(const std::u16string& scannerClsid, const ScanSettings& settings,
                               const std::function<void(const ScannedPage&)>& onPage);

} // namespace scan
