// The scanner's window for a client's scan settings: the SET WINDOW
// parameter list and the page geometry it gives, worked out without talking
// to the scanner.
#pragma once

#include "halservice/ScannerRecords.h"
#include "halservice/scanner/HALRequest.h"
#include "platform/base/wintypes.h"

constexpr BYTE kWindowFront = 0x00;
constexpr BYTE kWindowBack = 0x80;

struct ScanWindow {
    // Host order; the front window (the back one differs in its id only).
    WindowParams window{};
    // The compression in effect: one the bit depth cannot take is dropped.
    LONG compression = 0;
    DWORD pixelsPerLine = 0;
    DWORD lines = 0;
    DWORD bytesPerLine = 0;
};

// The paper width in 1/1000 inch that a READ DOCUMENT size code stands
// for; `width` for a code without one.
LONG PaperWidthOfSizeCode(BYTE sizeCode, LONG width);

// The window for the settings, `width` (1/1000 inch) being the settings'
// width after detection and margin. Without a positive resolution there is
// no geometry: pixels, lines and bytes per line are 0.
ScanWindow BuildScanWindow(const ConfigScanArgs& args, LONGLONG width, bool duplex);

// Bytes of a line of `pixels` at the bit depth: 1 bit packs 8 pixels a
// byte, 8 bit one, any other depth three bytes a pixel.
DWORD BytesPerLineFor(LONGLONG pixels, LONG bitsPerPixel);
