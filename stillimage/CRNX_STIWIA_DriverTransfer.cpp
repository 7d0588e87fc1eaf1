// One WIA transfer: the transfer buffer, the bitmap header of each page, and
// the pages pulled band by band and handed to the service, through its
// callback (memory bitmap) or its page buffer (BMP file).
#include "stillimage/CRNX_STIWIA_Driver.h"

#include "diag/OperationTrace.h"
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "stillimage/LentHal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Band statuses of the hardware service.
constexpr LONG kStatusNotConnected = -1;
constexpr LONG kStatusScannerError = 1;
constexpr LONG kStatusNoDocument = 2;
constexpr LONG kStatusMultipleFeed = 3;
constexpr LONG kStatusFeederStopped = 4;
constexpr LONG kStatusInternalError = 5;
constexpr LONG kStatusScannerStopped = 6;
constexpr LONG kStatusCoverOpen = 7;
constexpr LONG kStatusPaperJam = 8;
constexpr LONG kStatusSkew = 9;

constexpr LONG kMaxPercentBeforeEnd = 95;

// The result of a page the scanner's status cut short. A feeder that ran
// out or was stopped ends the paper (an error only before the first page);
// a fault is the matching error, so that an application never takes a jam
// for the end of the stack.
HRESULT CutPageResult(LONG status, LONG pagesDone)
{
    switch (status) {
    case kStatusNoDocument:
    case kStatusFeederStopped:
    case kStatusScannerStopped:
        return pagesDone == 0 ? WIA_ERROR_PAPER_EMPTY : WIA_STATUS_END_OF_MEDIA;
    case kStatusPaperJam:
        return WIA_ERROR_PAPER_JAM;
    case kStatusMultipleFeed:
        return WIA_ERROR_MULTI_FEED;
    case kStatusCoverOpen:
        return WIA_ERROR_COVER_OPEN;
    case kStatusNotConnected:
        return WIA_ERROR_OFFLINE;
    case kStatusSkew:
        return WIA_ERROR_PAPER_PROBLEM;
    case kStatusScannerError:
    case kStatusInternalError:
    default:
        return WIA_ERROR_GENERAL_ERROR;
    }
}

bool IsCallbackTransfer(LONG tymed) { return tymed == TYMED_CALLBACK || tymed == TYMED_MULTIPAGE_CALLBACK; }

HRESULT Tell(PMINIDRV_TRANSFER_CONTEXT pmdtc, LONG reason, LONG percent, LONG offset, LONG length,
             PMINIDRV_TRANSFER_CONTEXT argument)
{
    if (!pmdtc->pIWiaMiniDrvCallBack)
        return reason == IT_MSG_STATUS ? S_OK : E_POINTER; // progress is only news
    return pmdtc->pIWiaMiniDrvCallBack->MiniDrvCallback(reason, IT_STATUS_TRANSFER_TO_CLIENT, percent, offset, length,
                                                        argument, 0);
}

// The service's object lent to the wrapper for one transfer on the thread
// that runs it, and taken back at its end.
class TransferHal {
public:
    TransferHal(CRNX_STIWIA_Driver& driver, IRNXHALWrap* wrap) : m_hal(driver), m_wrap(wrap)
    {
        if (!m_wrap)
            return;
        m_wrap->AddRef();
        m_wrap->SetCurrentHAL(m_hal.Get());
    }
    ~TransferHal()
    {
        if (!m_wrap)
            return;
        m_wrap->SetCurrentHAL(nullptr);
        m_wrap->Release();
    }
    TransferHal(const TransferHal&) = delete;
    TransferHal& operator=(const TransferHal&) = delete;

private:
    LentHal m_hal;
    IRNXHALWrap* m_wrap;
};

// The spare buffer of a transfer: bands that cannot go straight into the
// transfer buffer wait here.
class SpareBuffer {
public:
    explicit SpareBuffer(LONG size) : m_size(size) {}
    ~SpareBuffer() { Free(); }
    SpareBuffer(const SpareBuffer&) = delete;
    SpareBuffer& operator=(const SpareBuffer&) = delete;

