// Second base of the data source's dialogs and pages: the tab-page
// background of visual styles when the user runs with themes. The theming
// library is loaded by name at run time, so a system without it (or
// without themes) simply keeps the classic look.
#pragma once

#include "platform/windows.h"

class CThemedDlg {
public:
    CThemedDlg();
    ~CThemedDlg();
    CThemedDlg(const CThemedDlg&) = delete;
    CThemedDlg& operator=(const CThemedDlg&) = delete;

    // The library's EnableThemeDialogTexture when it is there and the
    // application is themed; otherwise TRUE, doing nothing. Dialogs call it
    // with ETDT_ENABLETAB first thing in OnInitDialog and ignore the result.
    HRESULT EnableThemeDialogTexture(HWND window, DWORD flags) const;

    // "UxTheme.dll", or null when it could not be loaded. Freed once, by
    // the destructor.
    HMODULE ThemeLibrary = nullptr;
};
