// The window descriptor is built in the order of its settings: the basics,
// the image type, inversion, image processing, feeding, then the geometry.
#include "halservice/scanner/ScanWindow.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace {

constexpr LONGLONG kUnitsPerInch = 1200; // the window's length unit

// READ DOCUMENT size codes to paper widths in 1/1000 inch.
struct PaperWidth {
    BYTE sizeCode;
    LONG width;
};
constexpr PaperWidth kPaperWidths[] = {
    {1, 2200}, {3, 11693}, {4, 8268}, {5, 5827}, {6, 4134}, {7, 8500}, {12, 9843}, {13, 6929}, {14, 4921},
};

// What a bit depth sets, and the one compression it takes.
struct ImageType {
    LONG bitsPerPixel;
    BYTE composition;
    LONG compression; // 1 JPEG, 2 MMR
    BYTE compressionType;
    bool ratioIsArgument;
    BYTE features0x2E;
};
constexpr ImageType kImageTypes[] = {
    {1, 0, 2, 3, false, 0x30},
    {8, 2, 1, 0x81, true, 0x00},
    {24, 5, 1, 0x81, true, 0x30},
};

DWORD ToDword(LONGLONG value)
{
    return static_cast<DWORD>(std::clamp<LONGLONG>(value, 0, std::numeric_limits<DWORD>::max()));
}

void SetBasics(const ConfigScanArgs& args, WindowParams& window)
{
    WindowDescriptor& d = window.Descriptor;
    window.Header.wBlockLengthInBytes = kWindowDescriptorSize;
    d.byWindowIdentifier = kWindowFront;
    d.wXRes = static_cast<WORD>(args.DPI);
    d.wYRes = static_cast<WORD>(args.DPI);
    d.byBrightness = static_cast<BYTE>(args.Brightness);
    d.byThreshold = static_cast<BYTE>(args.Threshold);
    d.byContrast = static_cast<BYTE>(args.Contrast);
    d.bySupportedFeatures_0x2E = 0x30;
    if (args.UseGammaTable && args.BitsPerPixel != 1)
        d.byGammaCorrection = 0x80;
    // Double-feed detection.
    if (args.DFD) {
        d.bySupportedFeatures_0x29 |= static_cast<BYTE>(args.DFDAction);
        d.bySupportedFeatures_0x38 |= 0x10;
        d.bySupportedFeatures_0x2D |= static_cast<BYTE>(args.DFDSensitivity);
    }
}

// The compression in effect: the settings' own for a depth that takes it,
// 0 for one that does not; an unknown depth sets nothing and keeps it.
LONG SetImageType(const ConfigScanArgs& args, WindowDescriptor& d)
{
    const ImageType* type = std::find_if(std::begin(kImageTypes), std::end(kImageTypes),
                                         [&](const ImageType& t) { return t.bitsPerPixel == args.BitsPerPixel; });
    if (type == std::end(kImageTypes))
        return args.Compression;
    d.byImgComposition = type->composition;
    d.byBitsPerPixel = static_cast<BYTE>(type->bitsPerPixel);
    if (args.BitsPerPixel == 1)
        d.byContrast = 0;
    LONG compression = 0;
    if (args.Compression == type->compression) {
        d.byCompressionType = type->compressionType;
        d.byCompressionTypeArg =
            type->ratioIsArgument ? static_cast<BYTE>(std::clamp<LONG>(args.CompressionRatio, 0, 100)) : 0;
        d.bySupportedFeatures_0x2E = type->features0x2E;
        compression = args.Compression;
    }
    if (args.BitsPerPixel == 1 && args.NoiseReductionWindow) {
        d.byNoiseReduction = static_cast<BYTE>(args.NoiseReductionWindow);
        if (args.NoiseReductionColor)
            d.byNoiseReduction = static_cast<BYTE>(d.byNoiseReduction + 0x80);
    }
    return compression;
}

// Mirror and inversion. The scanner's raw 1-bit polarity is the inverse of
// what the clients expect, so uncompressed 1 bit is inverted unless asked not to.
void SetMirrorAndInversion(const ConfigScanArgs& args, LONG compression, WindowDescriptor& d)
{
    if (args.HardwareMirror)
        d.byMirrorImage = 0x80;
    if (compression == 1 || compression == 2) {
        d.byRIF_Padding = args.HardwareInvert ? 0x80 : 0;
    } else if (args.BitsPerPixel == 1) {
        if (!args.HardwareInvert) {
            d.wBitOrdering = 1;
            d.byRIF_Padding = 0x80;
        }
    } else if (args.HardwareInvert) {
        d.byRIF_Padding = 0x80;
    }
}

