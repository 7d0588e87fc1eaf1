#include "twainds/ui/CSettingsPage.h"

#include "twainds/CQBK24DataSource.h"
#include "twainfw/TWAINException.h"

CSettingsPage::CSettingsPage(CQBK24DataSource* dataSource) : DataSource(dataSource)
{
    if (dataSource)
        m_hInstResource = dataSource->GetResourceModule();
}

CSettingsPage::~CSettingsPage()
{
    if (m_hWnd && IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

BOOL CSettingsPage::OnCommand(WPARAM wParam, LPARAM lParam)
{
    try {
        HandleCommand(LOWORD(wParam), HIWORD(wParam));
    } catch (const Trellis::CTWAINException&) {
        RecoverFromRefusal();
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CSettingsPage::OnHScroll(UINT code, UINT, HWND scrollBar)
{
    if (!scrollBar)
        return;
    try {
        HandleScroll(GetDlgCtrlID(scrollBar), code);
    } catch (const Trellis::CTWAINException&) {
        RecoverFromRefusal();
    }
}

void CSettingsPage::OnSetFocus(HWND)
{
    try {
        RefreshPage();
    } catch (const Trellis::CTWAINException&) {
    }
}

// The source kept its own value: the page shows it again.
void CSettingsPage::RecoverFromRefusal()
{
    MessageBeep(MB_ICONWARNING);
    OnSetFocus(nullptr);
}

void CSettingsPage::Enable(int id, bool enable)
{
    if (HWND control = GetDlgItem(id))
        ::EnableWindow(control, enable);
}

void CSettingsPage::EnableGroup(std::initializer_list<int> ids, bool enable)
{
    for (int id : ids)
        Enable(id, enable);
}

void CSettingsPage::Check(int id, bool check) { CheckDlgButton(m_hWnd, id, check ? BST_CHECKED : BST_UNCHECKED); }

bool CSettingsPage::IsChecked(int id) { return IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED; }

void CSettingsPage::SetText(int id, const std::u16string& text) { SetDlgItemTextW(m_hWnd, id, text.c_str()); }
