#include "twainds/ui/CMainDSDlg.h"

#include "platform/ui/Theme.h"
#include "twainds/CQBK24DataSource.h"
#include "twainds/ui/CPropPageAbout.h"
#include "twainds/ui/CPropPageDocumentSettings.h"
#include "twainds/ui/CPropPageImageEnhancement.h"
#include "twainds/ui/CPropPageProfiles.h"
#include "twainds/ui/CPropPageScanSettings.h"
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/ResourceText.h"
#include "twainfw/TWAINException.h"

#include <functional>
#include <new>

namespace {

constexpr UINT_PTR kStatusTimerId = 1;
constexpr UINT kStatusTimerPeriodMs = 500;
// The framework's help command.
constexpr WORD ID_HELP = 0xE146;
constexpr int kPageMargin = 8;

// Builds one page: constructed, created and given its tab, or deleted and
// null when any of that fails. A page that throws while being built is
// left out; the dialog goes on with the next.
template <class Make>
auto BuildPage(Make make, const std::function<bool(CDialog&)>& add) -> decltype(make())
{
    decltype(make()) page = nullptr;
    try {
        page = make();
        if (page && add(*page))
            return page;
    } catch (const Trellis::CTWAINException&) {
    } catch (const std::bad_alloc&) {
    }
    delete page;
    return nullptr;
}

} // namespace

CMainDSDlg::CMainDSDlg(CQBK24DataSource* dataSource, bool setupOnly)
{
    DataSource = dataSource;
    SetupOnly = setupOnly;
    if (dataSource)
        m_hInstResource = dataSource->GetResourceModule();
}

CMainDSDlg::~CMainDSDlg()
{
    // The window goes first, so no message reaches a deleted page.
    if (m_hWnd && IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    delete ProfilesPage;
    delete ScanSettingsPage;
    delete ImageEnhancementPage;
    delete DocumentSettingsPage;
    delete AboutPage;
}

CQBK24DataSource* CMainDSDlg::Source() const { return static_cast<CQBK24DataSource*>(DataSource); }

void CMainDSDlg::SetStatusText(const std::string& text)
{
    if (StatusLine.m_hWnd)
        SetWindowTextA(StatusLine.m_hWnd, text.c_str());
}

void CMainDSDlg::ShowDoneButton()
{
    if (HWND cancel = GetDlgItem(IDCANCEL))
        SetWindowTextW(cancel, qbk24::ResourceText(m_hInstResource, IDS_DONE).c_str());
}

void CMainDSDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_MAIN_TABS, Tabs);
    DDX_Control(pDX, IDC_MAIN_STATUS, StatusLine);
}

BOOL CMainDSDlg::OnInitDialog()
{
    EnableThemeDialogTexture(m_hWnd, ETDT_ENABLETAB);
    CDialog::OnInitDialog();
    if (HWND help = GetDlgItem(IDHELP))
        ::EnableWindow(help, FALSE);
    Tabs.ModifyStyleEx(0, WS_EX_CONTROLPARENT);

    // The page area: inside the tab control's client area, below the row
    // of tab headers (asked before any tab exists).
    RECT client{};
    Tabs.GetClientRect(&client);
    RECT header{};
    Tabs.GetItemRect(0, &header);
    RECT area{};
    area.left = client.left + kPageMargin;
    area.top = header.bottom + kPageMargin;
    area.right = area.left + (client.right - client.left - 2 * kPageMargin);
    area.bottom = client.bottom - kPageMargin;

    int position = 0;
    const auto add = [&](UINT templateId, UINT captionId) {
        return [this, &area, &position, templateId, captionId](CDialog& page) {
            return AddPage(page, templateId, captionId, area, position);
        };
    };
    // In template order: the tabs follow it.
    ProfilesPage =
        BuildPage([this] { return new CPropPageProfiles(Source()); }, add(IDD_PAGE_PROFILES, IDS_TAB_CONFIGURATIONS));
    ScanSettingsPage = BuildPage([this] { return new CPropPageScanSettings(Source()); },
                                 add(IDD_PAGE_SCAN_SETTINGS, IDS_TAB_SCAN_SETTINGS));
    DocumentSettingsPage = BuildPage([this] { return new CPropPageDocumentSettings(Source()); },
                                     add(IDD_PAGE_DOCUMENT_SETTINGS, IDS_TAB_DOCUMENT_SETTINGS));
    ImageEnhancementPage = BuildPage([this] { return new CPropPageImageEnhancement(Source()); },
                                     add(IDD_PAGE_IMAGE_ENHANCEMENT, IDS_TAB_IMAGE_ENHANCEMENTS));
    AboutPage = BuildPage([this] { return new CPropPageAbout(Source()); }, add(IDD_PAGE_ABOUT, IDS_TAB_ABOUT));

    if (!SetupOnly) {
        if (HWND ok = GetDlgItem(IDOK))
            SetWindowTextW(ok, qbk24::ResourceText(m_hInstResource, IDS_SCAN).c_str());
    }
    StatusTimer = SetTimer(kStatusTimerId, kStatusTimerPeriodMs);
    return TRUE;
}

