#include "platform/ui/CDialog.h"
#include "platform/base/strings.h"
#include "platform/resources/resources.h"
#include "platform/ui/UiWindow.h"

#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

struct HandleMap {
    std::mutex mutex;
    std::unordered_map<HWND, CWnd*> objects;
};

HandleMap& Handles()
{
    static HandleMap* map = new HandleMap;
    return *map;
}

std::u16string ControlText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    const int length = control ? GetWindowTextLengthW(control) : 0;
    std::vector<WCHAR> buffer(static_cast<size_t>(length) + 1);
    if (control)
        GetWindowTextW(control, buffer.data(), static_cast<int>(buffer.size()));
    return buffer.data();
}

HWND ParentHandle(const CWnd* parent) { return parent ? parent->GetSafeHwnd() : nullptr; }

} // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, std::u16string& value)
{
    if (pDX->m_bSaveAndValidate)
        value = ControlText(pDX->m_hDlg, nIDC);
    else
        SetDlgItemTextW(pDX->m_hDlg, nIDC, value.c_str());
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value)
{
    if (pDX->m_bSaveAndValidate)
        value = Utf16ToUtf8(ControlText(pDX->m_hDlg, nIDC));
    else
        SetDlgItemTextA(pDX->m_hDlg, nIDC, value.c_str());
}

BOOL AfxInitRichEdit2()
{
    plat::ui::EnsureWindowClasses();
    plat::ui::RegisterRichEditClasses();
    return TRUE;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control)
{
    if (!control.m_hWnd) {
        if (HWND hwnd = GetDlgItem(pDX->m_hDlg, nIDC))
            control.Attach(hwnd);
    }
}

CWnd::~CWnd() { Detach(); }

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add)
{
    if (!m_hWnd)
        return FALSE;
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
    const DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(changed));
    return TRUE;
}

LONG CTabCtrl::InsertItem(UINT mask, int item, LPCWSTR text, LPARAM lParam)
{
    TCITEMW entry{};
    entry.mask = mask;
    entry.pszText = const_cast<LPWSTR>(text);
    entry.lParam = lParam;
    return static_cast<LONG>(SendMessage(TCM_INSERTITEMW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&entry)));
}

int CTabCtrl::GetCurSel() const { return static_cast<int>(SendMessage(TCM_GETCURSEL)); }

BOOL CTabCtrl::GetItem(int item, TCITEMW* tcItem) const
{
    return static_cast<BOOL>(SendMessage(TCM_GETITEMW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(tcItem)));
}

BOOL CTabCtrl::GetItemRect(int item, LPRECT rect) const
{
    return static_cast<BOOL>(SendMessage(TCM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(rect)));
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    HandleMap& map = Handles();
    std::lock_guard lock(map.mutex);
    auto it = map.objects.find(hWnd);
    return it == map.objects.end() ? nullptr : it->second;
}

void CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    HandleMap& map = Handles();
    std::lock_guard lock(map.mutex);
    map.objects[hWnd] = this;
}

void CWnd::Detach()
{
    if (!m_hWnd)
        return;
    HandleMap& map = Handles();
    std::lock_guard lock(map.mutex);
    auto it = map.objects.find(m_hWnd);
    if (it != map.objects.end() && it->second == this)
        map.objects.erase(it);
    m_hWnd = nullptr;
}

int CWnd::MessageBox(LPCWSTR text, LPCWSTR caption, UINT type) { return ::MessageBoxW(m_hWnd, text, caption, type); }

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

void CWnd::CenterWindow()
{
    HWND owner = ::GetParent(m_hWnd);
    RECT self, over;
    if (!owner || !GetWindowRect(m_hWnd, &self) || !GetWindowRect(owner, &over))
        return;
    const LONG width = self.right - self.left;
    const LONG height = self.bottom - self.top;
    const LONG x = over.left + (over.right - over.left - width) / 2;
    const LONG y = over.top + (over.bottom - over.top - height) / 2;
    if (GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_CHILD) {
        // A child's position is in its parent's client area.
        ::SetWindowPos(m_hWnd, nullptr, x - over.left, y - over.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd, HINSTANCE resources)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd), m_hInstResource(resources)
{
}

// A dialog object that goes first takes its window with it, so no message
// reaches a destroyed object.
CDialog::~CDialog()
{
    if (m_hWnd && IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    Detach();
}

INT_PTR CDialog::DoModal()
{
    return DialogBoxParamW(m_hInstResource, MAKEINTRESOURCEW(static_cast<WORD>(m_nIDTemplate)),
                           ParentHandle(m_pParentWnd), &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    m_nIDTemplate = nIDTemplate;
    if (pParentWnd)
        m_pParentWnd = pParentWnd;
    HWND hwnd = CreateDialogParamW(m_hInstResource, MAKEINTRESOURCEW(static_cast<WORD>(nIDTemplate)),
                                   ParentHandle(m_pParentWnd), &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return Initialised(hwnd) != nullptr;
}

BOOL CDialog::CreateOwned(UINT nIDTemplate, HWND owner)
{
    m_nIDTemplate = nIDTemplate;
    HWND hwnd = CreateDialogParamW(m_hInstResource, MAKEINTRESOURCEW(static_cast<WORD>(nIDTemplate)), owner,
                                   &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return Initialised(hwnd) != nullptr;
}

// A half-initialised dialog would show controls its code never filled.
HWND CDialog::Initialised(HWND hwnd)
{
    if (!m_initialising)
        return hwnd;
    m_initialising = false;
    if (hwnd && IsWindow(hwnd))
        ::DestroyWindow(hwnd);
    return nullptr;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange exchange(m_hWnd, bSaveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM)
{
    if (HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CDialog::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    *pResult = 0;
    switch (message) {
    case WM_INITDIALOG:
        *pResult = OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_NOTIFY:
        return OnNotify(wParam, lParam, pResult);
    case WM_TIMER:
        OnTimer(wParam);
        return FALSE;
    case WM_SETFOCUS:
        OnSetFocus(reinterpret_cast<HWND>(wParam));
        return FALSE;
    case WM_HSCROLL:
        OnHScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_COMPAREITEM:
        *pResult = OnCompareItem(static_cast<int>(wParam), reinterpret_cast<LPCOMPAREITEMSTRUCT>(lParam));
        return TRUE;
    case WM_DRAWITEM:
        OnDrawItem(static_cast<int>(wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        *pResult = TRUE;
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* dialog = static_cast<CDialog*>(FromHandlePermanent(hwnd));
    if (!dialog && message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        dialog->Attach(hwnd);
    }
    if (!dialog)
        return FALSE;
    if (message == WM_NCDESTROY) {
        dialog->Detach();
        dialog->PostNcDestroy();
        return FALSE;
    }
    LRESULT result = 0;
    if (message == WM_INITDIALOG)
        dialog->m_initialising = true;
    const BOOL handled = dialog->OnWndMsg(message, wParam, lParam, &result);
    if (message == WM_INITDIALOG)
        dialog->m_initialising = false;
    if (!handled)
        return FALSE;
    // These answer with the procedure's own return value.
    if (message == WM_INITDIALOG || message == WM_COMPAREITEM)
        return result;
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}
