// The state this layer keeps for each of its windows (dialogs and
// controls), internal to the platform library. The kernel's window table
// holds class, procedure, parent, id and styles; this holds the rest.
// An entry is made at WM_NCCREATE and dropped at WM_NCDESTROY, and is only
// touched on the window's own thread (other threads reach it through
// SendMessage).
#pragma once

#include "platform/ui/winuser.h"

#include <memory>
#include <string>
#include <vector>

namespace plat::ui {

enum class ControlKind { Dialog, Button, Edit, Static, ComboBox, Trackbar, Progress, TabControl, Link };

struct ListItem {
    std::u16string text;
    LPARAM data = 0;
};

struct BalloonTip {
    std::u16string title;
    std::u16string text;
    int icon = TTI_NONE;
    bool shown = false;
};

struct UiWindow {
    HWND hwnd = nullptr;
    ControlKind kind = ControlKind::Dialog;
    HWND parent = nullptr;
    std::vector<HWND> children; // in creation order: template order for dialogs
    std::u16string text;
    RECT rect{}; // in the parent's client coordinates
    HFONT font = nullptr;
    HANDLE image = nullptr;
    DWORD textureFlags = 0; // EnableThemeDialogTexture
    // buttons
    UINT check = BST_UNCHECKED;
    // combo boxes and tab controls
    std::vector<ListItem> items;
    int selection = -1;
    // trackbars and progress bars
    int position = 0;
    int rangeMin = 0;
    int rangeMax = 100;
    int lineSize = 1;
    int pageSize = 0; // 0: a fifth of the range
    // edits
    BalloonTip balloon;
    // dialogs
    bool ended = false;
    INT_PTR result = 0;
    int defaultId = 0; // DM_GETDEFID; 0: none
};

std::shared_ptr<UiWindow> FindUiWindow(HWND hwnd);
// The windows of this layer that are not child windows, in no order.
std::vector<std::shared_ptr<UiWindow>> TopLevelUiWindows();
// Creates the entry for a window at WM_NCCREATE and links it to its parent.
std::shared_ptr<UiWindow> AddUiWindow(HWND hwnd, const CREATESTRUCTW& create, ControlKind kind);
// The kind of one of this layer's windows; Dialog for any other window.
ControlKind ControlKindOf(HWND hwnd);
// Drops the entry at WM_NCDESTROY.
void RemoveUiWindow(HWND hwnd);

// Text, font and geometry messages every window of this layer answers;
// false when the message is not one of them.
bool HandleCommonMessage(UiWindow& window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

// WM_COMMAND / WM_NOTIFY from a control to its parent.
void NotifyCommand(HWND control, WORD code);
LRESULT NotifyParent(HWND control, UINT code);

// Registers the dialog and control classes once per process.
void EnsureWindowClasses();
void RegisterControlClasses();
// The rich-edit classes, on request (AfxInitRichEdit2): edit controls.
void RegisterRichEditClasses();

DWORD WindowStyle(HWND hwnd);

// A push button (plain or default), as opposed to check boxes, radio
// buttons and group boxes.
bool IsPushButton(HWND hwnd);
// The focus moved to `focus`: of the push buttons of the dialog it sits in
// (its pages' among them) the focused one is the default button, and
// without one the dialog's own default (DM_GETDEFID). Only that one has
// BS_DEFPUSHBUTTON.
void ShowDefaultButtonFor(HWND focus);

} // namespace plat::ui
