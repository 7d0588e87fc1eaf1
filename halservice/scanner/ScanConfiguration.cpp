// Scan configuration: the client's scan settings become the scanner's
// window (front, and back for duplex), and the page geometry the scanner
// will deliver is answered back.
#include "halservice/scanner/ScannerWrap.h"

#include "halservice/LogText.h"
#include "halservice/scanner/PayloadStatus.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr DWORD kReadyTimeoutMs = 40000;
constexpr LONG kMarginWidth = 600;  // 1/1000 inch
constexpr LONGLONG kUnitsPerInch = 1200;  // the window's length unit

// READ DOCUMENT size codes to paper widths in 1/1000 inch.
struct PaperWidth {
    BYTE sizeCode;
    LONG width;
};
constexpr PaperWidth kPaperWidths[] = {
    {1, 2200}, {3, 11693}, {4, 8268}, {5, 5827}, {6, 4134}, {7, 8500}, {12, 9843}, {13, 6929}, {14, 4921},
};

constexpr BYTE kWindowFront = 0x00;
constexpr BYTE kWindowBack = 0x80;

DWORD ToDword(LONGLONG value)
{
    return static_cast<DWORD>(std::clamp<LONGLONG>(value, 0, std::numeric_limits<DWORD>::max()));
}

LONGLONG BytesPerLineFor(LONGLONG pixels, LONG bitsPerPixel)
{
    if (bitsPerPixel == 1)
        return pixels / 8;
    if (bitsPerPixel == 8)
        return pixels;
    return pixels * 3;
}

void Put(DWORD* out, DWORD value)
{
    if (out)
        *out = value;
}

} // namespace