    BYTE* Get()
    {
        if (!m_data)
            m_data = static_cast<BYTE*>(CoTaskMemAlloc(static_cast<size_t>(m_size)));
        if (!m_data)
            _com_issue_error(E_OUTOFMEMORY);
        return m_data;
    }
    bool Holds(const BYTE* p) const { return m_data && p == m_data; }
    void Free()
    {
        CoTaskMemFree(m_data);
        m_data = nullptr;
    }

private:
    LONG m_size;
    BYTE* m_data = nullptr;
};

} // namespace

// What one transfer knows across its pages.
struct CRNX_STIWIA_Driver::PageTransfer {
    explicit PageTransfer(LONG spareSize) : spare(spareSize) {}
    LONG bandSize = 0;
    SpareBuffer spare;
    HRESULT result = S_OK;
    bool cancelled = false;
    bool endOfSession = false;
    LONG cutStatus = 0; // the scanner's status that cut the page, or 0
};

LONG CRNX_STIWIA_Driver::HandleMemory(BYTE* pWiasContext, PMINIDRV_TRANSFER_CONTEXT pmdtc)
{
    TraceEntered(*this, u"HandleMemory");
    LONG size = 0;
    if (pmdtc->bClassDrvAllocBuf) {
        size = pmdtc->lBufferSize;
    } else if (pmdtc->lBufferSize != 0) {
        // Only a buffer this driver made is freed here.
        if (m_pDriverBuffer && pmdtc->pTransferBuffer == m_pDriverBuffer) {
            CoTaskMemFree(m_pDriverBuffer);
            pmdtc->pTransferBuffer = nullptr;
            pmdtc->lBufferSize = 0;
        }
        m_pDriverBuffer = nullptr;
    } else {
        if (IsLogging(LOG_TRACE))
            LogTrace(u"- Allocating Memory");
        HRESULT hr = wiasReadPropLong(pWiasContext, WIA_IPA_MIN_BUFFER_SIZE, &size, nullptr, TRUE);
        if (FAILED(hr))
            _com_issue_error(hr);
        if (IsLogging(LOG_TRACE))
            LogTrace(u" (%d Bytes requested)", size);
        BYTE* buffer = size > 0 ? static_cast<BYTE*>(CoTaskMemAlloc(static_cast<size_t>(size))) : nullptr;
        if (!buffer) {
            if (IsLogging(LOG_ERROR))
                LogError(u" allocation FAILED");
            _com_issue_error(E_OUTOFMEMORY);
        }
        pmdtc->pTransferBuffer = buffer;
        pmdtc->lBufferSize = size;
        m_pDriverBuffer = buffer;
        if (IsLogging(LOG_TRACE))
            LogTrace(u"%d bytes allocated", size);
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"HandleMemory Exit. Size = %d", size);
    return size;
}

HRESULT CRNX_STIWIA_Driver::GetImageInformation(BYTE* pWiasContext, PMINIDRV_TRANSFER_CONTEXT pmdtc)
{
    TraceEntered(*this, u"GetImageInformation");
    HRESULT hr = wiasGetImageInformation(pWiasContext, 0, pmdtc);
    if (FAILED(hr))
        _com_issue_error(hr);
    const LONG infoOffset = IsCallbackTransfer(pmdtc->tymed) ? 0 : static_cast<LONG>(sizeof(BITMAPFILEHEADER));
    // The header lies in the buffer only where the format has one.
    if (!pmdtc->pTransferBuffer || pmdtc->lHeaderSize < infoOffset + static_cast<LONG>(sizeof(BITMAPINFOHEADER)))
        _com_issue_error(E_INVALIDARG);
    DumpTransferContext(*pmdtc);
    BYTE* header = pmdtc->pTransferBuffer;
    if (infoOffset != 0) {
        BITMAPFILEHEADER file;
        std::memcpy(&file, header, sizeof file);
        DumpBitmapFileHeader(file);
    }
    BITMAPINFOHEADER info;
    std::memcpy(&info, header + infoOffset, sizeof info);
    const LONG paletteAt = infoOffset + static_cast<LONG>(sizeof info);
    DumpBitmapInfoHeader(info, header + paletteAt, pmdtc->lHeaderSize - paletteAt);
    info.biXPelsPerMeter = static_cast<LONG>(pmdtc->lXRes * 100 / 2.54 + 1);
    info.biYPelsPerMeter = static_cast<LONG>(pmdtc->lYRes * 100 / 2.54 + 1);
    std::memcpy(header + infoOffset, &info, sizeof info);
    TraceExit(*this, u"GetImageInformation", hr);
    return hr;
}

