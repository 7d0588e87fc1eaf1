// Image production: one band of image data per request into the caller's
// buffer, with its place in the job (level 1 inside a page, 2 the last band
// of a page, 6 the last band of the job) and, when it failed, why.
//
// Duplex sheets are delivered front page first, then back page, while the
// scanner may hold data of both sides at once: back-side data that comes
// while the front page is still being delivered waits in the page buffer
// (the phases of a duplex band are in DuplexSides.cpp).
#include "halservice/scanner/ScannerWrap.h"

#include "halservice/LogText.h"
#include "halservice/USBDevice.h"
#include "halservice/scanner/PayloadLevel.h"
#include "halservice/scanner/PayloadStatus.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr DWORD kDataWaitTimeoutMs = 40000;
constexpr size_t kPageBufferSlack = 65536;

} // namespace

BOOL CScannerWrap::S_Produce()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"S_Produce Entered");
    const ProduceArgs& args = m_funcArgs.Produce;
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"S_Produce Params: BufferSize = %d, Buffer = 0x%08X", args.BufferSize, Hex32(args.Buffer));
    // Without its three outputs the band could tell nobody anything.
    if (!args.BytesWritten || !args.PayloadLevel || !args.PayloadStatus) {
        if (IsLogging(LOG_TRACE))
            LogTrace(u"S_Produce Exit. [%s]", TrueFalse(false));
        return FALSE;
    }

    BOOL result = FALSE;
    bool started = true;
    if (m_scanJob.bytesPerLine == 0 || !args.Buffer || args.BufferSize == 0 ||
        (m_scanJob.compression == 0 && args.BufferSize < m_scanJob.bytesPerLine)) {
        // No configured job, or nowhere to put the band: an uncompressed
        // band is whole lines, and a buffer smaller than one line would
        // never receive any.
        *args.PayloadStatus = kStatusScannerError;
        started = false;
    } else if (m_scanJob.firstProduce) {
        m_scanJob.firstProduce = false;
        bool present = false;
        BYTE sizeCode = 0;
        if (!m_interface.ReadDocument(&present, &sizeCode) || !present || !m_interface.Scan()) {
            *args.PayloadStatus = kStatusNoPaper;
            started = false;
            SetPayloadStatusFromSense();
        }
    }
    if (started) {
        result = m_scanJob.compression != 0 ? ReadCompressedBand() : ReadBand();
        if (!result)
            SetPayloadStatusFromSense();
    }
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"S_Produce Params: BytesWritten = %d, PayloadLevel = %d, PayloadStatus = %d", *args.BytesWritten,
                     *args.PayloadLevel, *args.PayloadStatus);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"S_Produce Exit. [%s]", TrueFalse(result != FALSE));
    return result;
}

void CScannerWrap::SetPayloadStatusFromSense()
{
    SenseData sense{};
    m_interface.GetSense(&sense);
    // No sense: the status the failure set stands.
    LONG* status = m_funcArgs.Produce.PayloadStatus;
    *status = PayloadStatusFromSense(sense, *status);
    // A scanner that went away has no sense to give, and a scanner error
    // would hide why: the clients tell a scanner not connected by -1.
    if (*status == kStatusScannerError && ScannerDisconnected())
        *status = kStatusNotConnected;
}

bool CScannerWrap::ScannerDisconnected()
{
    if (!m_online.load() || !m_device)
        return true;
    // The failed transfer's reconnection found no scanner.
    return !m_device->IsOpen() || m_device->LastError() == static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED);
}

BOOL CScannerWrap::ReadBand()
{
    if (!m_duplex)
        return ReadSimplexBand();
    const ProduceArgs& args = m_funcArgs.Produce;
    if (!m_scanJob.pageBuffer) {
        const size_t size = static_cast<size_t>(m_scanJob.pageSize) + args.BufferSize + kPageBufferSlack;
        m_scanJob.pageBuffer.reset(static_cast<BYTE*>(CoTaskMemAlloc(size)));
        if (!m_scanJob.pageBuffer)
            return FailBand();
        m_scanJob.pageBufferSize = size;
    }
    const BOOL result = ReadDuplexBand();
    if (!result || *args.PayloadLevel == kLevelEndOfJob)
        m_scanJob.FreePageBuffer();
    return result;
}

