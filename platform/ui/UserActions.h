// What a user does to a dialog, for tests and scripted runs: each action
// changes the control as the input would and sends the notifications the
// system sends for it. Actions on a disabled control, or on one inside a
// disabled window (a dialog under its modal child), do nothing and give
// false.
#pragma once

#include "platform/ui/winuser.h"

#include <string_view>

namespace plat::ui {

// A button (BN_CLICKED, after an automatic check box or radio button has
// changed), a static with SS_NOTIFY (STN_CLICKED) or a link (NM_CLICK).
bool Click(HWND control);
// The focus put on a control (a click on it).
bool Focus(HWND control);
// Gives the edit the focus and replaces its text (EN_CHANGE); the focus
// stays, so moving it on sends EN_KILLFOCUS.
bool TypeText(HWND edit, std::u16string_view text);
// Picks an entry of the list: CBN_SELCHANGE, then CBN_SELENDOK.
bool ChooseComboItem(HWND combo, int index);
// One scroll action (TB_LINEUP ... TB_BOTTOM) followed by TB_ENDTRACK, as
// the keyboard does; WM_HSCROLL, or WM_VSCROLL for a vertical trackbar.
bool StepTrackbar(HWND trackbar, int code);
// A drag to `position`: TB_THUMBTRACK, TB_THUMBPOSITION, TB_ENDTRACK.
bool DragTrackbar(HWND trackbar, int position);
// The two halves of a drag, for a pointer that moves in steps: the thumb
// moved to `position` (TB_THUMBTRACK), and the button let go where the
// thumb is (TB_THUMBPOSITION, TB_ENDTRACK).
bool TrackTrackbar(HWND trackbar, int position);
bool EndTrackbarDrag(HWND trackbar);
// Picks a tab: TCN_SELCHANGING (a non-zero answer keeps the old tab), then
// TCN_SELCHANGE.
bool ChooseTab(HWND tab, int index);
// Enter (the focused push button, else the dialog's default button, or
// IDOK) and Escape (IDCANCEL) in a dialog.
bool PressEnter(HWND dialog);
bool PressEscape(HWND dialog);
// Tab and Shift-Tab: the focus to the next (previous) tab stop of the
// dialog (GetNextDlgTabItem); false when none takes it.
bool PressTab(HWND dialog, bool previous = false);
// An arrow key on a button (Right and Down next, Left and Up previous):
// the focus to the next control of its group that takes it, and an
// automatic radio button reached is checked (BN_CLICKED). False where the
// arrow is the focused control's own (edits, lists, trackbars) or the
// focus stays.
bool PressArrow(HWND dialog, bool previous);

// The balloon tip an edit shows now (EM_SHOWBALLOONTIP), if any.
bool BalloonTipShown(HWND edit, std::u16string* title, std::u16string* text, int* icon);

} // namespace plat::ui
