// The controls: each a window class whose procedure keeps the control's
// state in its UiWindow and tells its parent what changed, as the standard
// and common controls do. Painting and keyboard/mouse input are not here;
// UserActions.cpp plays the user's part.
#include "platform/resources/resources.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiWindow.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

namespace plat::ui {

namespace {

constexpr int kTabHeaderHeight = 20;

// A tab is as wide as its text in the dialog font (6 pixels a character)
// and a margin.
LONG TabWidth(const ListItem& item) { return static_cast<LONG>(item.text.size()) * 6 + 12; }

char16_t FoldChar(char16_t c)
{
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<char16_t>(c - 0x20);
    return c;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = FoldChar(a[i]);
        const char16_t y = FoldChar(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix)
{
    return text.size() >= prefix.size() && CompareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

// The common prologue of every control procedure: the state entry, and the
// text, font and life-cycle messages. Returns null when the message is
// answered already (`*result` holds the answer).
std::shared_ptr<UiWindow> Prologue(ControlKind kind, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                   LRESULT* result)
{
    if (message == WM_NCCREATE) {
        AddUiWindow(hwnd, *reinterpret_cast<const CREATESTRUCTW*>(lParam), kind);
        *result = TRUE;
        return nullptr;
    }
    if (message == WM_NCDESTROY) {
        RemoveUiWindow(hwnd);
        *result = 0;
        return nullptr;
    }
    std::shared_ptr<UiWindow> window = FindUiWindow(hwnd);
    if (!window) {
        *result = DefWindowProcW(hwnd, message, wParam, lParam);
        return nullptr;
    }
    if (HandleCommonMessage(*window, message, wParam, lParam, result))
        return nullptr;
    return window;
}

// ---- Button ----

bool IsAutoRadio(HWND hwnd) { return (WindowStyle(hwnd) & BS_TYPEMASK) == BS_AUTORADIOBUTTON; }

bool IsRadio(HWND hwnd)
{
    const DWORD type = WindowStyle(hwnd) & BS_TYPEMASK;
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// A radio button's check; the checked one of a group is its tab stop, so
// Tab into the group lands on the choice made.
void SetCheck(UiWindow& window, UINT check)
{
    window.check = check;
    if (!IsRadio(window.hwnd))
        return;
    const DWORD style = WindowStyle(window.hwnd);
    const DWORD updated = check == BST_CHECKED ? style | WS_TABSTOP : style & ~WS_TABSTOP;
    if (updated != style)
        SetWindowLongPtrW(window.hwnd, GWL_STYLE, static_cast<LONG>(updated));
}

// The automatic radio buttons of the group that holds `button`: from the
// nearest sibling at or before it with WS_GROUP to the next one with it.
void UncheckRadioGroup(HWND button)
{
    std::shared_ptr<UiWindow> parent = FindUiWindow(GetParent(button));
    if (!parent)
        return;
    const std::vector<HWND> siblings = parent->children;
    auto self = std::find(siblings.begin(), siblings.end(), button);
    if (self == siblings.end())
        return;
    auto first = self;
    while (first != siblings.begin() && !(WindowStyle(*first) & WS_GROUP))
        --first;
    for (auto it = first; it != siblings.end(); ++it) {
        if (it != first && (WindowStyle(*it) & WS_GROUP))
            break;
        if (*it != button && IsAutoRadio(*it))
            SendMessageW(*it, BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    std::shared_ptr<UiWindow> window = Prologue(ControlKind::Button, hwnd, message, wParam, lParam, &result);
    if (!window)
        return result;
    switch (message) {
    case BM_GETCHECK:
        return window->check;
    case BM_SETCHECK:
        SetCheck(*window, static_cast<UINT>(wParam) > BST_INDETERMINATE ? BST_UNCHECKED : static_cast<UINT>(wParam));
        return 0;
    case BM_SETSTYLE: {
        const DWORD style = WindowStyle(hwnd);
        const DWORD updated = (style & ~BS_TYPEMASK) | (static_cast<DWORD>(wParam) & BS_TYPEMASK);
        if (updated != style)
            SetWindowLongPtrW(hwnd, GWL_STYLE, static_cast<LONG>(updated));
        return 0;
    }
    case BM_CLICK: {
        if (!IsWindowEnabled(hwnd))
            return 0;
        switch (WindowStyle(hwnd) & BS_TYPEMASK) {
        case BS_AUTOCHECKBOX:
            window->check = window->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
            break;
        case BS_AUTO3STATE:
            window->check = (window->check + 1) % 3;
            break;
        case BS_AUTORADIOBUTTON:
            SetCheck(*window, BST_CHECKED);
            UncheckRadioGroup(hwnd);
            break;
        default:
            break;
        }
        NotifyCommand(hwnd, BN_CLICKED);
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// ---- Edit ----

LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT) {
        std::shared_ptr<UiWindow> window = FindUiWindow(hwnd);
        if (!window)
            return FALSE;
        LRESULT result = 0;
        HandleCommonMessage(*window, message, wParam, lParam, &result);
        NotifyCommand(hwnd, EN_CHANGE);
        return result;
    }
    LRESULT result = 0;
    std::shared_ptr<UiWindow> window = Prologue(ControlKind::Edit, hwnd, message, wParam, lParam, &result);
    if (!window)
        return result;
    switch (message) {
    case WM_SETFOCUS:
        NotifyCommand(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        window->balloon.shown = false;
        NotifyCommand(hwnd, EN_KILLFOCUS);
        return 0;
    case EM_SHOWBALLOONTIP: {
        const auto* tip = reinterpret_cast<const EDITBALLOONTIP*>(lParam);
        if (!tip || tip->cbStruct < sizeof(EDITBALLOONTIP))
            return FALSE;
        window->balloon =
            BalloonTip{tip->pszTitle ? tip->pszTitle : u"", tip->pszText ? tip->pszText : u"", tip->ttiIcon, true};
        return TRUE;
    }
    case EM_HIDEBALLOONTIP:
        window->balloon.shown = false;
        return TRUE;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// ---- Static and link ----

// An icon static's text names its icon in the module that made it: an
// ordinal (0xFFFF and the number, as a template stores it) or a name. The
// icon comes in the system's icon size and the control takes its size, or,
// with SS_REALSIZECONTROL, in the size nearest the control's, fitted to it.
void LoadStaticIcon(UiWindow& window, const CREATESTRUCTW& create)
{
    if (window.text.empty())
        return;
    const std::u16string text = std::exchange(window.text, {});
    const LPCWSTR name = text[0] == 0xFFFF ? (text.size() > 1 ? MAKEINTRESOURCEW(text[1]) : nullptr) : text.c_str();
    if (!name)
        return;
    const bool fitted = (static_cast<DWORD>(create.style) & SS_REALSIZECONTROL) != 0;
    window.image = fitted ? LoadImageW(create.hInstance, name, IMAGE_ICON, create.cx, create.cy, LR_SHARED)
                          : LoadIconW(create.hInstance, name);
    if (window.image && !fitted) {
        constexpr int kIconSize = 32;
        window.rect.right = window.rect.left + kIconSize;
        window.rect.bottom = window.rect.top + kIconSize;
    }
}

LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    std::shared_ptr<UiWindow> window = Prologue(ControlKind::Static, hwnd, message, wParam, lParam, &result);
    if (!window)
        return result;
    switch (message) {
    case WM_CREATE: {
        const auto& create = *reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if ((static_cast<DWORD>(create.style) & SS_TYPEMASK) == SS_ICON)
            LoadStaticIcon(*window, create);
        return 0;
    }
    case STM_SETICON: {
        HANDLE previous = window->image;
        window->image = reinterpret_cast<HANDLE>(wParam);
        return reinterpret_cast<LRESULT>(previous);
    }
    case STM_GETICON:
        return reinterpret_cast<LRESULT>(window->image);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT LinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    std::shared_ptr<UiWindow> window = Prologue(ControlKind::Link, hwnd, message, wParam, lParam, &result);
    if (!window)
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- Combo box ----

bool HasStrings(DWORD style)
{
    return !(style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) || (style & CBS_HASSTRINGS);
}

// Where a new item goes in a sorted list: before the first item that sorts
// after it. Lists without strings ask the parent (WM_COMPAREITEM).
size_t SortedPosition(HWND hwnd, const UiWindow& window, const ListItem& item, bool strings)
{
    HWND parent = GetParent(hwnd);
    for (size_t i = 0; i < window.items.size(); ++i) {
        int order;
        if (strings) {
            order = CompareNoCase(item.text, window.items[i].text);
        } else {
            COMPAREITEMSTRUCT compare{ODT_COMBOBOX,
                                      static_cast<UINT>(GetDlgCtrlID(hwnd)),
                                      hwnd,
                                      static_cast<UINT>(-1),
                                      static_cast<ULONG_PTR>(item.data),
                                      static_cast<UINT>(i),
                                      static_cast<ULONG_PTR>(window.items[i].data),
                                      0};
            order = parent ? static_cast<int>(SendMessageW(parent, WM_COMPAREITEM, compare.CtlID,
                                                           reinterpret_cast<LPARAM>(&compare)))
                           : 1;
        }
        if (order < 0)
            return i;
    }
    return window.items.size();
}

void SetComboSelection(UiWindow& window, int index)
{
    window.selection = index;
    window.text = index >= 0 ? window.items[static_cast<size_t>(index)].text : std::u16string();
}

LRESULT FindItem(const UiWindow& window, WPARAM start, LPARAM lParam, bool exact)
{
    const auto* text = reinterpret_cast<LPCWSTR>(lParam);
    const int count = static_cast<int>(window.items.size());
    if (!text || count == 0)
        return CB_ERR;
    const std::u16string_view wanted(text);
    const int first = static_cast<int>(static_cast<INT_PTR>(start));
    const int from = (first < -1 || first >= count) ? 0 : first + 1;
    for (int n = 0; n < count; ++n) {
        const int i = (from + n) % count;
        const std::u16string& item = window.items[static_cast<size_t>(i)].text;
        if (exact ? CompareNoCase(item, wanted) == 0 : StartsWithNoCase(item, wanted))
            return i;
    }
    return CB_ERR;
}

LRESULT ComboProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    std::shared_ptr<UiWindow> window = Prologue(ControlKind::ComboBox, hwnd, message, wParam, lParam, &result);
    if (!window)
        return result;
    const DWORD style = WindowStyle(hwnd);
    const bool strings = HasStrings(style);
    const int count = static_cast<int>(window->items.size());
    const auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
    const bool valid = index >= 0 && index < count;
    switch (message) {
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
        ListItem item;
        if (strings) {
            const auto* text = reinterpret_cast<LPCWSTR>(lParam);
            item.text = text ? text : u"";
        } else {
            item.data = lParam;
        }
        size_t at;
        if (message == CB_ADDSTRING) {
            at = (style & CBS_SORT) ? SortedPosition(hwnd, *window, item, strings) : window->items.size();
        } else {
            if (index < -1 || index > count)
                return CB_ERR;
            at = index == -1 ? window->items.size() : static_cast<size_t>(index);
        }
        window->items.insert(window->items.begin() + static_cast<ptrdiff_t>(at), std::move(item));
        if (window->selection >= static_cast<int>(at))
            ++window->selection;
        return static_cast<LRESULT>(at);
    }
    case CB_DELETESTRING:
        if (!valid)
            return CB_ERR;
        window->items.erase(window->items.begin() + index);
        if (window->selection == index)
            SetComboSelection(*window, -1);
        else if (window->selection > index)
            --window->selection;
        return static_cast<LRESULT>(window->items.size());
    case CB_RESETCONTENT:
        window->items.clear();
        SetComboSelection(*window, -1);
        return 0;
    case CB_GETCOUNT:
        return count;
    case CB_GETCURSEL:
        return window->selection;
    case CB_SETCURSEL:
        SetComboSelection(*window, valid ? index : -1);
        return valid ? index : CB_ERR;
    case CB_GETITEMDATA:
        return valid ? window->items[static_cast<size_t>(index)].data : CB_ERR;
    case CB_SETITEMDATA:
        if (!valid)
            return CB_ERR;
        window->items[static_cast<size_t>(index)].data = lParam;
        return TRUE;
    case CB_GETLBTEXTLEN:
        return valid ? static_cast<LRESULT>(window->items[static_cast<size_t>(index)].text.size()) : CB_ERR;
    case CB_GETLBTEXT: {
        // Like the system's: the caller's buffer must hold the whole text.
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!valid || !buffer)
            return CB_ERR;
        const std::u16string& text = window->items[static_cast<size_t>(index)].text;
        std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
        return static_cast<LRESULT>(text.size());
    }
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
        return FindItem(*window, wParam, lParam, message == CB_FINDSTRINGEXACT);
    case CB_SELECTSTRING: {
        const LRESULT found = FindItem(*window, wParam, lParam, false);
        if (found != CB_ERR)
            SetComboSelection(*window, static_cast<int>(found));
        return found;
    }
    case WM_SETFOCUS:
        NotifyCommand(hwnd, CBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        NotifyCommand(hwnd, CBN_KILLFOCUS);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// ---- Trackbar and progress bar ----

void ClampPosition(UiWindow& window)
{
    window.position = std::clamp(window.position, window.rangeMin, std::max(window.rangeMin, window.rangeMax));
}

LRESULT TrackbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    std::shared_ptr<UiWindow> window = Prologue(ControlKind::Trackbar, hwnd, message, wParam, lParam, &result);
    if (!window)
        return result;
    switch (message) {
    case TBM_GETPOS:
        return window->position;
    case TBM_SETPOS:
        window->position = static_cast<int>(lParam);
        ClampPosition(*window);
        return 0;
    case TBM_GETRANGEMIN:
        return window->rangeMin;
    case TBM_GETRANGEMAX:
        return window->rangeMax;
    case TBM_SETRANGE:
        window->rangeMin = static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lParam)));
        window->rangeMax = static_cast<short>(HIWORD(static_cast<DWORD_PTR>(lParam)));
        ClampPosition(*window);
        return 0;
    case TBM_SETRANGEMIN:
        window->rangeMin = static_cast<int>(lParam);
        ClampPosition(*window);
        return 0;
    case TBM_SETRANGEMAX:
        window->rangeMax = static_cast<int>(lParam);
        ClampPosition(*window);
        return 0;
    case TBM_SETLINESIZE: {
        const int previous = window->lineSize;
        window->lineSize = static_cast<int>(lParam);
        return previous;
    }
    case TBM_GETLINESIZE:
        return window->lineSize;
    case TBM_SETPAGESIZE: {
        const int previous = window->pageSize;
        window->pageSize = static_cast<int>(lParam);
        return previous;
    }
    case TBM_GETPAGESIZE:
        return window->pageSize ? window->pageSize : std::max(1, (window->rangeMax - window->rangeMin) / 5);
    case TBM_SETTICFREQ:
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    std::shared_ptr<UiWindow> window = Prologue(ControlKind::Progress, hwnd, message, wParam, lParam, &result);
    if (!window)
        return result;
    switch (message) {
    case PBM_SETRANGE:
    case PBM_SETRANGE32: {
        const LRESULT previous = MAKELONG(static_cast<WORD>(window->rangeMin), static_cast<WORD>(window->rangeMax));
        if (message == PBM_SETRANGE) {
            window->rangeMin = LOWORD(static_cast<DWORD_PTR>(lParam));
            window->rangeMax = HIWORD(static_cast<DWORD_PTR>(lParam));
        } else {
            window->rangeMin = static_cast<int>(wParam);
            window->rangeMax = static_cast<int>(lParam);
        }
        ClampPosition(*window);
        return previous;
    }
    case PBM_SETPOS:
    case PBM_DELTAPOS: {
        const int previous = window->position;
        window->position = message == PBM_SETPOS ? static_cast<int>(wParam) : previous + static_cast<int>(wParam);
        ClampPosition(*window);
        return previous;
    }
    case PBM_GETPOS:
        return window->position;
    case PBM_GETRANGE:
        return wParam ? window->rangeMin : window->rangeMax;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// ---- Tab control ----

LRESULT TabProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    std::shared_ptr<UiWindow> window = Prologue(ControlKind::TabControl, hwnd, message, wParam, lParam, &result);
    if (!window)
        return result;
    const int count = static_cast<int>(window->items.size());
    const auto index = static_cast<int>(static_cast<INT_PTR>(wParam));
    const bool valid = index >= 0 && index < count;
    auto* item = reinterpret_cast<TCITEMW*>(lParam);
    switch (message) {
    case TCM_INSERTITEMW: {
        if (index < 0 || !item)
            return -1;
        const size_t at = std::min(static_cast<size_t>(index), window->items.size());
        ListItem entry;
        if ((item->mask & TCIF_TEXT) && item->pszText)
            entry.text = item->pszText;
        if (item->mask & TCIF_PARAM)
            entry.data = item->lParam;
        window->items.insert(window->items.begin() + static_cast<ptrdiff_t>(at), std::move(entry));
        if (window->selection < 0)
            window->selection = 0; // the first tab is the selected one
        else if (window->selection >= static_cast<int>(at) && count > 0)
            ++window->selection;
        return static_cast<LRESULT>(at);
    }
    case TCM_SETITEMW:
    case TCM_GETITEMW: {
        if (!valid || !item)
            return FALSE;
        ListItem& entry = window->items[static_cast<size_t>(index)];
        if (message == TCM_SETITEMW) {
            if (item->mask & TCIF_TEXT)
                entry.text = item->pszText ? item->pszText : u"";
            if (item->mask & TCIF_PARAM)
                entry.data = item->lParam;
            return TRUE;
        }
        if ((item->mask & TCIF_TEXT) && item->pszText && item->cchTextMax > 0) {
            const size_t n = std::min(entry.text.size(), static_cast<size_t>(item->cchTextMax) - 1);
            std::memcpy(item->pszText, entry.text.data(), n * sizeof(WCHAR));
            item->pszText[n] = 0;
        }
        if (item->mask & TCIF_PARAM)
            item->lParam = entry.data;
        return TRUE;
    }
    case TCM_GETITEMCOUNT:
        return count;
    case TCM_DELETEITEM:
        if (!valid)
            return FALSE;
        window->items.erase(window->items.begin() + index);
        if (window->selection == index)
            window->selection = -1;
        else if (window->selection > index)
            --window->selection;
        return TRUE;
    case TCM_DELETEALLITEMS:
        window->items.clear();
        window->selection = -1;
        return TRUE;
    case TCM_GETCURSEL:
        return window->selection;
    case TCM_SETCURSEL: {
        const int previous = window->selection;
        if (!valid)
            return -1;
        window->selection = index;
        return previous;
    }
    case TCM_GETITEMRECT: {
        // The header row is answered for any index, also before the first
        // tab exists: callers size their pages from it.
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (!rect || index < 0)
            return FALSE;
        LONG left = 2;
        for (int i = 0; i < index && i < count; ++i)
            left += TabWidth(window->items[static_cast<size_t>(i)]);
        const LONG width = valid ? TabWidth(window->items[static_cast<size_t>(index)]) : 0;
        *rect = RECT{left, 2, left + width, 2 + kTabHeaderHeight};
        return valid;
    }
    case TCM_ADJUSTRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (!rect)
            return 0;
        const int sign = wParam ? -1 : 1; // TRUE: display area to window rectangle
        rect->left += sign * 4;
        rect->top += sign * (kTabHeaderHeight + 6);
        rect->right -= sign * 4;
        rect->bottom -= sign * 4;
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

void RegisterControlClasses()
{
    struct ClassEntry {
        const char16_t* name;
        WNDPROC proc;
    };
    const ClassEntry classes[] = {
        {kButtonClass, ButtonProc},  {kEditClass, EditProc},         {kStaticClass, StaticProc},
        {kComboBoxClass, ComboProc}, {kTrackbarClass, TrackbarProc}, {kProgressClass, ProgressProc},
        {kTabControlClass, TabProc}, {kLinkClass, LinkProc},
    };
    for (const ClassEntry& entry : classes) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = entry.proc;
        wc.lpszClassName = entry.name;
        RegisterClassW(&wc);
    }
}

void RegisterRichEditClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (const char16_t* name : {u"RichEdit20W", u"RichEdit20A"}) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = EditProc;
            wc.lpszClassName = name;
            RegisterClassW(&wc);
        }
    });
}

} // namespace plat::ui
