// Window text, state, focus and geometry, and the dialog-item shorthands.
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/kernel/Thread.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiWindow.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

thread_local HWND t_focus = nullptr;

bool SetStyleBits(HWND hwnd, DWORD bits, bool on)
{
    const DWORD style = plat::ui::WindowStyle(hwnd);
    const DWORD updated = on ? (style | bits) : (style & ~bits);
    if (updated != style)
        SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG>(updated));
    return (style & bits) != 0;
}

std::u16string WindowText(HWND hwnd)
{
    const auto length = static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    const auto copied = SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

// Copies UTF-8 into a caller's buffer, cut and terminated; the count copied.
int CopyNarrow(const std::string& text, LPSTR buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

} // namespace

BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString)
{
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString ? lpString : u"")) ? TRUE : FALSE;
}

BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    const std::u16string text = Utf8ToUtf16(lpString ? lpString : "");
    return SetWindowTextW(hWnd, text.c_str());
}

int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount)
{
    if (!lpString || nMaxCount <= 0)
        return 0;
    lpString[0] = 0;
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<int>(
        SendMessageW(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    if (lpString && nMaxCount > 0)
        lpString[0] = 0;
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return CopyNarrow(Utf16ToUtf8(WindowText(hWnd)), lpString, nMaxCount);
}

HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName)
{
    const std::u16string_view dialogClass = plat::ui::kDialogClass;
    if (lpClassName && std::u16string_view(lpClassName) != dialogClass)
        return nullptr; // only dialogs are top-level windows of this layer
    for (const auto& window : plat::ui::TopLevelUiWindows()) {
        if (lpClassName && window->kind != plat::ui::ControlKind::Dialog)
            continue;
        if (!lpWindowName || window->text == lpWindowName)
            return window->hwnd;
    }
    return nullptr;
}

int GetWindowTextLengthW(HWND hWnd)
{
    return IsWindow(hWnd) ? static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

BOOL IsWindowEnabled(HWND hWnd) { return IsWindow(hWnd) && !(plat::ui::WindowStyle(hWnd) & WS_DISABLED); }

BOOL EnableWindow(HWND hWnd, BOOL bEnable)
{
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const bool wasDisabled = SetStyleBits(hWnd, WS_DISABLED, !bEnable);
    if (wasDisabled == !bEnable)
        return wasDisabled;
    if (!bEnable && t_focus && (t_focus == hWnd || IsChild(hWnd, t_focus)))
        SetFocus(nullptr);
    SendMessageW(hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow)
{
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const bool show = nCmdShow != SW_HIDE;
    const bool wasVisible = SetStyleBits(hWnd, WS_VISIBLE, show);
    if (wasVisible != show)
        SendMessageW(hWnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    return wasVisible;
}

BOOL IsWindowVisible(HWND hWnd)
{
    for (HWND w = hWnd; w; w = GetParent(w)) {
        if (!IsWindow(w) || !(plat::ui::WindowStyle(w) & WS_VISIBLE))
            return FALSE;
        if (!(plat::ui::WindowStyle(w) & WS_CHILD))
            break;
    }
    return hWnd != nullptr;
}

HWND GetParent(HWND hWnd)
{
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return reinterpret_cast<HWND>(GetWindowLongPtrW(hWnd, GWLP_HWNDPARENT));
}

HWND GetAncestor(HWND hwnd, UINT gaFlags)
{
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    const auto isChild = [](HWND w) { return (plat::ui::WindowStyle(w) & WS_CHILD) != 0; };
    switch (gaFlags) {
    case GA_PARENT:
        return isChild(hwnd) ? GetParent(hwnd) : nullptr;
    case GA_ROOT:
        while (isChild(hwnd) && GetParent(hwnd))
            hwnd = GetParent(hwnd);
        return hwnd;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

BOOL IsChild(HWND hWndParent, HWND hWnd)
{
    if (!hWndParent)
        return FALSE;
    for (HWND w = GetParent(hWnd); w; w = GetParent(w)) {
        if (w == hWndParent)
            return TRUE;
    }
    return FALSE;
}

HWND SetFocus(HWND hWnd)
{
    if (hWnd && !IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    // The focus is the calling thread's: another thread's window cannot take it.
    if (hWnd && GetWindowThreadProcessId(hWnd, nullptr) != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    HWND previous = GetFocus();
    if (previous == hWnd)
        return previous;
    if (previous)
        SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
    t_focus = hWnd;
    if (hWnd) {
        SendMessageW(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
        if (GetFocus() == hWnd)
            plat::ui::ShowDefaultButtonFor(hWnd);
    }
    return previous;
}

HWND GetFocus()
{
    if (t_focus && !IsWindow(t_focus))
        t_focus = nullptr; // destroyed windows lose the focus
    return t_focus;
}

HWND GetActiveWindow()
{
    HWND focus = GetFocus();
    return focus ? GetAncestor(focus, GA_ROOT) : nullptr;
}

BOOL SetWindowPos(HWND hWnd, HWND, int X, int Y, int cx, int cy, UINT uFlags)
{
    std::shared_ptr<plat::ui::UiWindow> window = plat::ui::FindUiWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT& r = window->rect;
    if (!(uFlags & SWP_NOMOVE)) {
        const LONG width = r.right - r.left;
        const LONG height = r.bottom - r.top;
        r = RECT{X, Y, X + width, Y + height};
    }
    if (!(uFlags & SWP_NOSIZE)) {
        r.right = r.left + cx;
        r.bottom = r.top + cy;
    }
    if (uFlags & SWP_SHOWWINDOW)
        ShowWindow(hWnd, SW_SHOW);
    else if (uFlags & SWP_HIDEWINDOW)
        ShowWindow(hWnd, SW_HIDE);
    return TRUE;
}

BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL)
{
    return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL ClientToScreen(HWND hWnd, LPPOINT lpPoint)
{
    if (!lpPoint || !IsWindow(hWnd))
        return FALSE;
    for (HWND w = hWnd; w; w = GetParent(w)) {
        std::shared_ptr<plat::ui::UiWindow> window = plat::ui::FindUiWindow(w);
        if (!window)
            break;
        lpPoint->x += window->rect.left;
        lpPoint->y += window->rect.top;
        if (!(plat::ui::WindowStyle(w) & WS_CHILD))
            break; // a pop-up's position is on the screen already
    }
    return TRUE;
}

BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint)
{
    if (!lpPoint || !IsWindow(hWnd))
        return FALSE;
    POINT origin{0, 0};
    ClientToScreen(hWnd, &origin);
    lpPoint->x -= origin.x;
    lpPoint->y -= origin.y;
    return TRUE;
}

BOOL GetClientRect(HWND hWnd, LPRECT lpRect)
{
    std::shared_ptr<plat::ui::UiWindow> window = plat::ui::FindUiWindow(hWnd);
    if (!window || !lpRect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *lpRect = RECT{0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
    return TRUE;
}

BOOL GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    if (!GetClientRect(hWnd, lpRect))
        return FALSE;
    POINT origin{0, 0};
    ClientToScreen(hWnd, &origin);
    lpRect->left += origin.x;
    lpRect->right += origin.x;
    lpRect->top += origin.y;
    lpRect->bottom += origin.y;
    return TRUE;
}

HWND GetWindow(HWND hWnd, UINT uCmd)
{
    std::shared_ptr<plat::ui::UiWindow> window = plat::ui::FindUiWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (uCmd == GW_CHILD)
        return window->children.empty() ? nullptr : window->children.front();
    if (uCmd != GW_HWNDNEXT)
        return nullptr;
    std::shared_ptr<plat::ui::UiWindow> parent = plat::ui::FindUiWindow(window->parent);
    if (!parent)
        return nullptr;
    const auto& siblings = parent->children;
    const auto at = std::find(siblings.begin(), siblings.end(), hWnd);
    return at == siblings.end() || at + 1 == siblings.end() ? nullptr : *(at + 1);
}

BOOL BringWindowToTop(HWND hWnd) { return IsWindow(hWnd); }
BOOL InvalidateRect(HWND hWnd, const RECT*, BOOL) { return hWnd == nullptr || IsWindow(hWnd); }
BOOL UpdateWindow(HWND hWnd) { return IsWindow(hWnd); }

// ---- Dialog items ----

HWND GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    std::shared_ptr<plat::ui::UiWindow> dialog = plat::ui::FindUiWindow(hDlg);
    if (!dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND child : dialog->children) {
        if (GetWindowLongPtrW(child, GWLP_ID) == nIDDlgItem)
            return child;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int GetDlgCtrlID(HWND hWnd) { return static_cast<int>(GetWindowLongPtrW(hWnd, GWLP_ID)); }

LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SendMessageW(item, Msg, wParam, lParam) : 0;
}

// The controls keep UTF-16; the narrow form converts the text of the
// messages that carry text (UTF-8 here), so narrow callers never have their
// bytes read as wide characters. Lengths are in bytes of UTF-8.
LRESULT SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    if (!item)
        return 0;
    const bool comboWithStrings = plat::ui::ControlKindOf(item) == plat::ui::ControlKind::ComboBox &&
                                  (!(plat::ui::WindowStyle(item) & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) ||
                                   (plat::ui::WindowStyle(item) & CBS_HASSTRINGS));
    switch (Msg) {
    case WM_SETTEXT:
    case CB_ADDSTRING:
    case CB_INSERTSTRING:
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING: {
        if (Msg != WM_SETTEXT && !comboWithStrings)
            break; // item data, not text
        const auto* narrow = reinterpret_cast<LPCSTR>(lParam);
        const std::u16string wide = Utf8ToUtf16(narrow ? narrow : "");
        return SendMessageW(item, Msg, wParam, narrow ? reinterpret_cast<LPARAM>(wide.c_str()) : 0);
    }
    case WM_GETTEXT:
        return GetWindowTextA(item, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(Utf16ToUtf8(WindowText(item)).size());
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN: {
        if (!comboWithStrings)
            break;
        const LRESULT length = SendMessageW(item, CB_GETLBTEXTLEN, wParam, 0);
        if (length == CB_ERR)
            return CB_ERR;
        std::u16string wide(static_cast<size_t>(length) + 1, u'\0');
        SendMessageW(item, CB_GETLBTEXT, wParam, reinterpret_cast<LPARAM>(wide.data()));
        wide.resize(static_cast<size_t>(length));
        const std::string narrow = Utf16ToUtf8(wide);
        if (Msg == CB_GETLBTEXT) {
            // Like the system's: the caller's buffer must hold the whole text.
            auto* buffer = reinterpret_cast<LPSTR>(lParam);
            if (!buffer)
                return CB_ERR;
            std::memcpy(buffer, narrow.c_str(), narrow.size() + 1);
        }
        return static_cast<LRESULT>(narrow.size());
    }
    default:
        break;
    }
    return SendMessageW(item, Msg, wParam, lParam);
}

BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString)
{
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SetWindowTextW(item, lpString) : FALSE;
}

BOOL SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString)
{
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SetWindowTextA(item, lpString) : FALSE;
}

UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax)
{
    if (lpString && cchMax > 0)
        lpString[0] = 0;
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? static_cast<UINT>(GetWindowTextW(item, lpString, cchMax)) : 0;
}

UINT GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax)
{
    if (lpString && cchMax > 0)
        lpString[0] = 0;
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? static_cast<UINT>(GetWindowTextA(item, lpString, cchMax)) : 0;
}

// Digits with an optional sign (when signed) and surrounding blanks;
// anything else, or a value out of range, is not translated.
UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned)
{
    if (lpTranslated)
        *lpTranslated = FALSE;
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    if (!item)
        return 0;
    const std::u16string text = WindowText(item);
    size_t i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool negative = false;
    if (bSigned && i < text.size() && text[i] == u'-') {
        negative = true;
        ++i;
    }
    const size_t digitsStart = i;
    unsigned long long value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10 + static_cast<unsigned>(text[i] - u'0');
        if (value > 0xFFFFFFFFull)
            return 0;
        ++i;
    }
    const bool digits = i > digitsStart;
    while (i < text.size() && text[i] == u' ')
        ++i;
    if (!digits || i != text.size())
        return 0;
    if (bSigned && value > (negative ? 0x80000000ull : 0x7FFFFFFFull))
        return 0;
    if (lpTranslated)
        *lpTranslated = TRUE;
    return negative ? static_cast<UINT>(0 - value) : static_cast<UINT>(value);
}

BOOL SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned)
{
    const std::string text = bSigned ? std::to_string(static_cast<int>(uValue)) : std::to_string(uValue);
    return SetDlgItemTextA(hDlg, nIDDlgItem, text.c_str());
}

BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck)
{
    HWND item = GetDlgItem(hDlg, nIDButton);
    if (!item)
        return FALSE;
    SendMessageW(item, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND hDlg, int nIDButton)
{
    HWND item = GetDlgItem(hDlg, nIDButton);
    return item ? static_cast<UINT>(SendMessageW(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton)
{
    if (!plat::ui::FindUiWindow(hDlg)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id) {
        if (HWND item = GetDlgItem(hDlg, id))
            SendMessageW(item, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}