BOOL CScannerWrap::ReadCompressedBand()
{
    if (m_scanJob.shortRead && !WaitForBufferedData())
        return FailBand();
    if (!m_duplex)
        return ReadCompressedSimplexBand();
    const ProduceArgs& args = m_funcArgs.Produce;
    if (!m_scanJob.pageBuffer) {
        const size_t size = static_cast<size_t>(m_scanJob.pageSize) + kPageBufferSlack;
        m_scanJob.pageBuffer.reset(static_cast<BYTE*>(CoTaskMemAlloc(size)));
        if (!m_scanJob.pageBuffer)
            return FailBand();
        m_scanJob.pageBufferSize = size;
    }
    const BOOL result = ReadCompressedDuplexBand();
    if (!result || *args.PayloadLevel == kLevelEndOfJob)
        m_scanJob.FreePageBuffer();
    return result;
}

BOOL CScannerWrap::ReadSimplexBand()
{
    const ProduceArgs& args = m_funcArgs.Produce;
    const DWORD request = args.BufferSize / m_scanJob.bytesPerLine * m_scanJob.bytesPerLine;
    // A buffer that cannot take one whole line would never get anything.
    if (request == 0)
        return FailBand();
    ULONGLONG before = 0;
    DWORD delivered = 0;
    bool endOfPage = false;
    bool shortRead = false;
    do {
        if (m_scanJob.shortRead && !WaitForBufferedData())
            return FailBand();
        before = m_scanJob.frontCount;
        if (!ReadBandOfSide(false, request, args.Buffer, &delivered, &endOfPage, &shortRead))
            return FailBand();
        *args.BytesWritten = delivered;
        m_scanJob.frontCount += delivered;
        // A short read that did not finish a line has nothing to deliver yet.
    } while (shortRead && delivered == 0 && !endOfPage);

    // A page never delivers more than its size, whichever read runs past
    // it (a sheet longer than the window, with length control).
    if (m_scanJob.frontCount > m_scanJob.pageSize)
        *args.BytesWritten = before >= m_scanJob.pageSize ? 0 : static_cast<DWORD>(m_scanJob.pageSize - before);
    if (!endOfPage) {
        *args.PayloadLevel = kLevelInPage;
        return TRUE;
    }
    m_scanJob.frontCount = 0;
    const BOOL result = EndPage();
    m_scanJob.shortRead = false;
    m_scanJob.frontEndOfPage = false;
    return result;
}

BOOL CScannerWrap::ReadCompressedSimplexBand()
{
    const ProduceArgs& args = m_funcArgs.Produce;
    DWORD got = 0;
    bool endOfPage = false;
    bool shortRead = false;
    if (!ReadSide(false, args.BufferSize, args.Buffer, &got, &endOfPage, &shortRead))
        return FailBand();
    *args.BytesWritten = got;
    if (!endOfPage) {
        m_scanJob.shortRead = false;
        *args.PayloadLevel = kLevelInPage;
        return TRUE;
    }
    const BOOL result = EndPage();
    m_scanJob.shortRead = false;
    m_scanJob.frontEndOfPage = false;
    return result;
}

BOOL CScannerWrap::ReadDuplexBand() { return ReadDuplexSides(false); }

BOOL CScannerWrap::ReadCompressedDuplexBand() { return ReadDuplexSides(true); }

BOOL CScannerWrap::ReadSide(bool backSide, DWORD count, BYTE* destination, DWORD* got, bool* endOfPage, bool* shortRead)
{
    if (!m_interface.ReadImageData(count, destination, backSide, endOfPage, got, shortRead, PageQualifier(),
                                   m_scanJob.compression != 0 ? 0 : m_scanJob.bytesPerLine)) {
        // Answered from the sense the failed read left; it fails as well.
        SenseData sense{};
        m_interface.RequestSense(&sense);
        return FALSE;
    }
    // A short read makes the next one wait for buffered data; a whole one
    // shows data flowing, so the next read goes at once. (The configuration
    // sets the flag only so that the job's first read waits.)
    m_scanJob.shortRead = *shortRead;
    if (*endOfPage) {
        if (backSide)
            m_scanJob.backEndOfPage = true;
        else
            m_scanJob.frontEndOfPage = true;
    }
    return TRUE;
}

