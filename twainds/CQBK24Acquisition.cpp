// The road of a scan inside the data source: the acquisition accepted and
// its pipeline built, each image's transfer fed band by band from the
// pipeline, and the end of each page and of the session.
#include "twainds/CQBK24DataSource.h"

#include "platform/com/ComPtr.h"
#include "platform/ui/Display.h"
#include "platform/base/strings.h"
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/ResourceText.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr LONG HCC_STOP_ADF = 0;
constexpr LONG HCC_CLEAR_WINDOW = 5;
constexpr UINT IDS_NO_PAPER_QUESTION = 10272;

// Compressed data is read in pieces of this size, whatever the caller has.
constexpr TW_UINT32 kCompressedPiece = 65000;
constexpr TW_UINT16 kUnknownCount = 0xFFFF;

constexpr LONG kInsidePage = 1;
constexpr LONG kLastBandOfPage = 2;
constexpr LONG kLastBandOfSession = 6;

void CheckCom(HRESULT hr)
{
    if (FAILED(hr))
        _com_issue_error(hr);
}

} // namespace

bool CQBK24DataSource::UndefinedLength()
{
    return IsCapSupported(ICAP_UNDEFINEDIMAGESIZE) && GetUndefinedImageSizeCurrent() && AutoCropLength;
}

void CQBK24DataSource::UndoUndefinedSizeForced()
{
    if (UndefinedSizeForced) {
        SetUndefinedImageSizeCurrent(false);
        UndefinedSizeForced = false;
    }
}

void CQBK24DataSource::EnableUserInterface(Trellis::CTWAINWindow* parent, bool showUI, bool uiOnly)
{
    // An application would wait for a dialog that no one can see.
    if ((showUI || uiOnly) && !plat::ui::CanShowWindows())
        ThrowFailure(TWCC_LOWMEMORY);
    Trellis::CTWAINDataSource::EnableUserInterface(parent, showUI, uiOnly);
    // Without a dialog nobody else can end an acquisition that was not
    // accepted (the feeder stayed empty): the application is asked to close.
    if (!showUI && !uiOnly && GetState() < 6)
        SignalCloseDSRequest();
}

bool CQBK24DataSource::BeginAcquisition(TW_IMAGEINFO* imageInfo)
{
    UndefinedSizeForced = false;
    if (IsCapSupported(ICAP_UNDEFINEDIMAGESIZE) && GetXferMechCurrent() != TWSX_MEMORY &&
        !GetUndefinedImageSizeCurrent() && AutoCropLength) {
        SetUndefinedImageSizeCurrent(true);
        UndefinedSizeForced = true;
    }

    bool accepted = Trellis::CTWAINDataSource::BeginAcquisition(imageInfo);

    // The first image of an acquisition; later ones keep the pipeline.
    if (GetState() < 7) {
        bool loaded = GetFeederLoaded();
        while (!loaded && ShowScanErrorBox(IDS_NO_PAPER_QUESTION) == qbk24::kAnswerRetry)
            loaded = GetFeederLoaded();
        if (loaded) {
            BuildPipeline();
            const TW_INT16 count = GetXferCountCurrent();
            PendingXfers.Count = count == -1 ? kUnknownCount : static_cast<TW_UINT16>(count);
            ImageIndex = 0;
            BandStatus = 0;
            PageInterrupted = false;
        } else {
            accepted = false;
        }
    }

    imageInfo->ImageWidth = ScanWidth;
    imageInfo->ImageLength = UndefinedLength() ? -1 : ScanHeight;
    return accepted;
}