// Automatic threshold, halftone, automatic separation, white level, colour
// dropout, stop on skew and deskew.
void SetImageProcessing(const ConfigScanArgs& args, WindowDescriptor& d)
{
    if (args.AutomaticThreshold) {
        d.byBrightness = 0;
        d.byThreshold = 0;
        d.byAutoThresholdMode = static_cast<BYTE>(args.AutomaticThreshold);
    }
    if (args.Dither) {
        d.byImgComposition = 1;
        d.wHalfTonePattern = static_cast<WORD>(args.Dither - 1);
    }
    if (args.AutomaticSeparation)
        d.byAutoSeparatonMode = 0x80;
    if (args.WhiteLevelFromPaper == 1)
        d.byStdWhiteLevelMode = 0x80;
    else if (args.WhiteLevelFromPaper == 2)
        d.byStdWhiteLevelMode = 0x81;
    if (args.SimpleColorDropout)
        d.bySupportedFeatures_0x2D |= static_cast<BYTE>(args.SimpleColorDropout << 4);
    if (args.StopSkew)
        d.bySupportedFeatures_0x29 |= 0x10;
    if (args.Deskew)
        d.bySupportedFeatures_0x38 |= static_cast<BYTE>(args.Deskew << 5);
}

// Sheets to feed (0xFF: until the feeder is empty), length, fit to page
// and margin.
void SetFeeding(const ConfigScanArgs& args, bool duplex, WindowDescriptor& d)
{
    if (args.Pages == 0)
        d.byContinuScanningPage = 0xFF;
    else if (duplex)
        d.byContinuScanningPage = static_cast<BYTE>((static_cast<LONGLONG>(args.Pages) + 1) / 2);
    else
        d.byContinuScanningPage = static_cast<BYTE>(args.Pages);
    d.byDocumentSize = args.LengthControl ? 0x40 : 0;
    if (args.LongPaper)
        d.byDocumentSize = static_cast<BYTE>(d.byDocumentSize + 0x20);
    if (args.FitToPage)
        d.bySupportedFeatures_0x38 |= 0x04;
    if (args.Margin)
        d.bySupportedFeatures_0x3E |= 0x30;
}

// Geometry in 1/1200 inch. The client's values are unchecked, so the
// arithmetic runs in 64 bits and the results are kept within 32.
void SetGeometry(const ConfigScanArgs& args, LONGLONG width, ScanWindow& scan)
{
    WindowDescriptor& d = scan.window.Descriptor;
    const LONGLONG dpi = args.DPI;
    const LONGLONG documentWidth = std::max<LONGLONG>(0, width * kUnitsPerInch / 1000);
    const LONGLONG length = std::max<LONGLONG>(0, LONGLONG{args.Height} * kUnitsPerInch / 1000);
    d.dwDocumentWidth = ToDword(documentWidth);
    d.dwLength = ToDword(length);
    d.dwDocumentLength = d.dwLength;
    if (dpi <= 0)
        return;
    const LONGLONG pixels = ToDword((dpi * documentWidth / kUnitsPerInch) & ~LONGLONG{15});
    scan.pixelsPerLine = static_cast<DWORD>(pixels);
    scan.lines = ToDword(dpi * length / kUnitsPerInch);
    scan.bytesPerLine = BytesPerLineFor(pixels, args.BitsPerPixel);
    d.dwWidth = ToDword(pixels * kUnitsPerInch / dpi);
}

} // namespace

LONG PaperWidthOfSizeCode(BYTE sizeCode, LONG width)
{
    for (const PaperWidth& paper : kPaperWidths) {
        if (paper.sizeCode == sizeCode)
            return paper.width;
    }
    return width;
}

ScanWindow BuildScanWindow(const ConfigScanArgs& args, LONGLONG width, bool duplex)
{
    ScanWindow scan;
    WindowDescriptor& d = scan.window.Descriptor;
    SetBasics(args, scan.window);
    scan.compression = SetImageType(args, d);
    SetMirrorAndInversion(args, scan.compression, d);
    SetImageProcessing(args, d);
    SetFeeding(args, duplex, d);
    SetGeometry(args, width, scan);
    return scan;
}

DWORD BytesPerLineFor(LONGLONG pixels, LONG bitsPerPixel)
{
    if (bitsPerPixel == 1)
        return ToDword(pixels / 8);
    if (bitsPerPixel == 8)
        return ToDword(pixels);
    return ToDword(pixels * 3);
}
