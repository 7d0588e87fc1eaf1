#include "platform/ui/gtk/GtkWidgets.h"

#include "platform/ui/IconPicture.h"
#include "platform/ui/WordWrap.h"
#include "platform/ui/gtk/GtkOwnerDrawnList.h"
#include "platform/ui/gtk/GtkText.h"
#include "platform/ui/wingdi.h"

#include <algorithm>

namespace plat::ui::gtk {

namespace {

bool g_inputMuted = false;

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool SameItems(const std::vector<ListItem>& a, const std::vector<ListItem>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const ListItem& x, const ListItem& y) { return x.text == y.text && x.data == y.data; });
}

bool IsCheckBox(DWORD type)
{
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

bool IsRadio(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

bool OwnerDrawn(DWORD style) { return (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0; }

// A caption that does not fit is cut, as the system cuts it, rather than
// widening the widget past its rectangle.
void CutLabelsInside(GtkWidget* widget)
{
    if (GTK_IS_LABEL(widget)) {
        gtk_label_set_ellipsize(GTK_LABEL(widget), PANGO_ELLIPSIZE_END);
        return;
    }
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* c = children; c; c = c->next)
            CutLabelsInside(GTK_WIDGET(c->data));
        g_list_free(children);
    }
}

// A dialog's controls look the same whether its window has the keyboard
// or not (under a modal dialog, say), as the system draws them: the
// toolkit's faded look of a window in the background is taken off again.
void StayInForeground(GtkWidget* window, GtkStateFlags, gpointer)
{
    if (gtk_widget_get_state_flags(window) & GTK_STATE_FLAG_BACKDROP)
        gtk_widget_unset_state_flags(window, GTK_STATE_FLAG_BACKDROP);
}

GtkWidget* MakeButton(DWORD style)
{
    const DWORD type = style & BS_TYPEMASK;
    if (type == BS_GROUPBOX)
        return gtk_frame_new(nullptr);
    if (IsCheckBox(type))
        return gtk_check_button_new_with_mnemonic("");
    if (IsRadio(type))
        return gtk_radio_button_new_with_mnemonic(nullptr, "");
    return gtk_button_new_with_mnemonic("");
}

// Each radio button is a group of its own with a partner never shown: the
// model decides which of its group is checked, and a radio button the
// model unchecks gives its check to the partner.
void AddRadioPartner(Mirror& mirror)
{
    mirror.partner = gtk_radio_button_new_from_widget(GTK_RADIO_BUTTON(mirror.widget));
    g_object_ref_sink(mirror.partner);
}

GtkWidget* MakeStatic(DWORD style)
{
    const DWORD type = style & SS_TYPEMASK;
    if (type == SS_ETCHEDHORZ)
        return gtk_separator_new(GTK_ORIENTATION_HORIZONTAL);
    if (type == SS_ETCHEDVERT)
        return gtk_separator_new(GTK_ORIENTATION_VERTICAL);
    if (type == SS_ICON)
        return gtk_image_new();
    GtkWidget* label = gtk_label_new("");
    gtk_label_set_line_wrap(GTK_LABEL(label), type != SS_LEFTNOWORDWRAP);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_xalign(GTK_LABEL(label), type == SS_RIGHT ? 1.0f : type == SS_CENTER ? 0.5f : 0.0f);
    gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
    if (type == SS_CENTER)
        gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
    if (!(style & SS_NOTIFY))
        return label;
    // A static that reports clicks takes them in a box of its own.
    GtkWidget* box = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(box), label);
    return box;
}

GtkWidget* MakeControl(Mirror& mirror, DWORD style)
{
    switch (mirror.kind) {
    case ControlKind::Button:
        return MakeButton(style);
    case ControlKind::Edit: {
        GtkWidget* entry = gtk_entry_new();
        gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
        return entry;
    }
    case ControlKind::Static:
        return MakeStatic(style);
    case ControlKind::Link: {
        GtkWidget* label = gtk_label_new("");
        gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
        gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
        gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
        gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
        return label;
    }
    case ControlKind::ComboBox: {
        if (OwnerDrawn(style) && !(style & CBS_HASSTRINGS))
            return MakeOwnerDrawnList();
        GtkWidget* combo = gtk_combo_box_text_new();
        GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(combo));
        for (GList* c = cells; c; c = c->next)
            g_object_set(c->data, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
        g_list_free(cells);
        return combo;
    }
    case ControlKind::Trackbar: {
        GtkWidget* scale =
            gtk_scale_new((style & TBS_VERT) ? GTK_ORIENTATION_VERTICAL : GTK_ORIENTATION_HORIZONTAL, nullptr);
        gtk_scale_set_draw_value(GTK_SCALE(scale), FALSE);
        gtk_range_set_round_digits(GTK_RANGE(scale), 0);
        return scale;
    }
    case ControlKind::Progress:
        return gtk_progress_bar_new();
    case ControlKind::TabControl: {
        GtkWidget* notebook = gtk_notebook_new();
        gtk_notebook_set_scrollable(GTK_NOTEBOOK(notebook), FALSE);
        return notebook;
    }
    case ControlKind::Dialog:
        break;
    }
    return gtk_fixed_new();
}

