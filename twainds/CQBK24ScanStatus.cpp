// Band status of a scan: the status line, the retry question of a failed
// page and the condition code it becomes; the gamma tables and the feeder's
// paper sensor, both device controls sent around a scan.
#include "twainds/CQBK24DataSource.h"

#include "twainds/GammaTables.h"

#include <string>

namespace {

constexpr LONG HCC_READ_DOCUMENT = 4;
constexpr LONG HCC_GAMMA_CHANNEL1 = 13;
constexpr LONG HCC_GAMMA_CHANNEL2 = 14;
constexpr LONG HCC_GAMMA_CHANNEL3 = 15;
constexpr LONG HCC_GAMMA_GRAY = 16;

constexpr UINT IDS_SCAN_ERROR_CAPTION = 10200;
constexpr UINT IDS_NO_DOCUMENT = 10280;
constexpr UINT IDS_SCANNER_ERROR = 10288;
// MB_RETRYCANCEL | MB_ICONWARNING | MB_SETFOREGROUND
constexpr UINT kScanErrorBoxStyle = 0x10035;
// The longest the settings dialog's messages are pumped after a band.
constexpr DWORD kStatusPumpMs = 50;
constexpr UINT IDS_READY_TO_SCAN = 10290;
constexpr UINT IDS_SCANNING = 10291;

// What the source makes of one band status.
struct BandStatusRow {
    LONG status;
    UINT statusLine;
    UINT question; // 0: the page fails at once
    TW_UINT16 conditionCode;
};

constexpr BandStatusRow kBandStatusRows[] = {
    {1, 10288, 0, TWCC_OPERATIONERROR},      {2, 10280, 10272, TWCC_OPERATIONERROR},
    {3, 10282, 10274, TWCC_PAPERDOUBLEFEED}, {4, 10284, 10276, TWCC_OPERATIONERROR},
    {5, 10287, 10279, TWCC_OPERATIONERROR},  {6, 10285, 10277, TWCC_OPERATIONERROR},
    {7, 10283, 10275, TWCC_OPERATIONERROR},  {8, 10281, 10273, TWCC_PAPERJAM},
    {9, 10286, 10278, TWCC_OPERATIONERROR},  {-1, 10289, 0, TWCC_CHECKDEVICEONLINE},
};

std::string LoadResourceString(HMODULE module, UINT id)
{
    char text[256] = {};
    const int length = LoadStringA(module, id, text, sizeof(text));
    return length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string();
}

const BandStatusRow* FindBandStatus(LONG status)
{
    for (const BandStatusRow& row : kBandStatusRows) {
        if (row.status == status)
            return &row;
    }
    return nullptr;
}

} // namespace

bool CQBK24DataSource::GetFeederLoaded()
{
    // Transfers are ready or under way: the feeder is not asked.
    if (GetState() > 5)
        return true;
    BYTE input[2] = {};
    BYTE output[2] = {};
    if (!SendDeviceControl(HCC_READ_DOCUMENT, input, sizeof(input), output, sizeof(output)))
        return false;
    return output[0] != 0;
}

bool CQBK24DataSource::DownloadGammaTables()
{
    switch (GetPixelTypeCurrent()) {
    case TWPT_BW:
        return true;
    case TWPT_GRAY:
        return SendDeviceControl(HCC_GAMMA_GRAY, qbk24::GammaGray().data(), 256, nullptr, 0);
    default:
        if (!SendDeviceControl(HCC_GAMMA_CHANNEL1, qbk24::GammaChannel1().data(), 256, nullptr, 0) ||
            !SendDeviceControl(HCC_GAMMA_CHANNEL2, qbk24::GammaChannel2().data(), 256, nullptr, 0))
            return false;
        return SendDeviceControl(HCC_GAMMA_CHANNEL3, qbk24::GammaChannel3().data(), 256, nullptr, 0);
    }
}

UINT CQBK24DataSource::StatusTextId()
{
    if (const BandStatusRow* row = FindBandStatus(BandStatus))
        return row->statusLine;
    if (GetState() < 7)
        return GetFeederLoaded() ? IDS_READY_TO_SCAN : IDS_NO_DOCUMENT;
    return IDS_SCANNING;
}

TW_UINT16 CQBK24DataSource::BandConditionCode()
{
    const BandStatusRow* row = FindBandStatus(BandStatus);
    return row ? row->conditionCode : TWCC_OPERATIONERROR;
}

UINT CQBK24DataSource::BandStatusLine()
{
    const BandStatusRow* row = FindBandStatus(BandStatus);
    return row ? row->statusLine : IDS_SCANNER_ERROR;
}

int CQBK24DataSource::ReportScanStatus()
{
    const BandStatusRow* row = FindBandStatus(BandStatus);
    if (row && row->question != 0 && ShowScanErrorBox(row->question) == qbk24::kAnswerRetry)
        return qbk24::kAnswerRetry;
    // The application is told that no transfers remain, and what stopped
    // the scan in the words of the status line.
    PendingXfers.Count = 0;
    ThrowFailure(BandConditionCode(), static_cast<TW_UINT16>(BandStatusLine()));
}

std::string CQBK24DataSource::GetStatusText(const TW_STATUS& status)
{
    const std::string line = status.Data != 0 ? LoadResourceString(m_hModule, status.Data) : std::string();
    return line.empty() ? CTWAINDataSource::GetStatusText(status) : line;
}

void CQBK24DataSource::UpdateStatusText()
{
    if (!MainDialog || !MainDialog->GetSafeHwnd())
        return;
    const HWND window = MainDialog->GetSafeHwnd();
    MainDialog->SetStatusText(LoadResourceString(m_hModule, StatusTextId()));
    // The dialog repaints and sees its buttons between bands: what waits
    // for it is dispatched, for at most the pump's time.
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < kStatusPumpMs && PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

int CQBK24DataSource::ShowScanErrorBox(UINT stringId)
{
    if (!GetIndicatorsCurrent())
        return qbk24::kAnswerCancel;
    HWND owner = nullptr;
    if (ProgressDialog)
        owner = ProgressDialog->GetSafeHwnd();
    else if (MainDialog)
        owner = MainDialog->GetSafeHwnd();
    const std::string text = LoadResourceString(m_hModule, stringId);
    const std::string caption = LoadResourceString(m_hModule, IDS_SCAN_ERROR_CAPTION);
    return MessageBoxA(owner, text.c_str(), caption.c_str(), kScanErrorBoxStyle);
}
