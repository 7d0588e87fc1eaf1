// Pages as plain Netpbm files: PBM (P4) for black-and-white, PGM (P5) for
// gray, PPM (P6) for colour.
#pragma once

#include "tools/scan/PipelineScan.h"

#include <string>

namespace scan {

// The file extension for a page's depth: "pbm", "pgm" or "ppm"; empty for
// a depth Netpbm has no binary form for.
std::string NetpbmExtension(LONG bitsPerPixel);

// Writes the page; false when the depth has no Netpbm form, the bytes do
// not match the size, or the file cannot be written.
bool WriteNetpbm(const std::string& path, const ScannedPage& page);

} // namespace scan