// ---- state ----

GtkLabel* LabelOf(GtkWidget* widget)
{
    if (GTK_IS_LABEL(widget))
        return GTK_LABEL(widget);
    if (GTK_IS_BIN(widget)) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget));
        return child && GTK_IS_LABEL(child) ? GTK_LABEL(child) : nullptr;
    }
    return nullptr;
}

// A wrapped label breaks lines as the system does (WordWrap.h), within
// the control's width.
void KeepWordsWhole(GtkLabel* label, const UiWindow& w)
{
    if (!gtk_label_get_line_wrap(label))
        return;
    PangoAttrList* whole = WholeWords(gtk_label_get_layout(label), w.rect.right - w.rect.left);
    gtk_label_set_attributes(label, whole);
    pango_attr_list_unref(whole);
}

// The icon, fitted to the control as the dialog renderer draws it.
void ApplyIcon(Mirror& m, const UiWindow& w)
{
    RgbaImage icon;
    if (!w.image || !IconPicture(static_cast<HICON>(w.image), &icon)) {
        gtk_image_clear(GTK_IMAGE(m.widget));
        return;
    }
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, icon.width, icon.height);
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < icon.height; ++y) {
        guchar* row = pixels + static_cast<ptrdiff_t>(y) * stride;
        for (int x = 0; x < icon.width; ++x) {
            const uint32_t p =
                icon.pixels[static_cast<size_t>(y) * static_cast<size_t>(icon.width) + static_cast<size_t>(x)];
            guchar* at = row + static_cast<ptrdiff_t>(x) * 4;
            at[0] = static_cast<guchar>(p >> 16);
            at[1] = static_cast<guchar>(p >> 8);
            at[2] = static_cast<guchar>(p);
            at[3] = static_cast<guchar>(p >> 24);
        }
    }
    // Square, in the middle of its control (the image widget centres it).
    const int side = std::max<int>(1, std::min(w.rect.right - w.rect.left, w.rect.bottom - w.rect.top));
    if (side != icon.width || side != icon.height) {
        GdkPixbuf* fitted = gdk_pixbuf_scale_simple(pixbuf, side, side, GDK_INTERP_BILINEAR);
        g_object_unref(pixbuf);
        pixbuf = fitted;
    }
    gtk_image_set_from_pixbuf(GTK_IMAGE(m.widget), pixbuf);
    g_object_unref(pixbuf);
}

void ApplyText(Mirror& m, const UiWindow& w, DWORD style)
{
    switch (m.kind) {
    case ControlKind::Dialog:
        if (m.window)
            gtk_window_set_title(GTK_WINDOW(m.window), Utf8(w.text).c_str());
        break;
    case ControlKind::Button:
        if ((style & BS_TYPEMASK) == BS_GROUPBOX) {
            gtk_frame_set_label(GTK_FRAME(m.widget), PlainLabel(w.text).c_str());
        } else {
            gtk_button_set_label(GTK_BUTTON(m.widget), MnemonicLabel(w.text).c_str());
            gtk_button_set_use_underline(GTK_BUTTON(m.widget), TRUE);
        }
        CutLabelsInside(m.widget);
        break;
    case ControlKind::Edit:
        gtk_entry_set_text(GTK_ENTRY(m.widget), Utf8(w.text).c_str());
        break;
    case ControlKind::Static:
        if (GtkLabel* label = LabelOf(m.widget)) {
            gtk_label_set_text(label, PlainLabel(w.text).c_str());
            KeepWordsWhole(label, w);
        }
        break;
    case ControlKind::Link:
        gtk_label_set_markup(GTK_LABEL(m.widget), LinkMarkup(w.text).c_str());
        KeepWordsWhole(GTK_LABEL(m.widget), w);
        break;
    default:
        break;
    }
}

void ApplyComboItems(Mirror& m, const UiWindow& w)
{
    if (IsOwnerDrawnList(m.widget)) {
        FillOwnerDrawnList(m.widget, w);
        return;
    }
    gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(m.widget));
    for (const ListItem& item : w.items)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(m.widget), Utf8(item.text).c_str());
}