// One band's read of a side into the caller's buffer, at most `room` bytes
// (whole lines). Compressed data is a stream of bytes and goes as it comes.
// An uncompressed band is whole lines wherever the scanner's READ ends: the
// start of a line that the side's last READ ended inside comes first, then
// the READ of the rest, and the start of a line this READ ends inside waits
// for the side's next band.
BOOL CScannerWrap::ReadBandOfSide(bool backSide, DWORD room, BYTE* destination, DWORD* delivered, bool* endOfPage,
                                  bool* shortRead)
{
    if (m_scanJob.compression != 0)
        return ReadSide(backSide, room, destination, delivered, endOfPage, shortRead);
    std::vector<BYTE>& part = m_scanJob.partLine[backSide ? 1 : 0];
    // Less than one line, and room is one line at least: the READ asks for
    // one byte or more.
    const DWORD carried = static_cast<DWORD>(part.size());
    if (carried > 0)
        std::memcpy(destination, part.data(), carried);
    DWORD got = 0;
    if (!ReadSide(backSide, room - carried, destination + carried, &got, endOfPage, shortRead))
        return FALSE;
    const DWORD total = carried + got;
    const DWORD whole = total - total % m_scanJob.bytesPerLine;
    if (*endOfPage) {
        LeaveOutCutLine(total - whole);
        part.clear();
    } else if (!KeepPartLine(backSide, destination + whole, total - whole)) {
        return FALSE;
    }
    *delivered = whole;
    return TRUE;
}

bool CScannerWrap::KeepPartLine(bool backSide, const BYTE* bytes, size_t count)
{
    try {
        m_scanJob.partLine[backSide ? 1 : 0].assign(bytes, bytes + count);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// A page whose data ends inside a line: that line is left out rather than
// handed on as a line the scanner never finished.
void CScannerWrap::LeaveOutCutLine(size_t bytes)
{
    if (bytes > 0 && IsLogging(LOG_WARNING))
        LogWarning(u"Page ended inside a line: %d bytes of it left out", static_cast<int>(bytes));
}

BYTE CScannerWrap::PageQualifier() const
{
    return static_cast<BYTE>(m_duplex ? m_scanJob.sidesDone / 2 : m_scanJob.sidesDone);
}

BOOL CScannerWrap::WaitForBufferedData()
{
    DWORD count = 0;
    return WaitForDataBuffer(kDataWaitTimeoutMs, &count) && count != 0;
}

// A page has been delivered: level 2, and the job ends when it has all the
// sides it asked for or nothing more comes.
BOOL CScannerWrap::EndPage()
{
    *m_funcArgs.Produce.PayloadLevel = kLevelEndOfPage;
    ++m_scanJob.sidesDone;
    if (m_scanJob.sidesRequested != 0 && m_scanJob.sidesDone >= m_scanJob.sidesRequested) {
        EndJob();
        return TRUE;
    }
    return NextSheetCheck();
}

BOOL CScannerWrap::NextSheetCheck()
{
    DWORD count = 0;
    if (!WaitForDataBuffer(kDataWaitTimeoutMs, &count)) {
        *m_funcArgs.Produce.PayloadStatus = kStatusScannerError;
        return FALSE;
    }
    if (count == 0)
        EndJob();
    return TRUE;
}

void CScannerWrap::EndJob()
{
    *m_funcArgs.Produce.PayloadLevel = kLevelEndOfJob;
    // Releases the scanner's windows.
    m_interface.SetWindow(nullptr);
}

void CScannerWrap::FinishSheet()
{
    if (m_scanJob.frontEndOfPage && m_scanJob.backEndOfPage && m_scanJob.backHeld == 0)
        m_scanJob.ClearSheet();
}

BOOL CScannerWrap::FailBand()
{
    *m_funcArgs.Produce.PayloadStatus = kStatusScannerError;
    return FALSE;
}
