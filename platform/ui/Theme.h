// The visual-styles calls dialogs make to get the tab-page background.
// Nothing is drawn; the calls record what a dialog asked for, and whether
// the application counts as themed is a setting (on unless a test turns
// it off).
#pragma once

#include "platform/ui/winuser.h"

extern "C" {

constexpr DWORD ETDT_DISABLE = 0x1;
constexpr DWORD ETDT_ENABLE = 0x2;
constexpr DWORD ETDT_USETABTEXTURE = 0x4;
constexpr DWORD ETDT_ENABLETAB = ETDT_ENABLE | ETDT_USETABTEXTURE;

BOOL IsAppThemed();
// E_INVALIDARG for a window that is not a dialog or control of this layer.
HRESULT EnableThemeDialogTexture(HWND hwnd, DWORD dwFlags);

} // extern "C"

namespace plat::ui {

void SetAppThemed(bool themed);
// The flags of the window's last EnableThemeDialogTexture, 0 if none.
DWORD DialogTextureFlags(HWND hwnd);

} // namespace plat::ui