void ApplyTabItems(Mirror& m, const UiWindow& w)
{
    GtkNotebook* notebook = GTK_NOTEBOOK(m.widget);
    while (gtk_notebook_get_n_pages(notebook) > 0)
        gtk_notebook_remove_page(notebook, -1);
    for (const ListItem& item : w.items) {
        // The pages are the model's child dialogs over the control; the
        // notebook's own pages stay empty.
        GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_widget_show(page);
        gtk_notebook_append_page(notebook, page, gtk_label_new(PlainLabel(item.text).c_str()));
    }
}

void ApplyItems(Mirror& m, const UiWindow& w, bool all)
{
    ShownState& s = m.state;
    const bool itemsChanged = all || !SameItems(s.items, w.items);
    if (itemsChanged) {
        if (m.kind == ControlKind::ComboBox)
            ApplyComboItems(m, w);
        else
            ApplyTabItems(m, w);
        s.items = w.items;
    }
    if (itemsChanged || s.selection != w.selection) {
        if (m.kind == ControlKind::ComboBox)
            gtk_combo_box_set_active(GTK_COMBO_BOX(m.widget), w.selection);
        else if (w.selection >= 0)
            gtk_notebook_set_current_page(GTK_NOTEBOOK(m.widget), w.selection);
        s.selection = w.selection;
    }
}

void ApplyRange(Mirror& m, const UiWindow& w, bool all)
{
    ShownState& s = m.state;
    if (!all && s.position == w.position && s.rangeMin == w.rangeMin && s.rangeMax == w.rangeMax)
        return;
    s.position = w.position;
    s.rangeMin = w.rangeMin;
    s.rangeMax = w.rangeMax;
    if (m.kind == ControlKind::Progress) {
        const double span = std::max(1, w.rangeMax - w.rangeMin);
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(m.widget),
                                      std::clamp((w.position - w.rangeMin) / span, 0.0, 1.0));
        return;
    }
    GtkRange* range = GTK_RANGE(m.widget);
    gtk_range_set_range(range, w.rangeMin, std::max(w.rangeMax, w.rangeMin + 1));
    const int page = w.pageSize ? w.pageSize : std::max(1, (w.rangeMax - w.rangeMin) / 5);
    gtk_range_set_increments(range, std::max(1, w.lineSize), page);
    gtk_range_set_value(range, w.position);
}

void ApplyCheck(Mirror& m, const UiWindow& w, DWORD style, bool all)
{
    const DWORD type = style & BS_TYPEMASK;
    if (!IsCheckBox(type) && !IsRadio(type))
        return;
    if (!all && m.state.check == w.check)
        return;
    m.state.check = w.check;
    gtk_toggle_button_set_inconsistent(GTK_TOGGLE_BUTTON(m.widget), w.check == BST_INDETERMINATE);
    if (m.partner && w.check != BST_CHECKED)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(m.partner), TRUE);
    else
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(m.widget), w.check == BST_CHECKED);
}

// The dialog's default push button is framed, as the system frames it.
void ApplyDefault(Mirror& m, DWORD style, bool all)
{
    const DWORD type = style & BS_TYPEMASK;
    if ((type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) || (!all && !((m.state.style ^ style) & BS_TYPEMASK)))
        return;
    GtkStyleContext* context = gtk_widget_get_style_context(m.widget);
    if (type == BS_DEFPUSHBUTTON)
        gtk_style_context_add_class(context, "qbk-default");
    else
        gtk_style_context_remove_class(context, "qbk-default");
}

void ApplyBalloon(Mirror& m, const UiWindow& w, bool all)
{
    const BalloonTip& tip = w.balloon;
    ShownState& s = m.state;
    if (!all && s.balloon.shown == tip.shown && s.balloon.title == tip.title && s.balloon.text == tip.text)
        return;
    s.balloon = tip;
    if (!tip.shown) {
        if (m.balloon)
            gtk_popover_popdown(GTK_POPOVER(m.balloon));
        return;
    }
    if (!m.balloon) {
        m.balloon = gtk_popover_new(m.widget);
        gtk_popover_set_modal(GTK_POPOVER(m.balloon), FALSE);
        gtk_popover_set_position(GTK_POPOVER(m.balloon), GTK_POS_BOTTOM);
        gtk_container_add(GTK_CONTAINER(m.balloon), gtk_label_new(""));
    }
    gchar* markup = g_markup_printf_escaped("<b>%s</b>\n%s", Utf8(tip.title).c_str(), Utf8(tip.text).c_str());
    gtk_label_set_markup(GTK_LABEL(gtk_bin_get_child(GTK_BIN(m.balloon))), markup);
    g_free(markup);
    gtk_widget_show_all(m.balloon);
    gtk_popover_popup(GTK_POPOVER(m.balloon));
}

