#include "halservice/scanner/ScanWindow.h"

#include "halservice/scanner/testing/ScanSettings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>

namespace {

using hal::testing::DefaultSettings;

// The window of DefaultSettings().
WindowParams DefaultWindow()
{
    WindowParams w{};
    w.Header.wBlockLengthInBytes = 64;
    WindowDescriptor& d = w.Descriptor;
    d.wXRes = 200;
    d.wYRes = 200;
    d.dwWidth = 10176; // 1696 pixels
    d.dwLength = 13200;
    d.byImgComposition = 5;
    d.byBitsPerPixel = 24;
    d.bySupportedFeatures_0x2E = 0x30;
    d.dwDocumentWidth = 10200;
    d.dwDocumentLength = 13200;
    d.byContinuScanningPage = 0xFF;
    return w;
}

// The byte offsets in which two windows differ.
std::string DifferingOffsets(const WindowParams& a, const WindowParams& b)
{
    const auto* x = reinterpret_cast<const BYTE*>(&a);
    const auto* y = reinterpret_cast<const BYTE*>(&b);
    std::string offsets;
    for (size_t i = 0; i < sizeof a; ++i) {
        if (x[i] != y[i])
            offsets += " " + std::to_string(i);
    }
    return offsets;
}

struct WindowCase {
    std::string name;
    std::function<void(ConfigScanArgs&)> settings;
    std::function<void(WindowDescriptor&)> differences; // from DefaultWindow()
    LONG compression;
    DWORD pixelsPerLine;
    DWORD lines;
    DWORD bytesPerLine;
    LONGLONG width = 8500;
    bool duplex = false;
};

// Each case says all the window holds: what it changes from the plain
// default window, the compression in effect and the geometry.
TEST(ScanWindowTest, SettingsBecomeTheWholeWindowAndItsGeometry)
{
    const auto none = [](auto&) {};
    // clang-format off
    const std::vector<WindowCase> cases = {
        {"plain letter", none, none, 0, 1696, 2200, 5088},
        {"1 bit: no contrast, inverted to the clients' polarity",
         [](ConfigScanArgs& s) {
             s.BitsPerPixel = 1;
             s.Contrast = 77;
             s.Brightness = 10;
         },
         [](WindowDescriptor& d) {
             d.byImgComposition = 0;
             d.byBitsPerPixel = 1;
             d.byBrightness = 10;
             d.wBitOrdering = 1;
             d.byRIF_Padding = 0x80;
         },
         0, 1696, 2200, 212},
        {"1 bit asked inverted: raw polarity", [](ConfigScanArgs& s) { s.BitsPerPixel = 1; s.HardwareInvert = 1; },
         [](WindowDescriptor& d) { d.byImgComposition = 0; d.byBitsPerPixel = 1; }, 0, 1696, 2200, 212},
        {"1 bit MMR, inverted, noise reduction in colour",
         [](ConfigScanArgs& s) {
             s.BitsPerPixel = 1;
             s.Compression = 2;
             s.HardwareInvert = 1;
             s.NoiseReductionWindow = 3;
             s.NoiseReductionColor = 1;
         },
         [](WindowDescriptor& d) {
             d.byImgComposition = 0;
             d.byBitsPerPixel = 1;
             d.byCompressionType = 3;
             d.byRIF_Padding = 0x80;
             d.byNoiseReduction = 0x83;
         },
         2, 1696, 2200, 212},
        {"JPEG asked for 1 bit is dropped", [](ConfigScanArgs& s) { s.BitsPerPixel = 1; s.Compression = 1; },
         [](WindowDescriptor& d) {
             d.byImgComposition = 0;
             d.byBitsPerPixel = 1;
             d.wBitOrdering = 1;
             d.byRIF_Padding = 0x80;
         },
         0, 1696, 2200, 212},
        {"8 bit JPEG: the ratio is kept within 100",
         [](ConfigScanArgs& s) { s.BitsPerPixel = 8; s.Compression = 1; s.CompressionRatio = 250; },
         [](WindowDescriptor& d) {
             d.byImgComposition = 2;
             d.byBitsPerPixel = 8;
             d.byCompressionType = 0x81;
             d.byCompressionTypeArg = 100;
             d.bySupportedFeatures_0x2E = 0;
         },
         1, 1696, 2200, 1696},
        {"24 bit JPEG, negative ratio, inverted",
         [](ConfigScanArgs& s) { s.Compression = 1; s.CompressionRatio = -5; s.HardwareInvert = 1; },
         [](WindowDescriptor& d) { d.byCompressionType = 0x81; d.byRIF_Padding = 0x80; }, 1, 1696, 2200, 5088},
        {"MMR asked for 8 bit is dropped, inverted",
         [](ConfigScanArgs& s) { s.BitsPerPixel = 8; s.Compression = 2; s.HardwareInvert = 1; },
         [](WindowDescriptor& d) {
             d.byImgComposition = 2;
             d.byBitsPerPixel = 8;
             d.byRIF_Padding = 0x80;
         },
         0, 1696, 2200, 1696},
        {"an unknown depth sets no type and keeps the compression",
         [](ConfigScanArgs& s) { s.BitsPerPixel = 16; s.Compression = 1; },
         [](WindowDescriptor& d) { d.byImgComposition = 0; d.byBitsPerPixel = 0; }, 1, 1696, 2200, 5088},
        {"features are or-ed into their bytes",
         [](ConfigScanArgs& s) {
             s.Margin = 1;
             s.StopSkew = 1;
             s.DFD = 1;
             s.DFDAction = 0x01;
             s.DFDSensitivity = 0x0A;
             s.SimpleColorDropout = 3;
             s.Deskew = 2;
             s.FitToPage = 1;
             s.LengthControl = 1;
             s.HardwareMirror = 1;
             s.UseGammaTable = 1;
             s.AutomaticSeparation = 1;
         },
         [](WindowDescriptor& d) {
             d.bySupportedFeatures_0x29 = 0x11;
             d.bySupportedFeatures_0x2D = 0x3A;
             d.bySupportedFeatures_0x38 = 0x54;
             d.bySupportedFeatures_0x3E = 0x30;
             d.byDocumentSize = 0x40;
             d.byMirrorImage = 0x80;
             d.byGammaCorrection = 0x80;
             d.byAutoSeparatonMode = 0x80;
         },
         0, 1696, 2200, 5088},
        {"automatic threshold clears brightness and threshold; halftone on 1 bit",
         [](ConfigScanArgs& s) {
             s.BitsPerPixel = 1;
             s.Brightness = 50;
             s.Threshold = 60;
             s.AutomaticThreshold = 2;
             s.Dither = 3;
             s.WhiteLevelFromPaper = 3;
         },
         [](WindowDescriptor& d) {
             d.byImgComposition = 1;
             d.byBitsPerPixel = 1;
             d.wHalfTonePattern = 2;
             d.byAutoThresholdMode = 2;
             d.wBitOrdering = 1;
             d.byRIF_Padding = 0x80;
         },
         0, 1696, 2200, 212},
        {"white level from the paper, long paper without length control",
         [](ConfigScanArgs& s) { s.WhiteLevelFromPaper = 2; s.LongPaper = 1; },
         [](WindowDescriptor& d) { d.byStdWhiteLevelMode = 0x81; d.byDocumentSize = 0x20; }, 0, 1696, 2200, 5088},
        {"simplex pages are sheets", [](ConfigScanArgs& s) { s.Pages = 5; },
         [](WindowDescriptor& d) { d.byContinuScanningPage = 5; }, 0, 1696, 2200, 5088},
        {"duplex: an odd page count takes its last sheet", [](ConfigScanArgs& s) { s.Pages = 3; },
         [](WindowDescriptor& d) { d.byContinuScanningPage = 2; }, 0, 1696, 2200, 5088, 8500, true},
        {"duplex, every sheet", none, none, 0, 1696, 2200, 5088, 8500, true},
        {"pixels are a multiple of 16, the width gives exactly them",
         [](ConfigScanArgs& s) { s.DPI = 100; s.Height = 500; },
         [](WindowDescriptor& d) {
             d.wXRes = 100;
             d.wYRes = 100;
             d.dwWidth = 1152;
             d.dwLength = 600;
             d.dwDocumentWidth = 1200;
             d.dwDocumentLength = 600;
         },
         0, 96, 50, 288, 1000},
        {"no resolution: lengths but no geometry", [](ConfigScanArgs& s) { s.DPI = 0; },
         [](WindowDescriptor& d) { d.wXRes = 0; d.wYRes = 0; d.dwWidth = 0; }, 0, 0, 0, 0},
        {"a negative width is none", none, [](WindowDescriptor& d) { d.dwWidth = 0; d.dwDocumentWidth = 0; }, 0, 0,
         2200, 0, -8500},
        {"the widest width with its margin, in 64 bits", [](ConfigScanArgs& s) { s.DPI = 600; },
         [](WindowDescriptor& d) {
             d.wXRes = 600;
             d.wYRes = 600;
             d.dwWidth = 2576981088u;
             d.dwDocumentWidth = 2576981096u;
         },
         0, 1288490544, 6600, 3865471632u, LONGLONG{INT_MAX} + 600},
    };
    // clang-format on
    for (const WindowCase& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigScanArgs settings = DefaultSettings();
        c.settings(settings);
        const ScanWindow scan = BuildScanWindow(settings, c.width, c.duplex);
        WindowParams expected = DefaultWindow();
        c.differences(expected.Descriptor);
        EXPECT_EQ(DifferingOffsets(scan.window, expected), "") << "window bytes differ";
        EXPECT_EQ(scan.compression, c.compression);
        EXPECT_EQ(scan.pixelsPerLine, c.pixelsPerLine);
        EXPECT_EQ(scan.lines, c.lines);
        EXPECT_EQ(scan.bytesPerLine, c.bytesPerLine);
    }
}

TEST(ScanWindowTest, SizeCodesGiveTheirPaperWidths)
{
    const struct {
        BYTE sizeCode;
        LONG width;
    } cases[] = {{1, 2200}, {3, 11693}, {4, 8268}, {7, 8500}, {14, 4921}, {0, 1234}, {2, 1234}, {15, 1234}};
    for (const auto& c : cases)
        EXPECT_EQ(PaperWidthOfSizeCode(c.sizeCode, 1234), c.width) << "size code " << int{c.sizeCode};
}

} // namespace
