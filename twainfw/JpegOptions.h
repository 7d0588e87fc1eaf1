// The records a caller of the JPEG decoding front end fills or receives:
// decoding options, the information record, and the callbacks.
#pragma once

#include "platform/windows.h"

namespace Trellis {

// Bits of JpegOptions::flags; each enables its group of fields.
inline constexpr DWORD JPEG_OPTION_COLORSPACE = 0x0001;
inline constexpr DWORD JPEG_OPTION_SCALE = 0x0002;
inline constexpr DWORD JPEG_OPTION_QUANTIZE = 0x0004;
inline constexpr DWORD JPEG_OPTION_DCT_METHOD = 0x0010;
inline constexpr DWORD JPEG_OPTION_FANCY_UPSAMPLING = 0x0020;
inline constexpr DWORD JPEG_OPTION_BLOCK_SMOOTHING = 0x0040;
inline constexpr DWORD JPEG_OPTION_QUANT_TABLES = 0x0200;
inline constexpr DWORD JPEG_OPTION_HUFF_TABLES = 0x0400;
inline constexpr DWORD JPEG_OPTION_ROW_ORDER = 0x2000;

// Output colour spaces (the library's numbering).
inline constexpr DWORD JPEG_COLORSPACE_GRAY = 1;
inline constexpr DWORD JPEG_COLORSPACE_RGB = 2;

// A quantization table in natural order, as the library keeps it.
struct JpegQuantTable {
    WORD values[64];
    BOOL sent;
};

// A Huffman table: code counts per length (bits[0] unused) and symbols.
struct JpegHuffTable {
    BYTE bits[17];
    BYTE values[256];
    BOOL sent;
};

struct JpegOptions {
    DWORD flags = 0;

    DWORD outColorSpace = JPEG_COLORSPACE_RGB;

    DWORD scaleNumerator = 1;
    DWORD scaleDenominator = 1;

    BYTE quantize = 0;
    DWORD desiredColors = 256;
    BOOL twoPassQuantize = FALSE;
    DWORD ditherMode = 2; // Floyd-Steinberg
    // Three rows of 256 bytes (red, green, blue), or one row for gray output.
    const BYTE* colorMap = nullptr;
    DWORD colorMapCount = 0;

    double outputGamma = 1.0;
    const JpegQuantTable* quantTables[4] = {};
    DWORD quantTableOfComponent[4] = {};

    DWORD dctMethod = 0;
    BYTE fancyUpsampling = 1;
    BYTE blockSmoothing = 1;

    const JpegHuffTable* dcTables[4] = {};
    const JpegHuffTable* acTables[4] = {};
    DWORD dcTableOfComponent[4] = {};
    DWORD acTableOfComponent[4] = {};

    BYTE flipRows = 0;    // bottom-up row order, as bitmaps keep it
    BYTE swapRedBlue = 0; // blue, green, red, as bitmaps keep it
};

// What the decoder tells a caller that asks. The palette and marker blocks
// are new global-memory blocks that the caller frees.
struct JpegInfo {
    BOOL saveMarkers = FALSE; // in: keep the APP0-APP15 and COM markers

    DWORD height = 0;
    DWORD width = 0;
    DWORD colorSpace = 0;
    DWORD components = 0;
    BOOL hasPalette = FALSE;
    DWORD paletteLength = 0;
    HGLOBAL palette = nullptr; // paletteLength entries of blue, green, red, 0
    BYTE densityUnit = 0;
    WORD xDensity = 0;
    WORD yDensity = 0;
    BYTE jfifMajorVersion = 0;
    BYTE jfifMinorVersion = 0;
    BOOL sawAdobeMarker = FALSE;
    BYTE adobeTransform = 0;
    // Each kept marker as its code (1 byte), its data length (4 bytes,
    // little-endian) and its data.
    HGLOBAL markers = nullptr;
};

// Percent done (0-100); returns non-zero to go on.
using JpegProgressCallback = int (*)(int percent);
// Called after each output pass of a progressive image with the pass
// number (from 1); returns non-zero to go on.
using JpegPassCallback = int (*)(int pass);

// Input and output kinds of DecodeJpegToDib.
inline constexpr int JPEG_INPUT_FILE = 0;
inline constexpr int JPEG_INPUT_MEMORY = 1;
inline constexpr int JPEG_INPUT_TABLES_FILE = 2;
inline constexpr int JPEG_INPUT_TABLES_MEMORY = 3;
inline constexpr int JPEG_OUTPUT_BMP_FILE = 0;
inline constexpr int JPEG_OUTPUT_DIB = 1;
inline constexpr int JPEG_OUTPUT_PIXELS = 2;

} // namespace Trellis
