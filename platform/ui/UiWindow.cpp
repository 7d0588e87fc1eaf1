#include "platform/ui/UiWindow.h"
#include "platform/ui/UserInput.h"
#include "platform/ui/WindowBackEnd.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace plat::ui {

namespace {

struct UiWindowTable {
    std::mutex mutex;
    std::unordered_map<HWND, std::shared_ptr<UiWindow>> windows;
};

UiWindowTable& Table()
{
    static UiWindowTable* table = new UiWindowTable;
    return *table;
}

} // namespace

std::shared_ptr<UiWindow> FindUiWindow(HWND hwnd)
{
    UiWindowTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.windows.find(hwnd);
    return it == table.windows.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<UiWindow>> TopLevelUiWindows()
{
    std::vector<std::shared_ptr<UiWindow>> windows;
    {
        UiWindowTable& table = Table();
        std::lock_guard lock(table.mutex);
        for (const auto& [hwnd, window] : table.windows)
            windows.push_back(window);
    }
    // The style is read outside the table's lock.
    std::erase_if(windows, [](const std::shared_ptr<UiWindow>& w) { return (WindowStyle(w->hwnd) & WS_CHILD) != 0; });
    return windows;
}

std::shared_ptr<UiWindow> AddUiWindow(HWND hwnd, const CREATESTRUCTW& create, ControlKind kind)
{
    auto window = std::make_shared<UiWindow>();
    window->hwnd = hwnd;
    window->kind = kind;
    window->parent = GetParent(hwnd); // an owned pop-up's is its top-level owner
    if (create.lpszName && reinterpret_cast<uintptr_t>(create.lpszName) >= 0x10000)
        window->text = create.lpszName;
    const int x = create.x == CW_USEDEFAULT ? 0 : create.x;
    const int y = create.y == CW_USEDEFAULT ? 0 : create.y;
    const int cx = create.cx == CW_USEDEFAULT ? 0 : create.cx;
    const int cy = create.cy == CW_USEDEFAULT ? 0 : create.cy;
    window->rect = RECT{x, y, x + cx, y + cy};
    std::shared_ptr<UiWindow> parent;
    {
        UiWindowTable& table = Table();
        std::lock_guard lock(table.mutex);
        table.windows[hwnd] = window;
        auto it = table.windows.find(window->parent);
        if (it != table.windows.end())
            parent = it->second;
    }
    // Owned pop-ups (a modal dialog over its owner) are windows of their
    // own, not items of the owner.
    if (parent && (static_cast<DWORD>(create.style) & WS_CHILD))
        parent->children.push_back(hwnd);
    return window;
}

ControlKind ControlKindOf(HWND hwnd)
{
    std::shared_ptr<UiWindow> window = FindUiWindow(hwnd);
    return window ? window->kind : ControlKind::Dialog;
}

void RemoveUiWindow(HWND hwnd)
{
    std::shared_ptr<UiWindow> window;
    std::shared_ptr<UiWindow> parent;
    {
        UiWindowTable& table = Table();
        std::lock_guard lock(table.mutex);
        auto it = table.windows.find(hwnd);
        if (it == table.windows.end())
            return;
        window = it->second;
        table.windows.erase(it);
        auto p = table.windows.find(window->parent);
        if (p != table.windows.end())
            parent = p->second;
    }
    if (parent)
        std::erase(parent->children, hwnd);
    DropUserInput(hwnd);
    if (WindowBackEnd* backEnd = ActiveWindowBackEnd())
        backEnd->WindowDestroyed(hwnd);
}

bool HandleCommonMessage(UiWindow& window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_SETTEXT: {
        const auto* text = reinterpret_cast<LPCWSTR>(lParam);
        window.text = text ? text : u"";
        *result = TRUE;
        return true;
    }
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam == 0) {
            *result = 0;
            return true;
        }
        const size_t count = std::min(window.text.size(), static_cast<size_t>(wParam) - 1);
        std::memcpy(buffer, window.text.data(), count * sizeof(WCHAR));
        buffer[count] = 0;
        *result = static_cast<LRESULT>(count);
        return true;
    }
    case WM_GETTEXTLENGTH:
        *result = static_cast<LRESULT>(window.text.size());
        return true;
    case WM_SETFONT:
        window.font = reinterpret_cast<HFONT>(wParam);
        *result = 0;
        return true;
    case WM_GETFONT:
        *result = reinterpret_cast<LRESULT>(window.font);
        return true;
    default:
        return false;
    }
}

void NotifyCommand(HWND control, WORD code)
{
    HWND parent = GetParent(control);
    if (!parent)
        return;
    const auto id = static_cast<WORD>(GetDlgCtrlID(control));
    SendMessageW(parent, WM_COMMAND, MAKELONG(id, code), reinterpret_cast<LPARAM>(control));
}

LRESULT NotifyParent(HWND control, UINT code)
{
    HWND parent = GetParent(control);
    if (!parent)
        return 0;
    NMHDR header{control, static_cast<UINT_PTR>(GetDlgCtrlID(control)), code};
    return SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

DWORD WindowStyle(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)); }

} // namespace plat::ui
