// The dialog procedure of the sheet's page. The page object travels in the
// PROPSHEETPAGEW of WM_INITDIALOG and is kept with the window (DWLP_USER)
// until WM_NCDESTROY, so each page window reaches its own object; messages
// before WM_INITDIALOG and after WM_NCDESTROY get the default answer.
#include "shellext/CRNXHWPropertyPage.h"

INT_PTR PropertyPageDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const auto* record = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, record ? record->lParam : 0);
    }
    auto* page = reinterpret_cast<CRNXHWPropertyPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        SetWindowLongPtrW(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (page && page->m_pfnMessageCallback) {
        page->m_hWnd = hwnd;
        return page->m_pfnMessageCallback(hwnd, message, wParam, lParam, page->m_pCallbackContext);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT PropertyPageMessageCallback(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, CRNXHWPropertyPage* page)
{
    if (message == WM_INITDIALOG || !page->m_hWnd)
        page->m_hWnd = hwnd;
    LRESULT result = 0;
    if (!page->ProcessWindowMessage(hwnd, message, wParam, lParam, result))
        result = FALSE; // not handled: the dialog's default processing
    if (message == WM_DESTROY)
        page->m_hWnd = nullptr;
    return result;
}