bool CMainDSDlg::AddPage(CDialog& page, UINT templateId, UINT captionId, const RECT& area, int& position)
{
    if (!page.Create(templateId, &Tabs))
        return false;
    // The first page that gets a tab is the one on view.
    const UINT show = position == 0 ? SWP_SHOWWINDOW : SWP_HIDEWINDOW | SWP_NOACTIVATE;
    page.SetWindowPos(HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top, show);
    page.ModifyStyleEx(0, WS_EX_CONTROLPARENT);
    const std::u16string caption = qbk24::ResourceText(m_hInstResource, captionId);
    if (Tabs.InsertItem(TCIF_TEXT | TCIF_PARAM, position, caption.c_str(), static_cast<LPARAM>(captionId)) >= 0)
        ++position;
    return true;
}

std::vector<CMainDSDlg::PageSlot> CMainDSDlg::PageSlots() const
{
    return {
        {ProfilesPage, IDS_TAB_CONFIGURATIONS},
        {ScanSettingsPage, IDS_TAB_SCAN_SETTINGS},
        {ImageEnhancementPage, IDS_TAB_IMAGE_ENHANCEMENTS},
        {DocumentSettingsPage, IDS_TAB_DOCUMENT_SETTINGS},
        {AboutPage, IDS_TAB_ABOUT},
    };
}

void CMainDSDlg::OnTabSelChange()
{
    const int selected = Tabs.GetCurSel();
    if (selected == -1)
        return;
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    if (!Tabs.GetItem(selected, &item))
        return;
    CDialog* focus = nullptr;
    for (const PageSlot& slot : PageSlots()) {
        if (!slot.page)
            continue;
        const bool chosen = static_cast<LPARAM>(slot.captionId) == item.lParam;
        slot.page->ShowWindow(chosen ? SW_SHOW : SW_HIDE);
        if (chosen)
            focus = slot.page;
    }
    if (focus)
        focus->SetFocus();
}

BOOL CMainDSDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->idFrom == IDC_MAIN_TABS && header->code == TCN_SELCHANGE) {
        OnTabSelChange();
        *pResult = 0;
        return TRUE;
    }
    return CTWAINUIDialog::OnNotify(wParam, lParam, pResult);
}

BOOL CMainDSDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    // Help and the framework's help command have no handler of their own.
    if (LOWORD(wParam) == IDHELP || LOWORD(wParam) == ID_HELP)
        return TRUE;
    // Enter in a page's edit reaches this dialog directly: what was typed is
    // taken before OK acts on it.
    if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED && ScanSettingsPage)
        ScanSettingsPage->CommitFocusedEdit();
    return CTWAINUIDialog::OnCommand(wParam, lParam);
}

void CMainDSDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kStatusTimerId && Source())
        Source()->UpdateStatusText();
}