void CQBK24DataSource::BeginImageTransfer(TW_UINT16, TW_INT32* rawLineLength)
{
    *rawLineLength = ScanBytesPerLine;
    LinesReceived = 0;
    PageBytesReceived = 0;
    StagedOffset = StagedLength = 0;
    StagedImageComplete = false;

    // The page before ended on a device status: the user decides now.
    if (PageInterrupted) {
        PageInterrupted = false;
        ReportScanStatus();
        ReleasePipeline();
        BuildPipeline();
        m_ImageInfo.ImageWidth = ScanWidth;
        if (!UndefinedLength())
            m_ImageInfo.ImageLength = ScanHeight;
    }

    if (!ProgressDialog && GetIndicatorsCurrent() && plat::ui::CanShowWindows())
        CreateProgressDialog();
    if (ProgressDialog) {
        ProgressDialog->UpdateProgress();
        if (ProgressDialog->Cancelled)
            ThrowCancel();
    }
}

bool CQBK24DataSource::ReadImageData(TW_MEMREF buffer, TW_UINT32 size, TW_UINT32* bytesRead, TW_UINT16 compression)
{
    *bytesRead = 0;
    BYTE* bytes = static_cast<BYTE*>(buffer);
    if (compression == TWCP_NONE)
        return ReadImageBand(bytes, size, bytesRead, false);
    // The pipeline never writes past the caller's buffer: a smaller one is
    // served from the source's own.
    if (size < kCompressedPiece)
        return ReadStagedBand(bytes, size, bytesRead);
    return ReadImageBand(bytes, kCompressedPiece, bytesRead, true);
}

bool CQBK24DataSource::ReadStagedBand(BYTE* buffer, TW_UINT32 size, TW_UINT32* bytesRead)
{
    if (StagedOffset == StagedLength) {
        StagedBand.resize(kCompressedPiece);
        TW_UINT32 written = 0;
        StagedOffset = StagedLength = 0;
        StagedImageComplete = ReadImageBand(StagedBand.data(), kCompressedPiece, &written, true);
        StagedLength = written;
    } else {
        CheckAbort();
    }
    const size_t count = std::min<size_t>(size, StagedLength - StagedOffset);
    std::memcpy(buffer, StagedBand.data() + StagedOffset, count);
    StagedOffset += count;
    *bytesRead = static_cast<TW_UINT32>(count);
    return StagedImageComplete && StagedOffset == StagedLength;
}

bool CQBK24DataSource::ReadImageBand(BYTE* buffer, TW_UINT32 size, TW_UINT32* bytesRead, bool compressed)
{
    if (!RasterBand || !PipelineSource)
        ThrowFailure(TWCC_OPERATIONERROR);
    const LONG room = static_cast<LONG>(std::min<TW_UINT32>(size, 0x7FFFFFFF));
    for (;;) {
        CheckCom(RasterBand->put_Buffer(buffer));
        CheckCom(RasterBand->put_BufferSize(room));
        IDispatch* band = RasterBand;
        CheckCom(PipelineSource->Produce(&band));

        LONG written = 0;
        CheckCom(RasterBand->get_BytesWritten(&written));
        written = std::clamp<LONG>(written, 0, room);
        *bytesRead = static_cast<TW_UINT32>(written);
        PageBytesReceived += static_cast<TW_UINT32>(written);
        plat::ComPtr<IRNXPayload> payload;
        CheckCom(RasterBand->QueryInterface(IID_IRNXPayload, payload.ReleaseAndGetVoidAddress()));
        CheckCom(payload->get_SessionLevel(&BandLevel));
        CheckCom(payload->get_Status(&BandStatus));
        if (!compressed) {
            LONG bytesPerLine = 0;
            CheckCom(RasterBand->get_BytesPerLine(&bytesPerLine));
            // A band without a line length adds no lines.
            if (bytesPerLine > 0)
                LinesReceived += written / bytesPerLine;
        }
        UpdateStatusText();

        bool complete = false;
        if (BandLevel == kInsidePage && BandStatus == 0) {
            complete = false;
        } else if (BandLevel == 0 && BandStatus == 0) {
            ThrowFailure(TWCC_OPERATIONERROR);
        } else {
            if (compressed)
                LinesReceived = m_ImageInfo.ImageLength;
            if (PendingXfers.Count != kUnknownCount && PendingXfers.Count != 0)
                --PendingXfers.Count;
            ++ImageIndex;
            complete = true;
            if (BandStatus != 0) {
                // Compressed data counts no lines: whether any of the page
                // came decides, so that an empty page is never handed out.
                PageInterrupted = compressed ? PageBytesReceived != 0 : LinesReceived != 0;
                if (PageInterrupted) {
                    // The page ends here; the question comes with the next image.
                    BandLevel = kLastBandOfPage;
                } else {
                    --ImageIndex;
                    if (PendingXfers.Count != kUnknownCount)
                        ++PendingXfers.Count;
                    ReportScanStatus();
                    ReleasePipeline();
                    BuildPipeline();
                    m_ImageInfo.ImageWidth = ScanWidth;
                    m_ImageInfo.ImageLength = UndefinedLength() ? -1 : ScanHeight;
                    BandLevel = 0;
                    continue;
                }
            } else if (UndefinedLength()) {
                ScanHeight = LinesReceived;
                m_ImageInfo.ImageLength = LinesReceived;
            }
            UndoUndefinedSizeForced();
        }
        CheckAbort();
        return complete;
    }
}

