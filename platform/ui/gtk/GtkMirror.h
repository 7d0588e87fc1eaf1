// One model window as the GTK back end shows it: the widget made for it
// and the model state last put into the widget, so that a pump changes a
// widget only where the model changed (and leaves alone what the person
// is doing to it meanwhile).
#pragma once

#include "platform/ui/UiWindow.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

namespace plat::ui::gtk {

struct ShownState {
    std::u16string text;
    DWORD style = 0;
    bool enabled = true;
    RECT rect{};
    UINT check = BST_UNCHECKED;
    std::vector<ListItem> items;
    int selection = -1;
    int position = 0;
    int rangeMin = 0;
    int rangeMax = 100;
    BalloonTip balloon;
    HANDLE image = nullptr; // an icon static's icon
};

struct Mirror {
    HWND hwnd = nullptr;
    ControlKind kind = ControlKind::Dialog;
    bool topLevel = false;
    GtkWidget* window = nullptr;    // a top-level dialog's GtkWindow
    GtkWidget* widget = nullptr;    // what sits in the parent's container
    GtkWidget* control = nullptr;   // the widget input comes from
    GtkWidget* container = nullptr; // a dialog's GtkFixed for its children
    GtkWidget* balloon = nullptr;   // an edit's balloon tip
    GtkWidget* partner = nullptr;   // a radio button's unseen group partner
    // Where the model parent's client area starts in the GtkFixed that
    // holds the widget: a control's own children (the pages over a tab
    // control) sit in the dialog's container, shifted by the control.
    POINT origin{0, 0};
    bool shown = false;    // state applied at least once
    bool dragging = false; // a trackbar's thumb is held
    ShownState state;
};

} // namespace plat::ui::gtk
