#include "platform/ui/Theme.h"
#include "platform/ui/UiWindow.h"

#include <atomic>

namespace plat::ui {

namespace {
std::atomic<bool> g_themed{true};
} // namespace

void SetAppThemed(bool themed) { g_themed = themed; }

DWORD DialogTextureFlags(HWND hwnd)
{
    std::shared_ptr<UiWindow> window = FindUiWindow(hwnd);
    return window ? window->textureFlags : 0;
}

} // namespace plat::ui

BOOL IsAppThemed() { return plat::ui::g_themed ? TRUE : FALSE; }

HRESULT EnableThemeDialogTexture(HWND hwnd, DWORD dwFlags)
{
    std::shared_ptr<plat::ui::UiWindow> window = plat::ui::FindUiWindow(hwnd);
    if (!window)
        return E_INVALIDARG;
    window->textureFlags = dwFlags;
    return S_OK;
}
