// Property-sheet pages and a sheet to show them in. A shell extension hands
// its pages over through the add-page callback (CreatePropertySheetPage,
// then LPFNADDPROPSHEETPAGE); PropertySheetWindow plays the shell's part:
// it collects the pages, makes the sheet window with a tab per page, and
// creates each page as a child dialog whose WM_INITDIALOG carries the
// page's PROPSHEETPAGEW.
#pragma once

#include "platform/ui/winuser.h"

#include <string>
#include <vector>

struct HPROPSHEETPAGE__;
using HPROPSHEETPAGE = HPROPSHEETPAGE__*;

extern "C" {

struct PROPSHEETPAGEW;
using LPFNPSPCALLBACKW = UINT (*)(HWND, UINT, PROPSHEETPAGEW*);

// The first version of the record (72 bytes on 64-bit). Template and icon
// are given as a name or MAKEINTRESOURCE id.
struct PROPSHEETPAGEW {
    DWORD dwSize;
    DWORD dwFlags;
    HINSTANCE hInstance;
    LPCWSTR pszTemplate;
    HICON hIcon;
    LPCWSTR pszTitle;
    DLGPROC pfnDlgProc;
    LPARAM lParam;
    LPFNPSPCALLBACKW pfnCallback;
    UINT* pcRefParent;
};
using LPCPROPSHEETPAGEW = const PROPSHEETPAGEW*;
constexpr DWORD PROPSHEETPAGEW_V1_SIZE = 72;

constexpr DWORD PSP_DEFAULT = 0x0000;
constexpr DWORD PSP_DLGINDIRECT = 0x0001;
constexpr DWORD PSP_USETITLE = 0x0008;
constexpr DWORD PSP_USECALLBACK = 0x0080;

// The page callback's messages (PSP_USECALLBACK): PSPCB_ADDREF when the
// page is made, PSPCB_RELEASE when it is destroyed, so an extension can keep
// what the page uses alive exactly as long as the page.
constexpr UINT PSPCB_ADDREF = 0;
constexpr UINT PSPCB_RELEASE = 1;

using LPFNADDPROPSHEETPAGE = BOOL (*)(HPROPSHEETPAGE, LPARAM);

constexpr UINT PSN_FIRST = static_cast<UINT>(-200);
constexpr UINT PSN_SETACTIVE = PSN_FIRST - 0;
constexpr UINT PSN_KILLACTIVE = PSN_FIRST - 1;
constexpr UINT PSN_APPLY = PSN_FIRST - 2;
constexpr LONG_PTR PSNRET_NOERROR = 0;
constexpr LONG_PTR PSNRET_INVALID = 1;

constexpr UINT WM_STYLECHANGING = 0x007C;
constexpr UINT WM_STYLECHANGED = 0x007D;
struct STYLESTRUCT {
    DWORD styleOld;
    DWORD styleNew;
};

// Null for a record smaller than the first version, or an in-memory
// template (PSP_DLGINDIRECT), which this layer does not take. A page that
// wants its callback gets PSPCB_ADDREF here and PSPCB_RELEASE from
// DestroyPropertySheetPage (which the sheet calls for the pages it took).
HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW constPropSheetPagePointer);
BOOL DestroyPropertySheetPage(HPROPSHEETPAGE hPSPage);

} // extern "C"

namespace plat::ui {

// Changes GWL_STYLE or GWL_EXSTYLE the way the system's own style changes
// go: WM_STYLECHANGING first (the window may alter the new style), then the
// change, then WM_STYLECHANGED. Returns the previous style.
LONG ChangeWindowStyle(HWND hwnd, int index, LONG style);

class PropertySheetWindow {
public:
    // `owner` becomes the sheet's parent (the window whose title a page
    // may look at).
    PropertySheetWindow(HWND owner, std::u16string caption);
    ~PropertySheetWindow();
    PropertySheetWindow(const PropertySheetWindow&) = delete;
    PropertySheetWindow& operator=(const PropertySheetWindow&) = delete;

    // The add-page callback to give an extension, with `this` as lParam.
    static BOOL AddPageCallback(HPROPSHEETPAGE page, LPARAM sheet);
    // Takes the page; refused (false) once the sheet window exists.
    bool AddPage(HPROPSHEETPAGE page);

    // Makes the sheet and its pages: the first page shown and active
    // (PSN_SETACTIVE), each page with WS_EX_CONTROLPARENT. False when a
    // page's dialog could not be made. Cancel (the close box, Escape)
    // destroys the sheet window.
    bool Create();
    // Shows page `index` (PSN_KILLACTIVE to the old one, PSN_SETACTIVE to
    // the new one).
    bool SelectPage(int index);
    // PSN_APPLY to every page; false when one answers PSNRET_INVALID.
    bool Apply();

    HWND Window() const { return m_sheet; }
    HWND Page(int index) const;
    size_t PageCount() const { return m_pages.size(); }

private:
    LRESULT NotifyPage(size_t index, UINT code);

    HWND m_owner;
    std::u16string m_caption;
    HWND m_sheet = nullptr;
    HWND m_tab = nullptr;
    int m_active = -1;
    std::vector<HPROPSHEETPAGE> m_pages;
    std::vector<HWND> m_pageWindows;
};

} // namespace plat::ui
