// A scan through the image pipeline as a TWAIN or still-image client runs
// it: the hardware-service wrapper as source, preset with the service object
// the client holds, the raster converter after it, bands pulled until the
// session ends. Pages stream to a sink band by band; nothing of a page is
// kept here.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"
#include "platform/windows.h"

#include <functional>
#include <string>

namespace scan {

// What the client asks for; lengths in 1/1000 inch.
struct ScanSettings {
    int width = 8500;
    int height = 11000;
    int bitsPerPixel = 8; // 1, 8 or 24
    int dpi = 100;
    bool duplex = true;
    int pages = 0;           // 0: until the feeder is empty
    bool doubleFeed = false; // double-feed detection
    bool stopOnSkew = false;
};

// The lines of a page as they arrive: packed without padding, top line
// first, 1 = black for black-and-white.
struct PageFormat {
    LONG width = 0;
    LONG bitsPerPixel = 0;
    LONG dpi = 0;

    size_t LineBytes() const { return (static_cast<size_t>(width) * bitsPerPixel + 7) / 8; }
};

// Where the pages go. A false answer ends the scan.
class PageSink {
public:
    virtual ~PageSink() = default;
    virtual bool BeginPage(const PageFormat& format) = 0;
    // `count` lines of the page's LineBytes each, one after another.
    virtual bool AddLines(const BYTE* lines, size_t count) = 0;
    // The page is whole; `level` 2 more pages follow, 6 the session's last.
    virtual bool EndPage(LONG level) = 0;
    // The scan failed inside the page: it will not be whole.
    virtual void AbandonPage() = 0;
};

// The scannerSource document with the settings, for a preset service.
std::u16string ScannerSourceDocument(const ScanSettings& settings);
// The rasterCvrt document: lines as the Netpbm formats keep them (top down,
// left to right, RGB, no padding, 1 = black for black-and-white).
std::u16string RasterConvertDocument();

struct ScanResult {
    HRESULT result = S_OK;
    std::string failedStep; // when result failed
    // The service's answer to the configuration.
    LONG configuredWidth = 0, configuredHeight = 0, configuredBytesPerLine = 0, configuredStatus = 0;
    // Why the session ended early: the payload status of its last band, or
    // the configuration's refusal.
    LONG status = 0;
    int pages = 0;        // pages delivered whole
    bool stopped = false; // `stop` asked for it: the page coming in was dropped

    bool Succeeded() const { return result == S_OK && status == 0; }
};

// Runs the whole scan on the calling thread, which must be in COM, with
// `service` (an IRNXHALS the caller has initialised and locked). `stop`,
// asked after each band, ends the scan as a client cancels one: the page
// coming in is dropped, the feeder stopped and the scan window cleared.
ScanResult ScanThroughPipeline(IRNXHALS* service, const ScanSettings& settings, PageSink& sink,
                               const std::function<bool()>& stop = {});

} // namespace scan
