#include "platform/ui/gtk/GtkInput.h"

#include "platform/base/strings.h"
#include "platform/ui/UserActions.h"
#include "platform/ui/UserInput.h"
#include "platform/ui/gtk/GtkWidgets.h"

#include <gdk/gdkkeysyms.h>

#include <cmath>

namespace plat::ui::gtk {

namespace {

HWND Target(gpointer data) { return static_cast<HWND>(data); }

void Post(gpointer data, std::function<void(HWND)> action)
{
    if (!InputMuted())
        PostUserInput(Target(data), std::move(action));
}

void OnClicked(GtkWidget*, gpointer data)
{
    Post(data, [](HWND control) { Click(control); });
}

gboolean OnStaticPressed(GtkWidget*, GdkEventButton* event, gpointer data)
{
    if (event->type == GDK_BUTTON_PRESS && event->button == 1)
        Post(data, [](HWND control) { Click(control); });
    return FALSE;
}

gboolean OnLinkActivated(GtkLabel*, gchar*, gpointer data)
{
    Post(data, [](HWND control) { Click(control); });
    return TRUE; // the model's owner decides what the link opens
}

void OnEntryChanged(GtkEditable* editable, gpointer data)
{
    const std::u16string text = Utf8ToUtf16(gtk_entry_get_text(GTK_ENTRY(editable)));
    Post(data, [text](HWND control) { TypeText(control, text); });
}

void OnComboChanged(GtkComboBox* combo, gpointer data)
{
    const int index = gtk_combo_box_get_active(combo);
    if (index >= 0)
        Post(data, [index](HWND control) { ChooseComboItem(control, index); });
}

// The model changes the page; the notebook follows when it has.
void OnSwitchPage(GtkNotebook* notebook, GtkWidget*, guint page, gpointer data)
{
    if (InputMuted())
        return;
    g_signal_stop_emission_by_name(notebook, "switch-page");
    const int index = static_cast<int>(page);
    Post(data, [index](HWND control) { ChooseTab(control, index); });
}

int ScrollCode(GtkScrollType scroll)
{
    switch (scroll) {
    case GTK_SCROLL_STEP_BACKWARD:
    case GTK_SCROLL_STEP_LEFT:
    case GTK_SCROLL_STEP_UP:
        return TB_LINEUP;
    case GTK_SCROLL_STEP_FORWARD:
    case GTK_SCROLL_STEP_RIGHT:
    case GTK_SCROLL_STEP_DOWN:
        return TB_LINEDOWN;
    case GTK_SCROLL_PAGE_BACKWARD:
    case GTK_SCROLL_PAGE_LEFT:
    case GTK_SCROLL_PAGE_UP:
        return TB_PAGEUP;
    case GTK_SCROLL_PAGE_FORWARD:
    case GTK_SCROLL_PAGE_RIGHT:
    case GTK_SCROLL_PAGE_DOWN:
        return TB_PAGEDOWN;
    case GTK_SCROLL_START:
        return TB_TOP;
    case GTK_SCROLL_END:
        return TB_BOTTOM;
    default:
        return -1;
    }
}

// Keys step the trackbar; the pointer drags its thumb until the button is
// let go. The model moves the thumb: the toolkit's own move is refused.
gboolean OnChangeValue(GtkRange*, GtkScrollType scroll, gdouble value, gpointer data)
{
    if (InputMuted())
        return FALSE;
    const int code = ScrollCode(scroll);
    if (code >= 0) {
        Post(data, [code](HWND control) { StepTrackbar(control, code); });
    } else {
        const int position = static_cast<int>(std::lround(value));
        Post(data, [position](HWND control) { TrackTrackbar(control, position); });
    }
    return TRUE;
}

gboolean OnRangeReleased(GtkWidget*, GdkEventButton* event, gpointer data)
{
    if (event->button == 1)
        Post(data, [](HWND control) { EndTrackbarDrag(control); });
    return FALSE;
}

gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data)
{
    Post(data, [](HWND control) { Focus(control); });
    return FALSE;
}

// An arrow key: -1 back (Left, Up), 1 on (Right, Down), 0 none.
int ArrowDirection(guint key)
{
    switch (key) {
    case GDK_KEY_Left:
    case GDK_KEY_Up:
    case GDK_KEY_KP_Left:
    case GDK_KEY_KP_Up:
        return -1;
    case GDK_KEY_Right:
    case GDK_KEY_Down:
    case GDK_KEY_KP_Right:
    case GDK_KEY_KP_Down:
        return 1;
    default:
        return 0;
    }
}

// The dialog's keyboard is the model's, as the system's dialog manager has
// it: Enter (the focused push button, else the default one), Escape
// (Cancel), Tab and Shift-Tab (the template's order), and the arrow keys
// on a button (its group). Other keys go to the focused widget. A disabled
// dialog takes no key, and a modal one none typed over another window.
gboolean OnDialogKey(GtkWidget* window, GdkEventKey* event, gpointer data)
{
    const HWND dialog = Target(data);
    if (!IsWindowEnabled(dialog) || gdk_window_get_toplevel(event->window) != gtk_widget_get_window(window))
        return TRUE;
    const guint key = event->keyval;
    if (key == GDK_KEY_Escape) {
        Post(data, [](HWND target) { PressEscape(target); });
        return TRUE;
    }
    if (key == GDK_KEY_Return || key == GDK_KEY_KP_Enter || key == GDK_KEY_ISO_Enter) {
        Post(data, [](HWND target) { PressEnter(target); });
        return TRUE;
    }
    if (key == GDK_KEY_Tab || key == GDK_KEY_KP_Tab || key == GDK_KEY_ISO_Left_Tab) {
        const bool previous = key == GDK_KEY_ISO_Left_Tab || (event->state & GDK_SHIFT_MASK);
        Post(data, [previous](HWND target) { PressTab(target, previous); });
        return TRUE;
    }
    const int direction = ArrowDirection(key);
    HWND focus = GetFocus();
    if (direction == 0 || !focus || !IsChild(dialog, focus) || ControlKindOf(focus) != ControlKind::Button)
        return FALSE;
    Post(data, [direction](HWND target) { PressArrow(target, direction < 0); });
    return TRUE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data)
{
    // The close box: the model decides whether the dialog goes.
    Post(data, [](HWND dialog) {
        if (IsWindowEnabled(dialog))
            SendMessageW(dialog, WM_CLOSE, 0, 0);
    });
    return TRUE;
}

void ConnectFocus(GtkWidget* widget, gpointer data)
{
    g_signal_connect(widget, "focus-in-event", G_CALLBACK(OnFocusIn), data);
}

} // namespace

