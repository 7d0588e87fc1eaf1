#include "platform/ui/UserActions.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/UiWindow.h"

#include <algorithm>
#include <string>

namespace plat::ui {

namespace {

// A user reaches a control only when it and the windows it sits in are
// enabled: a dialog disabled by its modal child takes no clicks.
std::shared_ptr<UiWindow> EnabledControl(HWND hwnd)
{
    for (HWND w = hwnd; w; w = GetParent(w)) {
        if (!IsWindowEnabled(w))
            return nullptr;
        if (!(WindowStyle(w) & WS_CHILD))
            break;
    }
    return FindUiWindow(hwnd);
}

void Scroll(HWND trackbar, int code, int position)
{
    const UINT message = (WindowStyle(trackbar) & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    const WPARAM wParam = MAKELONG(static_cast<WORD>(code), static_cast<WORD>(position));
    SendMessageW(GetParent(trackbar), message, wParam, reinterpret_cast<LPARAM>(trackbar));
}

int DefaultButton(HWND dialog)
{
    const auto answer = static_cast<DWORD>(SendMessageW(dialog, DM_GETDEFID, 0, 0));
    return HIWORD(answer) == DC_HASDEFID ? LOWORD(answer) : IDOK;
}

// The dialog's control with the focus, or null.
HWND FocusIn(HWND dialog)
{
    HWND focus = GetFocus();
    return focus && IsChild(dialog, focus) ? focus : nullptr;
}

// Statics and group boxes show; they take no focus.
bool TakesFocus(HWND control)
{
    const ControlKind kind = ControlKindOf(control);
    return kind != ControlKind::Static && kind != ControlKind::Dialog &&
           !(kind == ControlKind::Button && (WindowStyle(control) & BS_TYPEMASK) == BS_GROUPBOX);
}

void SendButtonCommand(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKELONG(static_cast<WORD>(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

} // namespace

bool Click(HWND control)
{
    if (!EnabledControl(control))
        return false;
    switch (ControlKindOf(control)) {
    case ControlKind::Button:
        SendMessageW(control, BM_CLICK, 0, 0);
        return true;
    case ControlKind::Static:
        if (!(WindowStyle(control) & SS_NOTIFY))
            return false;
        NotifyCommand(control, STN_CLICKED);
        return true;
    case ControlKind::Link:
        NotifyParent(control, NM_CLICK);
        return true;
    default:
        return false;
    }
}

bool Focus(HWND control)
{
    if (!EnabledControl(control))
        return false;
    if (GetFocus() != control)
        SetFocus(control);
    return true;
}

bool TypeText(HWND edit, std::u16string_view text)
{
    if (!EnabledControl(edit) || ControlKindOf(edit) != ControlKind::Edit)
        return false;
    SetFocus(edit);
    const std::u16string copy(text);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
    return true;
}

bool ChooseComboItem(HWND combo, int index)
{
    if (!EnabledControl(combo) || ControlKindOf(combo) != ControlKind::ComboBox)
        return false;
    if (SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == CB_ERR)
        return false;
    NotifyCommand(combo, CBN_SELCHANGE);
    NotifyCommand(combo, CBN_SELENDOK);
    return true;
}

bool StepTrackbar(HWND trackbar, int code)
{
    std::shared_ptr<UiWindow> window = EnabledControl(trackbar);
    if (!window || ControlKindOf(trackbar) != ControlKind::Trackbar)
        return false;
    const int line = window->lineSize;
    const int page = static_cast<int>(SendMessageW(trackbar, TBM_GETPAGESIZE, 0, 0));
    int position = window->position;
    // clang-format off
    switch (code) {
    case TB_LINEUP: position -= line; break;
    case TB_LINEDOWN: position += line; break;
    case TB_PAGEUP: position -= page; break;
    case TB_PAGEDOWN: position += page; break;
    case TB_TOP: position = window->rangeMin; break;
    case TB_BOTTOM: position = window->rangeMax; break;
    default: return false;
    }
    // clang-format on
    SendMessageW(trackbar, TBM_SETPOS, TRUE, position);
    Scroll(trackbar, code, 0);
    Scroll(trackbar, TB_ENDTRACK, 0);
    return true;
}

bool DragTrackbar(HWND trackbar, int position)
{
    return TrackTrackbar(trackbar, position) && EndTrackbarDrag(trackbar);
}

bool TrackTrackbar(HWND trackbar, int position)
{
    if (!EnabledControl(trackbar) || ControlKindOf(trackbar) != ControlKind::Trackbar)
        return false;
    SendMessageW(trackbar, TBM_SETPOS, TRUE, position);
    Scroll(trackbar, TB_THUMBTRACK, static_cast<int>(SendMessageW(trackbar, TBM_GETPOS, 0, 0)));
    return true;
}

bool EndTrackbarDrag(HWND trackbar)
{
    if (!EnabledControl(trackbar) || ControlKindOf(trackbar) != ControlKind::Trackbar)
        return false;
    Scroll(trackbar, TB_THUMBPOSITION, static_cast<int>(SendMessageW(trackbar, TBM_GETPOS, 0, 0)));
    Scroll(trackbar, TB_ENDTRACK, 0);
    return true;
}

bool ChooseTab(HWND tab, int index)
{
    if (!EnabledControl(tab) || ControlKindOf(tab) != ControlKind::TabControl)
        return false;
    if (index < 0 || index >= static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0)))
        return false;
    if (NotifyParent(tab, TCN_SELCHANGING))
        return false;
    SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    NotifyParent(tab, TCN_SELCHANGE);
    return true;
}

bool PressEnter(HWND dialog)
{
    if (!EnabledControl(dialog))
        return false;
    // A push button with the focus is the default button (on a page too).
    if (HWND focus = FocusIn(dialog); focus && IsPushButton(focus))
        return Click(focus);
    const int id = DefaultButton(dialog);
    HWND button = GetDlgItem(dialog, id);
    if (button && !IsWindowEnabled(button))
        return false;
    SendButtonCommand(dialog, id);
    return true;
}

bool PressEscape(HWND dialog)
{
    if (!EnabledControl(dialog))
        return false;
    SendButtonCommand(dialog, IDCANCEL);
    return true;
}

bool PressTab(HWND dialog, bool previous)
{
    if (!EnabledControl(dialog))
        return false;
    HWND next = GetNextDlgTabItem(dialog, FocusIn(dialog), previous);
    if (!next || next == dialog)
        return false;
    SetFocus(next);
    return true;
}

bool PressArrow(HWND dialog, bool previous)
{
    HWND focus = FocusIn(dialog);
    if (!EnabledControl(dialog) || !focus || ControlKindOf(focus) != ControlKind::Button)
        return false;
    HWND next = focus;
    do {
        next = GetNextDlgGroupItem(dialog, next, previous);
    } while (next && next != focus && !TakesFocus(next));
    if (!next || next == focus)
        return false;
    SetFocus(next);
    const bool autoRadio =
        ControlKindOf(next) == ControlKind::Button && (WindowStyle(next) & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
    if (autoRadio && SendMessageW(next, BM_GETCHECK, 0, 0) != BST_CHECKED)
        Click(next);
    return true;
}

bool BalloonTipShown(HWND edit, std::u16string* title, std::u16string* text, int* icon)
{
    std::shared_ptr<UiWindow> window = FindUiWindow(edit);
    if (!window || !window->balloon.shown)
        return false;
    if (title)
        *title = window->balloon.title;
    if (text)
        *text = window->balloon.text;
    if (icon)
        *icon = window->balloon.icon;
    return true;
}

} // namespace plat::ui