void CQBK24DataSource::CheckAbort()
{
    if (!ProgressDialog)
        return;
    ProgressDialog->UpdateProgress();
    if (ProgressDialog->Cancelled) {
        BandLevel = 0;
        SendDeviceControl(HCC_STOP_ADF, nullptr, 0, nullptr, 0);
        SendDeviceControl(HCC_CLEAR_WINDOW, nullptr, 0, nullptr, 0);
        ThrowCancel();
    }
}

TW_PENDINGXFERS CQBK24DataSource::QueryPendingXfers()
{
    if (ProgressDialog) {
        ProgressDialog->UpdateProgress();
        if (ProgressDialog->Cancelled)
            return TW_PENDINGXFERS{0, {0}};
    }
    if (GetState() < 7)
        return GetFeederLoaded() ? PendingXfers : TW_PENDINGXFERS{0, {0}};
    return BandLevel == kLastBandOfSession ? TW_PENDINGXFERS{0, {0}} : PendingXfers;
}

TW_PENDINGXFERS CQBK24DataSource::EndXfer()
{
    PendingXfers = QueryPendingXfers();
    if (PendingXfers.Count == 0) {
        DestroyProgressDialog();
        if (MainDialog)
            MainDialog->ShowDoneButton();
    }
    UndoUndefinedSizeForced();
    return PendingXfers;
}

void CQBK24DataSource::StopAcquisition()
{
    PendingXfers.Count = 0;
    StagedOffset = StagedLength = 0;
    DestroyProgressDialog();
    if (MainDialog)
        MainDialog->ShowDoneButton();
    UndoUndefinedSizeForced();
}

// Over the settings dialog, which it disables while it exists; made only
// where a window can reach the user.
void CQBK24DataSource::CreateProgressDialog()
{
    std::unique_ptr<CScanProgressDlg> dialog(new (std::nothrow) CScanProgressDlg(this));
    if (!dialog)
        ThrowFailure(TWCC_LOWMEMORY);
    if (!dialog->CreateOwned(IDD_SCAN_PROGRESS, MainDialog ? MainDialog->GetSafeHwnd() : nullptr))
        ThrowFailure(TWCC_LOWMEMORY);
    const std::u16string title = Utf8ToUtf16(FriendlyName) + u": " + qbk24::ResourceText(m_hModule, IDS_SCAN_PROGRESS);
    dialog->SetWindowText(title.c_str());
    dialog->ShowWindow(SW_SHOW);
    ProgressDialog = dialog.release();
    ProgressDialog->UpdateProgress();
}

void CQBK24DataSource::DestroyProgressDialog()
{
    if (ProgressDialog) {
        ProgressDialog->DestroyWindow();
        delete ProgressDialog;
        ProgressDialog = nullptr;
    }
}