void ApplyGeometry(Mirror& m, const UiWindow& w)
{
    const int width = std::max<int>(1, w.rect.right - w.rect.left);
    int height = std::max<int>(1, w.rect.bottom - w.rect.top);
    if (m.kind == ControlKind::ComboBox)
        height = std::min(height, kComboFieldHeight);
    if (m.topLevel) {
        // Exactly the client area: a window would otherwise take the
        // natural size of its widgets (a long caption's whole width).
        gtk_widget_set_size_request(m.container, width, height);
        GdkGeometry size{};
        size.min_width = size.max_width = width;
        size.min_height = size.max_height = height;
        gtk_window_set_geometry_hints(GTK_WINDOW(m.window), nullptr, &size,
                                      static_cast<GdkWindowHints>(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE));
        gtk_window_resize(GTK_WINDOW(m.window), width, height);
        return;
    }
    gtk_widget_set_size_request(m.widget, width, height);
    GtkWidget* parent = gtk_widget_get_parent(m.widget);
    if (parent && GTK_IS_FIXED(parent))
        gtk_fixed_move(GTK_FIXED(parent), m.widget, m.origin.x + w.rect.left, m.origin.y + w.rect.top);
    if (m.kind == ControlKind::Static || m.kind == ControlKind::Link) {
        if (GtkLabel* label = LabelOf(m.widget))
            KeepWordsWhole(label, w);
    }
}

void ApplyVisibility(Mirror& m, DWORD style)
{
    const bool visible = (style & WS_VISIBLE) != 0;
    if (!m.topLevel) {
        gtk_widget_set_visible(m.widget, visible);
        return;
    }
    if (visible)
        gtk_window_present(GTK_WINDOW(m.window));
    else
        gtk_widget_hide(m.window);
}

} // namespace

bool InputMuted() { return g_inputMuted; }

MuteInput::MuteInput() : m_previous(g_inputMuted) { g_inputMuted = true; }

MuteInput::~MuteInput() { g_inputMuted = m_previous; }

void MakeWidgets(Mirror& mirror, const UiWindow& window, DWORD style)
{
    if (mirror.kind == ControlKind::Dialog) {
        mirror.container = gtk_fixed_new();
        gtk_widget_show(mirror.container);
        if (mirror.topLevel) {
            mirror.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
            g_signal_connect(mirror.window, "state-flags-changed", G_CALLBACK(StayInForeground), nullptr);
            gtk_style_context_add_class(gtk_widget_get_style_context(mirror.window), "qbk-dialog");
            gtk_window_set_position(GTK_WINDOW(mirror.window), GTK_WIN_POS_CENTER);
            gtk_container_add(GTK_CONTAINER(mirror.window), mirror.container);
            mirror.control = mirror.window;
        } else {
            mirror.control = mirror.container;
        }
        mirror.widget = mirror.container;
        return;
    }
    (void)window;
    mirror.widget = MakeControl(mirror, style);
    mirror.control = mirror.widget;
    if (mirror.kind == ControlKind::Button && IsRadio(style & BS_TYPEMASK))
        AddRadioPartner(mirror);
    gtk_widget_show_all(mirror.widget);
}

void ApplyState(Mirror& m, const UiWindow& w, DWORD style, bool enabled)
{
    MuteInput mute;
    ShownState& s = m.state;
    const bool all = !m.shown;
    const bool moved = all || !SameRect(s.rect, w.rect);
    if (moved) {
        ApplyGeometry(m, w);
        s.rect = w.rect;
    }
    if (GTK_IS_IMAGE(m.widget) && (moved || s.image != w.image)) {
        ApplyIcon(m, w);
        s.image = w.image;
    }
    if (all || s.text != w.text) {
        ApplyText(m, w, style);
        s.text = w.text;
    }
    if (m.kind == ControlKind::Button) {
        ApplyCheck(m, w, style, all);
        ApplyDefault(m, style, all);
    }
    if (m.kind == ControlKind::ComboBox || m.kind == ControlKind::TabControl)
        ApplyItems(m, w, all);
    if (m.kind == ControlKind::Trackbar || m.kind == ControlKind::Progress)
        ApplyRange(m, w, all);
    if (m.kind == ControlKind::Edit)
        ApplyBalloon(m, w, all);
    // A top-level dialog's own input is the back end's (its modality).
    if (!m.topLevel && (all || s.enabled != enabled)) {
        gtk_widget_set_sensitive(m.widget, enabled);
        s.enabled = enabled;
    }
    if (all || ((s.style ^ style) & WS_VISIBLE))
        ApplyVisibility(m, style);
    s.style = style;
    m.shown = true;
}

} // namespace plat::ui::gtk
