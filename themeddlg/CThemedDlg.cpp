#include "themeddlg/CThemedDlg.h"

#include "platform/ui/Theme.h"

CThemedDlg::CThemedDlg()
{
    ThemeLibrary = LoadLibraryA("UxTheme.dll");
    if (ThemeLibrary) {
        const INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&init);
    }
}

CThemedDlg::~CThemedDlg()
{
    if (ThemeLibrary)
        FreeLibrary(ThemeLibrary);
}

HRESULT CThemedDlg::EnableThemeDialogTexture(HWND window, DWORD flags) const
{
    if (!ThemeLibrary)
        return TRUE;
    // Looked up at each call; nothing is kept.
    using IsAppThemedProc = BOOL (*)();
    using EnableTextureProc = HRESULT (*)(HWND, DWORD);
    auto isAppThemed = reinterpret_cast<IsAppThemedProc>(GetProcAddress(ThemeLibrary, "IsAppThemed"));
    auto enableTexture = reinterpret_cast<EnableTextureProc>(GetProcAddress(ThemeLibrary, "EnableThemeDialogTexture"));
    if (isAppThemed && enableTexture && isAppThemed())
        return enableTexture(window, flags);
    return TRUE;
}
