#include "platform/ui/PropertySheet.h"
#include "platform/base/lasterror.h"
#include "platform/resources/resources.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiWindow.h"

#include <cstring>

struct HPROPSHEETPAGE__ {
    PROPSHEETPAGEW page;
    std::u16string title; // the record's title text, kept beyond the caller's buffer
    std::u16string templateName;
};

namespace {

constexpr int kSheetTabId = 0x3020;

// The sheet has no buttons of its own: Cancel (its close box, Escape)
// closes it with its pages.
INT_PTR SheetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_COMMAND || LOWORD(wParam) != IDCANCEL)
        return FALSE;
    DestroyWindow(hwnd);
    return TRUE;
}

std::u16string PageTitle(const HPROPSHEETPAGE__& page)
{
    if (!(page.page.dwFlags & PSP_USETITLE) || !page.page.pszTitle)
        return {};
    if (IS_INTRESOURCE(page.page.pszTitle)) {
        const WCHAR* text = nullptr;
        const int length =
            LoadStringW(page.page.hInstance, static_cast<UINT>(reinterpret_cast<uintptr_t>(page.page.pszTitle)),
                        reinterpret_cast<LPWSTR>(&text), 0);
        return length > 0 ? std::u16string(text, static_cast<size_t>(length)) : std::u16string();
    }
    return page.page.pszTitle;
}

} // namespace

HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page)
{
    if (!page || page->dwSize < PROPSHEETPAGEW_V1_SIZE || (page->dwFlags & PSP_DLGINDIRECT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* handle = new HPROPSHEETPAGE__{*page, {}, {}};
    handle->page.dwSize = sizeof(PROPSHEETPAGEW);
    if (page->pszTitle && !IS_INTRESOURCE(page->pszTitle)) {
        handle->title = page->pszTitle;
        handle->page.pszTitle = handle->title.c_str();
    }
    if (page->pszTemplate && !IS_INTRESOURCE(page->pszTemplate)) {
        handle->templateName = page->pszTemplate;
        handle->page.pszTemplate = handle->templateName.c_str();
    }
    if ((handle->page.dwFlags & PSP_USECALLBACK) && handle->page.pfnCallback)
        handle->page.pfnCallback(nullptr, PSPCB_ADDREF, &handle->page);
    return handle;
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE hPSPage)
{
    if (!hPSPage)
        return FALSE;
    if ((hPSPage->page.dwFlags & PSP_USECALLBACK) && hPSPage->page.pfnCallback)
        hPSPage->page.pfnCallback(nullptr, PSPCB_RELEASE, &hPSPage->page);
    delete hPSPage;
    return TRUE;
}

namespace plat::ui {

LONG ChangeWindowStyle(HWND hwnd, int index, LONG style)
{
    const auto previous = static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
    STYLESTRUCT change{static_cast<DWORD>(previous), static_cast<DWORD>(style)};
    SendMessageW(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
    SetWindowLongPtrW(hwnd, index, static_cast<LONG>(change.styleNew));
    SendMessageW(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
    return previous;
}

PropertySheetWindow::PropertySheetWindow(HWND owner, std::u16string caption)
    : m_owner(owner), m_caption(std::move(caption))
{
}

PropertySheetWindow::~PropertySheetWindow()
{
    if (m_sheet && IsWindow(m_sheet))
        DestroyWindow(m_sheet);
    for (HPROPSHEETPAGE page : m_pages)
        DestroyPropertySheetPage(page);
}

BOOL PropertySheetWindow::AddPageCallback(HPROPSHEETPAGE page, LPARAM sheet)
{
    return reinterpret_cast<PropertySheetWindow*>(sheet)->AddPage(page) ? TRUE : FALSE;
}

bool PropertySheetWindow::AddPage(HPROPSHEETPAGE page)
{
    if (!page || m_sheet)
        return false;
    m_pages.push_back(page);
    return true;
}

bool PropertySheetWindow::Create()
{
    if (m_sheet)
        return false;
    EnsureWindowClasses();
    const RECT frame = DialogUnitsToPixels(0, 0, 320, 240);
    m_sheet = CreateWindowExW(0, kDialogClass, m_caption.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, frame.left,
                              frame.top, frame.right, frame.bottom, m_owner, nullptr, nullptr, nullptr);
    if (!m_sheet)
        return false;
    SetWindowLongPtrW(m_sheet, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&SheetProc));
    m_tab = CreateWindowExW(0, kTabControlClass, u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 6, 6, frame.right - 12,
                            frame.bottom - 40, m_sheet, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSheetTabId)),
                            nullptr, nullptr);
    RECT display{6, 6, frame.right - 6, frame.bottom - 34};
    SendMessageW(m_tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    for (HPROPSHEETPAGE page : m_pages) {
        HWND window = CreateDialogParamW(page->page.hInstance, page->page.pszTemplate, m_sheet, page->page.pfnDlgProc,
                                         reinterpret_cast<LPARAM>(&page->page));
        if (!window)
            return false;
        m_pageWindows.push_back(window);
        SetWindowPos(window, HWND_TOP, display.left, display.top, display.right - display.left,
                     display.bottom - display.top, SWP_HIDEWINDOW | SWP_NOACTIVATE);
        ChangeWindowStyle(window, GWL_EXSTYLE,
                          static_cast<LONG>(GetWindowLongPtrW(window, GWL_EXSTYLE)) | WS_EX_CONTROLPARENT);
        std::u16string title = PageTitle(*page);
        if (title.empty()) {
            std::vector<WCHAR> caption(256);
            GetWindowTextW(window, caption.data(), static_cast<int>(caption.size()));
            title = caption.data();
        }
        TCITEMW item{TCIF_TEXT, 0, 0, title.data(), 0, 0, 0};
        SendMessageW(m_tab, TCM_INSERTITEMW, m_pageWindows.size() - 1, reinterpret_cast<LPARAM>(&item));
    }
    ShowWindow(m_sheet, SW_SHOW);
    return m_pageWindows.empty() || SelectPage(0);
}

bool PropertySheetWindow::SelectPage(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_pageWindows.size())
        return false;
    if (m_active >= 0) {
        if (NotifyPage(static_cast<size_t>(m_active), PSN_KILLACTIVE))
            return false; // the page keeps the focus: its data is not valid
        ShowWindow(m_pageWindows[static_cast<size_t>(m_active)], SW_HIDE);
    }
    m_active = index;
    SendMessageW(m_tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    ShowWindow(m_pageWindows[static_cast<size_t>(index)], SW_SHOW);
    NotifyPage(static_cast<size_t>(index), PSN_SETACTIVE);
    return true;
}

bool PropertySheetWindow::Apply()
{
    bool valid = true;
    for (size_t i = 0; i < m_pageWindows.size(); ++i) {
        if (NotifyPage(i, PSN_APPLY) == PSNRET_INVALID)
            valid = false;
    }
    return valid;
}

HWND PropertySheetWindow::Page(int index) const
{
    return index >= 0 && static_cast<size_t>(index) < m_pageWindows.size() ? m_pageWindows[static_cast<size_t>(index)]
                                                                           : nullptr;
}

LRESULT PropertySheetWindow::NotifyPage(size_t index, UINT code)
{
    HWND page = m_pageWindows[index];
    if (!IsWindow(page))
        return 0;
    NMHDR header{m_sheet, 0, code};
    return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
}

} // namespace plat::ui
