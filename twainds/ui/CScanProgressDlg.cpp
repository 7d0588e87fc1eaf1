#include "twainds/ui/CScanProgressDlg.h"

#include "platform/base/format.h"
#include "platform/ui/Theme.h"
#include "twainds/CQBK24DataSource.h"
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/ResourceText.h"
#include "twainfw/TWAINException.h"

#include <algorithm>

namespace {

// How long an update lets the dialog see its messages, at most.
constexpr DWORD kPumpMs = 50;

} // namespace

CScanProgressDlg::CScanProgressDlg(CQBK24DataSource* dataSource) : DataSource(dataSource)
{
    if (dataSource)
        m_hInstResource = dataSource->GetResourceModule();
}

CScanProgressDlg::~CScanProgressDlg()
{
    if (m_hWnd && IsWindow(m_hWnd))
        DestroyWindow();
}

int CScanProgressDlg::Percentage(LONG received, LONG total)
{
    if (total <= 0 || received <= 0)
        return 0;
    const unsigned long long percent =
        static_cast<unsigned long long>(received) * 100u / static_cast<unsigned long long>(total);
    return static_cast<int>(std::min<unsigned long long>(percent, 100u));
}

void CScanProgressDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_PROGRESS_BAR, ProgressBar);
    DDX_Control(pDX, IDC_PROGRESS_METHOD, MethodLine);
    DDX_Control(pDX, IDC_PROGRESS_IMAGE, ImageLine);
}

BOOL CScanProgressDlg::OnInitDialog()
{
    EnableThemeDialogTexture(m_hWnd, ETDT_ENABLETAB);
    CDialog::OnInitDialog();
    if (HWND parent = GetParent(m_hWnd))
        ::EnableWindow(parent, FALSE);
    CenterWindow();

    UINT method = 0;
    try {
        switch (DataSource->GetXferMechCurrent()) {
        case TWSX_NATIVE:
            method = IDS_XFER_NATIVE;
            break;
        case TWSX_FILE:
            method = IDS_XFER_FILE;
            break;
        case TWSX_MEMORY:
            method = IDS_XFER_MEMORY;
            break;
        default:
            break; // the template's text stays
        }
    } catch (const Trellis::CTWAINException&) {
    }
    if (method != 0)
        MethodLine.SetWindowText(qbk24::ResourceText(m_hInstResource, method).c_str());
    ImageLine.SetWindowText(u"");
    ProgressBar.SendMessage(PBM_SETRANGE, 0, static_cast<LPARAM>(MAKELONG(0, 100)));
    return TRUE;
}

void CScanProgressDlg::OnCancel() { Cancelled = true; }

void CScanProgressDlg::UpdateProgress()
{
    if (!m_hWnd)
        return;
    const int percentage = Percentage(DataSource->LinesReceived, DataSource->ScanHeight);
    if (percentage != LastPercentage) {
        LastPercentage = percentage;
        ProgressBar.SendMessage(PBM_SETPOS, static_cast<WPARAM>(percentage));
    }
    if (Cancelled) {
        ImageLine.SetWindowText(qbk24::ResourceText(m_hInstResource, IDS_XFER_CANCELLED).c_str());
    } else if (DataSource->ImageIndex != LastImageNumber) {
        LastImageNumber = DataSource->ImageIndex;
        const std::u16string format = qbk24::ResourceText(m_hInstResource, IDS_XFER_IMAGE);
        ImageLine.SetWindowText(plat::Format(format.c_str(), LastImageNumber + 1).c_str());
    }
    PumpMessages();
    BringWindowToTop(m_hWnd);
}

// What waits for the dialog is dispatched, for at most the pump's time; an
// empty queue ends the moment at once rather than spinning the
// application's thread.
void CScanProgressDlg::PumpMessages()
{
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < kPumpMs && PeekMessageW(&message, m_hWnd, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

BOOL CScanProgressDlg::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    if (HWND parent = GetParent(m_hWnd))
        ::EnableWindow(parent, TRUE);
    return CDialog::DestroyWindow();
}
