// The dialog manager's keyboard part: tab stops and groups in template
// order, through the pages a dialog holds (children with
// WS_EX_CONTROLPARENT), and the default push button that follows the focus.
#include "platform/base/lasterror.h"
#include "platform/ui/UiWindow.h"

#include <vector>

namespace plat::ui {

namespace {

// Visible and enabled by its own style.
bool TakesInput(HWND hwnd)
{
    const DWORD style = WindowStyle(hwnd);
    return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

bool HoldsControls(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0; }

struct NavigationItem {
    HWND hwnd;
    bool tabStop;
};

// Every window under `parent` in creation order, a page before its own
// controls; a control is a tab stop when it and every page it sits in take
// input.
void CollectControls(HWND parent, bool reachable, std::vector<NavigationItem>& items)
{
    std::shared_ptr<UiWindow> window = FindUiWindow(parent);
    if (!window)
        return;
    const std::vector<HWND> children = window->children;
    for (HWND child : children) {
        const bool holds = HoldsControls(child);
        const bool takes = reachable && TakesInput(child);
        items.push_back({child, !holds && takes && (WindowStyle(child) & WS_TABSTOP)});
        if (holds)
            CollectControls(child, takes, items);
    }
}

// From position `from` of `count` (or from before the first, or after the
// last, for -1) one step at a time round the end: the first position
// `accepted`, or -1.
template <class Accepted>
int StepRound(int count, int from, bool previous, Accepted accepted)
{
    if (from < 0)
        from = previous ? count : -1;
    for (int step = 1; step <= count; ++step) {
        const int at = ((previous ? from - step : from + step) % count + count) % count;
        if (accepted(at))
            return at;
    }
    return -1;
}

HWND DialogDefaultButton(HWND dialog)
{
    const auto answer = static_cast<DWORD>(SendMessageW(dialog, DM_GETDEFID, 0, 0));
    if (HIWORD(answer) != DC_HASDEFID)
        return nullptr;
    HWND button = GetDlgItem(dialog, LOWORD(answer));
    return button && IsPushButton(button) ? button : nullptr;
}

} // namespace

bool IsPushButton(HWND hwnd)
{
    const DWORD type = WindowStyle(hwnd) & BS_TYPEMASK;
    return ControlKindOf(hwnd) == ControlKind::Button && FindUiWindow(hwnd) &&
           (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

void ShowDefaultButtonFor(HWND focus)
{
    HWND dialog = GetAncestor(focus, GA_ROOT);
    std::shared_ptr<UiWindow> window = FindUiWindow(dialog);
    if (!window || window->kind != ControlKind::Dialog)
        return;
    HWND chosen = IsPushButton(focus) ? focus : DialogDefaultButton(dialog);
    std::vector<NavigationItem> items;
    CollectControls(dialog, true, items);
    for (const NavigationItem& item : items) {
        if (IsPushButton(item.hwnd))
            SendMessageW(item.hwnd, BM_SETSTYLE, item.hwnd == chosen ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

} // namespace plat::ui

using plat::ui::NavigationItem;

HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious)
{
    if (!plat::ui::FindUiWindow(hDlg)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    std::vector<NavigationItem> items;
    plat::ui::CollectControls(hDlg, true, items);
    int from = -1;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].hwnd == hCtl)
            from = static_cast<int>(i);
    }
    const int at = plat::ui::StepRound(static_cast<int>(items.size()), from, bPrevious != FALSE,
                                       [&](int i) { return items[static_cast<size_t>(i)].tabStop; });
    return at < 0 ? hCtl : items[static_cast<size_t>(at)].hwnd;
}

HWND GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious)
{
    std::shared_ptr<plat::ui::UiWindow> parent = plat::ui::FindUiWindow(GetParent(hCtl));
    if (!parent || !IsChild(hDlg, hCtl)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    // The group: from the nearest control at or before hCtl with WS_GROUP
    // to the next one with it.
    const std::vector<HWND> siblings = parent->children;
    size_t self = 0;
    while (self < siblings.size() && siblings[self] != hCtl)
        ++self;
    if (self == siblings.size())
        return hCtl;
    size_t first = self;
    while (first > 0 && !(plat::ui::WindowStyle(siblings[first]) & WS_GROUP))
        --first;
    size_t end = first + 1;
    while (end < siblings.size() && !(plat::ui::WindowStyle(siblings[end]) & WS_GROUP))
        ++end;
    const int at = plat::ui::StepRound(static_cast<int>(end - first), static_cast<int>(self - first),
                                       bPrevious != FALSE, [&](int i) {
                                           HWND w = siblings[first + static_cast<size_t>(i)];
                                           return !plat::ui::HoldsControls(w) && plat::ui::TakesInput(w);
                                       });
    return at < 0 ? hCtl : siblings[first + static_cast<size_t>(at)];
}