HRESULT CRNX_STIWIA_Driver::AcquireItemData(BYTE* pWiasContext, PMINIDRV_TRANSFER_CONTEXT pmdtc)
{
    TraceEntered(*this, u"AcquireItemData");
    pmdtc->lWidthInPixels = m_lPageWidth;
    pmdtc->lLines = m_lPageLines;
    PageTransfer transfer(m_bufferSize);
    LONG pagesDone = 0;
    LONG pagesLeft = m_scan.pages != 0 ? m_scan.pages : 1;
    const TransferHal lent(*this, m_pHalWrap);
    HRESULT& hr = transfer.result;
    try {
        transfer.bandSize = std::min(HandleMemory(pWiasContext, pmdtc), m_bufferSize);
        // Nothing fits a band of no bytes: a transfer would ask for ever.
        if (transfer.bandSize <= 0)
            _com_issue_error(E_OUTOFMEMORY);
        while (pagesLeft != 0 && hr >= 0 && hr != S_FALSE) {
            TransferPage(pWiasContext, pmdtc, transfer);
            if (transfer.cancelled)
                break;
            if (transfer.cutStatus != 0) {
                // No end of page for a page cut short: it is not delivered.
                const HRESULT cut = CutPageResult(transfer.cutStatus, pagesDone);
                if (FAILED(cut))
                    _com_issue_error(cut);
                hr = cut;
                break;
            }
            if (m_scan.pages != 0)
                --pagesLeft;
            ++pagesDone;
            if (IsCallbackTransfer(pmdtc->tymed)) {
                hr = wiasSendEndOfPage(pWiasContext, pagesDone, pmdtc);
                pmdtc->cbOffset = 0;
            } else {
                const HRESULT written = wiasWritePageBufToFile(pmdtc);
                if (FAILED(written))
                    _com_issue_error(written);
            }
            if (m_bOneSheet && hr >= 0) {
                if (m_lSecondSidePending) {
                    // The back ends the one sheet asked for; sheet by sheet
                    // it is a page like the front, and the next transfer
                    // takes the next sheet.
                    m_lSecondSidePending = 0;
                    hr = m_bSheetBySheet ? S_OK : WIA_STATUS_END_OF_MEDIA;
                } else {
                    m_lSecondSidePending = 1;
                    hr = S_OK;
                }
                break;
            }
            if (!transfer.endOfSession && pagesDone != m_scan.pages)
                continue;
            if (hr < 0)
                break;
            hr = m_scan.pages != 0 && pagesDone == m_scan.pages ? S_OK : WIA_STATUS_END_OF_MEDIA;
            break;
        }
    } catch (const _com_error& error) {
        hr = error.Error();
        if (hr == WIA_ERROR_PAPER_EMPTY && pagesDone > 0)
            hr = WIA_STATUS_END_OF_MEDIA;
    } catch (...) {
        // The result stands as it was.
    }
    try {
        // A buffer that was never made needs no freeing (and must not be
        // made now).
        if (pmdtc->bClassDrvAllocBuf || pmdtc->lBufferSize != 0)
            HandleMemory(pWiasContext, pmdtc);
    } catch (...) {
        // Giving the buffer back cannot change how the transfer went.
    }
    transfer.spare.Free();
    if (hr != S_OK)
        m_lSecondSidePending = 0;
    const HRESULT result = transfer.cancelled ? S_FALSE : hr;
    TraceExit(*this, u"AcquireItemData", result);
    return result;
}