void ConnectInput(Mirror& mirror)
{
    gpointer data = mirror.hwnd;
    GtkWidget* w = mirror.control;
    switch (mirror.kind) {
    case ControlKind::Dialog:
        if (mirror.window) {
            g_signal_connect(mirror.window, "key-press-event", G_CALLBACK(OnDialogKey), data);
            g_signal_connect(mirror.window, "delete-event", G_CALLBACK(OnDelete), data);
        }
        return;
    case ControlKind::Button:
        if (GTK_IS_BUTTON(w)) {
            g_signal_connect(w, "clicked", G_CALLBACK(OnClicked), data);
            ConnectFocus(w, data);
        }
        return;
    case ControlKind::Edit:
        g_signal_connect(w, "changed", G_CALLBACK(OnEntryChanged), data);
        ConnectFocus(w, data);
        return;
    case ControlKind::Static:
        if (GTK_IS_EVENT_BOX(w))
            g_signal_connect(w, "button-press-event", G_CALLBACK(OnStaticPressed), data);
        return;
    case ControlKind::Link:
        g_signal_connect(w, "activate-link", G_CALLBACK(OnLinkActivated), data);
        return;
    case ControlKind::ComboBox:
        g_signal_connect(w, "changed", G_CALLBACK(OnComboChanged), data);
        ConnectFocus(w, data);
        return;
    case ControlKind::Trackbar:
        g_signal_connect(w, "change-value", G_CALLBACK(OnChangeValue), data);
        g_signal_connect(w, "button-release-event", G_CALLBACK(OnRangeReleased), data);
        ConnectFocus(w, data);
        return;
    case ControlKind::TabControl:
        g_signal_connect(w, "switch-page", G_CALLBACK(OnSwitchPage), data);
        return;
    case ControlKind::Progress:
        return;
    }
}

} // namespace plat::ui::gtk