BOOL CScannerWrap::S_ConfigScan()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"S_ConfigScan Entered");
    const ConfigScanArgs& args = m_funcArgs.ConfigScan;
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"S_ConfigScan Params: Width = %d, Height = %d, BitsPerPixel = %d, DPI = %d, Duplex = %d, "
                     u"Pages = %d, Compression = %d",
                     args.Width, args.Height, args.BitsPerPixel, args.DPI, args.Duplex, args.Pages, args.Compression);

    // 1. Width detection.
    LONG width = args.Width;
    if (args.DetectPaperWidth) {
        bool present = false;
        BYTE sizeCode = 0;
        if (m_interface.ReadDocument(&present, &sizeCode)) {
            for (const PaperWidth& paper : kPaperWidths) {
                if (paper.sizeCode == sizeCode)
                    width = paper.width;
            }
        }
    }
    // 2. Margin.
    if (args.Margin)
        width += kMarginWidth;
    // 3. Duplex.
    m_duplex = args.Duplex ? 1 : 0;

    // 4. Placeholder gamma tables; the clients send the real ones later.
    if (args.UseGammaTable && args.BitsPerPixel != 1) {
        const BYTE zeros[kGammaTableSize] = {};
        for (bool back : {false, true}) {
            if (back && !m_duplex)
                break;
            if (args.BitsPerPixel == 8) {
                m_interface.SendGammaCorrData(zeros, 4, back);
            } else {
                for (BYTE channel = 1; channel <= 3; ++channel)
                    m_interface.SendGammaCorrData(zeros, channel, back);
            }
        }
    }

    // 5. Compression.
    LONG compression = args.Compression;
    const BYTE ratio = static_cast<BYTE>(std::clamp<LONG>(args.CompressionRatio, 0, 100));

    // 6. The parameter list.
    WindowParams window{};
    WindowDescriptor& d = window.Descriptor;
    window.Header.wBlockLengthInBytes = kWindowDescriptorSize;
    d.byWindowIdentifier = kWindowFront;
    d.wXRes = static_cast<WORD>(args.DPI);
    d.wYRes = static_cast<WORD>(args.DPI);
    d.dwUpperLeftX = 0;
    d.dwUpperLeftY = 0;
    d.byBrightness = static_cast<BYTE>(args.Brightness);
    d.byThreshold = static_cast<BYTE>(args.Threshold);
    d.byContrast = static_cast<BYTE>(args.Contrast);
    d.bySupportedFeatures_0x2E = 0x30;
    d.byStopMode = 0;
    // 7. Gamma.
    if (args.UseGammaTable && args.BitsPerPixel != 1)
        d.byGammaCorrection = 0x80;
    // 8. Double-feed detection.
    if (args.DFD) {
        d.bySupportedFeatures_0x29 |= static_cast<BYTE>(args.DFDAction);
        d.bySupportedFeatures_0x38 |= 0x10;
        d.bySupportedFeatures_0x2D |= static_cast<BYTE>(args.DFDSensitivity);
    }
    // 9. Image type; a compression the depth cannot take is dropped.
    switch (args.BitsPerPixel) {
    case 1:
        d.byImgComposition = 0;
        d.byBitsPerPixel = 1;
        d.byContrast = 0;
        if (args.Compression == 2) {
            d.byCompressionType = 3;
            d.byCompressionTypeArg = 0;
            d.bySupportedFeatures_0x2E = 0x30;
        } else {
            compression = 0;
        }
        if (args.NoiseReductionWindow) {
            d.byNoiseReduction = static_cast<BYTE>(args.NoiseReductionWindow);
            if (args.NoiseReductionColor)
                d.byNoiseReduction = static_cast<BYTE>(d.byNoiseReduction + 0x80);
        }
        break;
    case 8:
        d.byImgComposition = 2;
        d.byBitsPerPixel = 8;
        if (args.Compression == 1) {
            d.byCompressionType = 0x81;
            d.byCompressionTypeArg = ratio;
            d.bySupportedFeatures_0x2E = 0x00;
        } else {
            compression = 0;
        }
        break;
    case 24:
        d.byImgComposition = 5;
        d.byBitsPerPixel = 24;
        if (args.Compression == 1) {
            d.byCompressionType = 0x81;
            d.byCompressionTypeArg = ratio;
            d.bySupportedFeatures_0x2E = 0x30;
        } else {
            compression = 0;
        }
        break;
    default:
        break;
    }
    // 10. Mirror.
    if (args.HardwareMirror)
        d.byMirrorImage = 0x80;
    // 11. Inversion. The scanner's raw 1-bit polarity is the inverse of what
    // the clients expect, so uncompressed 1 bit is inverted unless asked not to.
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
    // 12. Automatic threshold.
    if (args.AutomaticThreshold) {
        d.byBrightness = 0;
        d.byThreshold = 0;
        d.byAutoThresholdMode = static_cast<BYTE>(args.AutomaticThreshold);
    }
    // 13. Halftone.
    if (args.Dither) {
        d.byImgComposition = 1;
        d.wHalfTonePattern = static_cast<WORD>(args.Dither - 1);
    }
    // 14. Automatic separation.
    if (args.AutomaticSeparation)
        d.byAutoSeparatonMode = 0x80;
    // 15. White level.
    if (args.WhiteLevelFromPaper == 1)
        d.byStdWhiteLevelMode = 0x80;
    else if (args.WhiteLevelFromPaper == 2)
        d.byStdWhiteLevelMode = 0x81;
    // 16. Colour dropout.
    if (args.SimpleColorDropout)
        d.bySupportedFeatures_0x2D |= static_cast<BYTE>(args.SimpleColorDropout << 4);
    // 17. Stop on skew.
    if (args.StopSkew)
        d.bySupportedFeatures_0x29 |= 0x10;
    // 18. Deskew.
    if (args.Deskew)
        d.bySupportedFeatures_0x38 |= static_cast<BYTE>(args.Deskew << 5);
    // 19. Sheets to feed.
    if (args.Pages == 0)
        d.byContinuScanningPage = 0xFF;
    else if (m_duplex)
        d.byContinuScanningPage = static_cast<BYTE>((static_cast<LONGLONG>(args.Pages) + 1) / 2);
    else
        d.byContinuScanningPage = static_cast<BYTE>(args.Pages);
    // 20. Length.
    d.byDocumentSize = args.LengthControl ? 0x40 : 0;
    if (args.LongPaper)
        d.byDocumentSize = static_cast<BYTE>(d.byDocumentSize + 0x20);
    // 21. Fit to page.
    if (args.FitToPage)
        d.bySupportedFeatures_0x38 |= 0x04;
    // 22. Margin.
    if (args.Margin)
        d.bySupportedFeatures_0x3E |= 0x30;

    // 23. Geometry in 1/1200 inch. The client's values are unchecked, so the
    // arithmetic runs in 64 bits and the results are kept within 32.
    const LONGLONG dpi = args.DPI;
    const LONGLONG documentWidth = std::max<LONGLONG>(0, LONGLONG{width} * kUnitsPerInch / 1000);
    const LONGLONG length = std::max<LONGLONG>(0, LONGLONG{args.Height} * kUnitsPerInch / 1000);
    d.dwDocumentWidth = ToDword(documentWidth);
    d.dwLength = ToDword(length);
    d.dwDocumentLength = d.dwLength;
    LONGLONG pixels = 0;
    LONGLONG lines = 0;
    if (dpi > 0) {
        pixels = ToDword((dpi * documentWidth / kUnitsPerInch) & ~LONGLONG{15});
        lines = ToDword(dpi * length / kUnitsPerInch);
        d.dwWidth = ToDword(pixels * kUnitsPerInch / dpi);
    }
    const DWORD bytesPerLine = ToDword(BytesPerLineFor(pixels, args.BitsPerPixel));

    // 24. A new job: the production state starts over.
    m_scanJob.FreePageBuffer();
    m_scanJob.ClearSheet();
    m_scanJob.compression = compression;
    m_scanJob.pixelsPerLine = static_cast<DWORD>(pixels);
    m_scanJob.lines = static_cast<DWORD>(lines);
    m_scanJob.bytesPerLine = bytesPerLine;
    m_scanJob.pageSize = ULONGLONG{bytesPerLine} * static_cast<ULONGLONG>(lines);
    m_scanJob.sidesRequested = static_cast<DWORD>(args.Pages);
    m_scanJob.sidesDone = 0;
    m_scanJob.firstProduce = true;
    Put(args.PixelsPerLine, m_scanJob.pixelsPerLine);
    Put(args.Lines, m_scanJob.lines);
    Put(args.BytesPerLine, m_scanJob.bytesPerLine);

    BOOL result = FALSE;
    if (dpi <= 0) {
        // No geometry can follow from it; nothing is sent, and a production
        // request without a configured line size fails.
        if (IsLogging(LOG_ERROR))
            LogError(u"S_ConfigScan: invalid resolution %d", args.DPI);
    } else if (!WaitScannerReady(kReadyTimeoutMs)) {  // 25.
        if (IsLogging(LOG_ERROR))
            LogError(u"S_ConfigScan: scanner not ready");
    } else if (!m_interface.SetWindow(&window)) {  // 26.
        if (IsLogging(LOG_ERROR))
            LogError(u"S_ConfigScan: SET WINDOW failed");
    } else {
        // 27. The scanner's own line size replaces the computed one.
        BYTE lineInfo[kLineInfoSize] = {};
        if (!m_interface.ReadLineInfo(lineInfo, false, 0)) {
            m_scanJob.shortRead = true;
        } else {
            DWORD replyPixels = 0;
            DWORD replyLines = 0;
            std::memcpy(&replyPixels, lineInfo, sizeof replyPixels);
            std::memcpy(&replyLines, lineInfo + 4, sizeof replyLines);
            m_scanJob.pixelsPerLine = replyPixels;
            m_scanJob.lines = replyLines;
            m_scanJob.bytesPerLine = ToDword(BytesPerLineFor(replyPixels, d.byBitsPerPixel));
            m_scanJob.pageSize = ULONGLONG{m_scanJob.bytesPerLine} * replyLines;
            Put(args.PixelsPerLine, m_scanJob.pixelsPerLine);
            Put(args.Lines, m_scanJob.lines);
            Put(args.BytesPerLine, m_scanJob.bytesPerLine);
            // 28. The back window is the front one under the back's id.
            if (m_duplex) {
                d.byWindowIdentifier = kWindowBack;
                result = m_interface.SetWindow(&window) ? TRUE : FALSE;
            } else {
                result = TRUE;
            }
            // 29. The first read of the job waits for buffered data.
            m_scanJob.shortRead = true;
        }
    }
    // A refusal says why, in the codes of a failed band, so that the client
    // learns it before asking for the first band.
    if (!result && args.Status) {
        SenseData sense{};
        if (dpi > 0)
            m_interface.GetSense(&sense);
        *args.Status = PayloadStatusFromSense(sense, kStatusScannerError);
    }
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"S_ConfigScan Params: PixelsPerLine = %d, Lines = %d, BytesPerLine = %d",
                     m_scanJob.pixelsPerLine, m_scanJob.lines, m_scanJob.bytesPerLine);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"S_ConfigScan Exit. [%s]", TrueFalse(result != FALSE));
    return result;
}
