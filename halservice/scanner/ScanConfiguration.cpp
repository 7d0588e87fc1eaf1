// Scan configuration: the client's scan settings become the scanner's
// window (front, and back for duplex), and the page geometry the scanner
// will deliver is answered back.
#include "halservice/scanner/ScannerWrap.h"

#include "halservice/LogText.h"
#include "halservice/scanner/PayloadStatus.h"
#include "halservice/scanner/ScanWindow.h"

#include <cstring>

namespace {

constexpr DWORD kReadyTimeoutMs = 40000;
constexpr LONG kMarginWidth = 600; // 1/1000 inch

void Put(DWORD* out, DWORD value)
{
    if (out)
        *out = value;
}

// The settings' width, or the width of the paper in the feeder when asked
// to detect it and the scanner tells.
LONG DetectedWidth(CQBK24Interface& scanner, const ConfigScanArgs& args)
{
    bool present = false;
    BYTE sizeCode = 0;
    if (!args.DetectPaperWidth || !scanner.ReadDocument(&present, &sizeCode))
        return args.Width;
    return PaperWidthOfSizeCode(sizeCode, args.Width);
}

// Placeholder gamma tables of zeros, front then back; the clients send the
// real ones later.
void SendGammaPlaceholders(CQBK24Interface& scanner, const ConfigScanArgs& args, bool duplex)
{
    if (!args.UseGammaTable || args.BitsPerPixel == 1)
        return;
    const BYTE zeros[kGammaTableSize] = {};
    for (bool back : {false, true}) {
        if (back && !duplex)
            break;
        if (args.BitsPerPixel == 8) {
            scanner.SendGammaCorrData(zeros, 4, back);
        } else {
            for (BYTE channel = 1; channel <= 3; ++channel)
                scanner.SendGammaCorrData(zeros, channel, back);
        }
    }
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

    LONGLONG width = DetectedWidth(m_interface, args);
    if (args.Margin)
        width += kMarginWidth;
    m_duplex = args.Duplex ? 1 : 0;
    SendGammaPlaceholders(m_interface, args, m_duplex != 0);
    ScanWindow scan = BuildScanWindow(args, width, m_duplex != 0);
    StartScanJob(scan);

    BOOL result = FALSE;
    if (args.DPI <= 0) {
        // No geometry can follow from it; nothing is sent, and a production
        // request without a configured line size fails.
        if (IsLogging(LOG_ERROR))
            LogError(u"S_ConfigScan: invalid resolution %d", args.DPI);
    } else {
        result = SendScanWindows(&scan.window);
    }
    // A refusal says why, in the codes of a failed band, so that the client
    // learns it before asking for the first band.
    if (!result && args.Status) {
        SenseData sense{};
        if (args.DPI > 0)
            m_interface.GetSense(&sense);
        *args.Status = PayloadStatusFromSense(sense, kStatusScannerError);
    }
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"S_ConfigScan Params: PixelsPerLine = %d, Lines = %d, BytesPerLine = %d", m_scanJob.pixelsPerLine,
                     m_scanJob.lines, m_scanJob.bytesPerLine);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"S_ConfigScan Exit. [%s]", TrueFalse(result != FALSE));
    return result;
}

// A new job: the production state starts over with the window's geometry.
void CScannerWrap::StartScanJob(const ScanWindow& scan)
{
    const ConfigScanArgs& args = m_funcArgs.ConfigScan;
    m_scanJob.FreePageBuffer();
    m_scanJob.ClearSheet();
    m_scanJob.compression = scan.compression;
    m_scanJob.sidesRequested = static_cast<DWORD>(args.Pages);
    m_scanJob.sidesDone = 0;
    m_scanJob.firstProduce = true;
    SetJobGeometry(scan.pixelsPerLine, scan.lines, scan.bytesPerLine);
}

// The geometry of the job, answered back through the settings' pointers.
void CScannerWrap::SetJobGeometry(DWORD pixelsPerLine, DWORD lines, DWORD bytesPerLine)
{
    const ConfigScanArgs& args = m_funcArgs.ConfigScan;
    m_scanJob.pixelsPerLine = pixelsPerLine;
    m_scanJob.lines = lines;
    m_scanJob.bytesPerLine = bytesPerLine;
    m_scanJob.pageSize = ULONGLONG{bytesPerLine} * lines;
    Put(args.PixelsPerLine, pixelsPerLine);
    Put(args.Lines, lines);
    Put(args.BytesPerLine, bytesPerLine);
}

// Once the scanner is ready: the front window, the scanner's own line size
// in place of the computed one, and the back window under the back's id.
BOOL CScannerWrap::SendScanWindows(WindowParams* window)
{
    if (!WaitScannerReady(kReadyTimeoutMs)) {
        if (IsLogging(LOG_ERROR))
            LogError(u"S_ConfigScan: scanner not ready");
        return FALSE;
    }
    if (!m_interface.SetWindow(window)) {
        if (IsLogging(LOG_ERROR))
            LogError(u"S_ConfigScan: SET WINDOW failed");
        return FALSE;
    }
    // Failed or not, the first read of the job waits for buffered data.
    m_scanJob.shortRead = true;
    BYTE lineInfo[kLineInfoSize] = {};
    if (!m_interface.ReadLineInfo(lineInfo, false, 0))
        return FALSE;
    DWORD pixels = 0;
    DWORD lines = 0;
    std::memcpy(&pixels, lineInfo, sizeof pixels);
    std::memcpy(&lines, lineInfo + 4, sizeof lines);
    SetJobGeometry(pixels, lines, BytesPerLineFor(pixels, window->Descriptor.byBitsPerPixel));
    if (!m_duplex)
        return TRUE;
    window->Descriptor.byWindowIdentifier = kWindowBack;
    return m_interface.SetWindow(window) ? TRUE : FALSE;
}