void CRNX_STIWIA_Driver::TransferPage(BYTE* pWiasContext, PMINIDRV_TRANSFER_CONTEXT pmdtc, PageTransfer& transfer)
{
    GetImageInformation(pWiasContext, pmdtc);
    LONG pageBytes = 0;
    bool firstBand = true;
    bool endOfImage = false;
    transfer.cutStatus = 0;
    if (transfer.bandSize > pmdtc->lBufferSize)
        _com_issue_error(E_OUTOFMEMORY);
    std::int64_t pageTotal = pmdtc->lImageSize;
    if (pageTotal == 0)
        pageTotal = std::int64_t{pmdtc->cbWidthInBytes} * pmdtc->lYRes * 11; // an 11-inch page
    const bool callback = IsCallbackTransfer(pmdtc->tymed);
    HRESULT& hr = transfer.result;

    while (hr != S_FALSE) {
        BYTE* destination = pmdtc->pTransferBuffer;
        if (!callback)
            destination += pageBytes;
        if (firstBand || (!callback && std::int64_t{pageBytes} + transfer.bandSize > pmdtc->lBufferSize))
            destination = transfer.spare.Get();

        const bool wasFirst = firstBand;
        LONG bytes = 0;
        bool endOfSession = false;
        LONG status = 0;
        const HRESULT read =
            ReadScan(&firstBand, transfer.bandSize, destination, &bytes, &endOfImage, &endOfSession, &status);
        if (status != 0) {
            transfer.cutStatus = status;
            return;
        }
        if (FAILED(read))
            _com_issue_error(read);
        transfer.endOfSession = transfer.endOfSession || endOfSession;
        if (bytes == 0 && !endOfImage && !endOfSession) {
            firstBand = wasFirst;
            continue;
        }

        LONG percent = 0;
        if (pageTotal > 0)
            percent = static_cast<LONG>(
                std::min<double>(pageBytes * 100.0 / static_cast<double>(pageTotal), kMaxPercentBeforeEnd));
        if (!callback) {
            if (std::int64_t{pageBytes} + bytes >= std::int64_t{pmdtc->lHeaderSize} + pmdtc->lImageSize)
                percent = 100;
            if (wasFirst)
                pageBytes += pmdtc->lHeaderSize; // the data follows the header
            if (transfer.spare.Holds(destination)) {
                if (std::int64_t{pageBytes} + bytes > pmdtc->lBufferSize)
                    _com_issue_error(E_OUTOFMEMORY);
                std::memcpy(pmdtc->pTransferBuffer + pageBytes, destination, static_cast<size_t>(bytes));
                transfer.spare.Free();
            }
            hr = Tell(pmdtc, IT_MSG_STATUS, percent, 0, 0, nullptr);
            pageBytes += bytes;
        } else {
            if (wasFirst) {
                // The header still lies at the start of the buffer.
                hr = Tell(pmdtc, IT_MSG_DATA, percent, pmdtc->cbOffset, pmdtc->lHeaderSize, pmdtc);
                transfer.cancelled = hr == S_FALSE;
                pmdtc->cbOffset += pmdtc->lHeaderSize;
                pageBytes += pmdtc->lHeaderSize;
                std::memcpy(pmdtc->pTransferBuffer, destination, static_cast<size_t>(bytes));
                transfer.spare.Free();
            }
            if (!transfer.cancelled && SUCCEEDED(hr)) {
                hr = Tell(pmdtc, IT_MSG_DATA, percent, pmdtc->cbOffset, bytes, pmdtc);
                pmdtc->cbOffset += bytes;
                pageBytes += bytes;
            }
        }
        if (IsDataLogging(LOG_TRACE))
            LogDataTrace(u"BytesTransferred: %i, tymed: %i\n", pageBytes, pmdtc->tymed);
        if (hr == S_FALSE) {
            transfer.cancelled = true;
            return;
        }
        if (FAILED(hr))
            _com_issue_error(hr);
        if (endOfImage)
            return;
    }
}
