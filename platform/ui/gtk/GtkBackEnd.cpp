#include "platform/ui/gtk/GtkBackEnd.h"

#include "platform/base/strings.h"
#include "platform/kernel/InputPump.h"
#include "platform/kernel/Thread.h"
#include "platform/ui/Display.h"
#include "platform/ui/UserInput.h"
#include "platform/ui/gtk/GtkFileChooser.h"
#include "platform/ui/gtk/GtkInput.h"
#include "platform/ui/gtk/GtkMessageBox.h"
#include "platform/ui/gtk/GtkOwnerDrawnList.h"
#include "platform/ui/gtk/GtkStyle.h"
#include "platform/ui/gtk/GtkWidgets.h"

#include <algorithm>

namespace plat::ui::gtk {

namespace {

GtkBackEnd* g_backEnd = nullptr;

void PumpThunk()
{
    if (g_backEnd)
        g_backEnd->Pump();
}

// At most this many toolkit events a pump: a steady source (an animation)
// must not keep the thread from its own messages.
constexpr int kEventsPerPump = 200;

struct Response {
    bool given = false;
    gint value = GTK_RESPONSE_NONE;
};

// The person's answer to a toolkit dialog, and the wake-up of the loop
// that waits for it.
void OnResponse(GtkDialog*, gint response, gpointer data)
{
    auto* answer = static_cast<Response*>(data);
    answer->given = true;
    answer->value = response;
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void OnAfterPaint(GdkFrameClock*, gpointer painted) { *static_cast<bool*>(painted) = true; }

// Runs the toolkit until the window has painted a frame (at most 2 s).
void WaitForPaint(GtkWidget* window)
{
    GdkFrameClock* clock = gtk_widget_get_frame_clock(window);
    if (!clock)
        return;
    bool painted = false;
    const gulong handler = g_signal_connect(clock, "after-paint", G_CALLBACK(OnAfterPaint), &painted);
    gtk_widget_queue_draw(window);
    const gint64 limit = g_get_monotonic_time() + 2 * G_USEC_PER_SEC;
    while (!painted && g_get_monotonic_time() < limit)
        g_main_context_iteration(nullptr, TRUE);
    g_signal_handler_disconnect(clock, handler);
}

std::u16string LabelText(GtkWidget* widget)
{
    if (GTK_IS_LABEL(widget))
        return Utf8ToUtf16(gtk_label_get_text(GTK_LABEL(widget)));
    if (GTK_IS_BIN(widget)) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget));
        return child ? LabelText(child) : std::u16string();
    }
    return {};
}

std::u16string NotebookText(GtkNotebook* notebook)
{
    std::u16string text;
    for (int i = 0; i < gtk_notebook_get_n_pages(notebook); ++i) {
        GtkWidget* page = gtk_notebook_get_nth_page(notebook, i);
        if (i > 0)
            text += u'\n';
        text += Utf8ToUtf16(gtk_notebook_get_tab_label_text(notebook, page));
    }
    return text;
}

} // namespace

GtkBackEnd* GtkBackEnd::Open()
{
    // The application owns the process's locale; the toolkit must not
    // change how numbers are read and written under it.
    gtk_disable_setlocale();
    if (!gtk_init_check(nullptr, nullptr))
        return nullptr;
    InstallDialogStyle();
    g_backEnd = new GtkBackEnd(GetCurrentThreadId());
    SetThreadInputPump(&PumpThunk);
    return g_backEnd;
}

bool GtkBackEnd::OnOwnThread() const { return GetCurrentThreadId() == m_thread; }

void GtkBackEnd::Pump()
{
    if (m_pumping || !OnOwnThread())
        return;
    m_pumping = true;
    if (!HeadlessWindowsAllowed())
        MirrorModel();
    RunToolkitEvents();
    m_pumping = false;
}

void GtkBackEnd::RunToolkitEvents()
{
    for (int i = 0; i < kEventsPerPump && gtk_events_pending(); ++i)
        gtk_main_iteration_do(FALSE);
}

void GtkBackEnd::MirrorModel()
{
    m_mirroring = true;
    std::vector<std::shared_ptr<UiWindow>> tops = TopLevelUiWindows();
    // Owners before the windows they own (handles grow with creation).
    std::sort(tops.begin(), tops.end(), [](const auto& a, const auto& b) { return a->hwnd < b->hwnd; });
    for (const auto& top : tops) {
        if (top->kind == ControlKind::Dialog && GetWindowThreadProcessId(top->hwnd, nullptr) == m_thread)
            MirrorTree(top, nullptr, POINT{0, 0});
    }
    MirrorModality();
    MirrorFocus();
    m_mirroring = false;
    std::vector<HWND> destroyed;
    destroyed.swap(m_destroyedMeanwhile);
    for (HWND hwnd : destroyed)
        Remove(hwnd);
}

void GtkBackEnd::MirrorTree(const std::shared_ptr<UiWindow>& window, Mirror* holder, POINT origin)
{
    if (!IsWindow(window->hwnd))
        return;
    Mirror& mirror = EnsureMirror(*window, holder, origin);
    // A control with input still waiting shows what the person did until
    // the model has taken it.
    if (PendingUserInput(window->hwnd) == 0) {
        const DWORD style = WindowStyle(window->hwnd);
        ApplyState(mirror, *window, style, !(style & WS_DISABLED));
    }
    // A dialog holds its children; a control's children go into the
    // container that holds the control, shifted by its position.
    Mirror* childHolder = mirror.container ? &mirror : holder;
    const POINT childOrigin =
        mirror.container ? POINT{0, 0} : POINT{origin.x + window->rect.left, origin.y + window->rect.top};
    const std::vector<HWND> children = window->children; // a handler may change the list
    for (HWND child : children) {
        if (std::shared_ptr<UiWindow> childWindow = FindUiWindow(child))
            MirrorTree(childWindow, childHolder, childOrigin);
    }
}

Mirror& GtkBackEnd::EnsureMirror(const UiWindow& window, Mirror* holder, POINT origin)
{
    auto it = m_mirrors.find(window.hwnd);
    if (it != m_mirrors.end())
        return *it->second;
    auto mirror = std::make_unique<Mirror>();
    mirror->hwnd = window.hwnd;
    mirror->kind = window.kind;
    mirror->topLevel = holder == nullptr;
    mirror->origin = origin;
    {
        MuteInput mute;
        MakeWidgets(*mirror, window, WindowStyle(window.hwnd));
    }
    // The mirror keeps its widget until the model drops the window, even
    // when the toolkit destroys it with its parent first.
    g_object_ref(mirror->topLevel ? mirror->window : mirror->widget);
    if (holder)
        gtk_fixed_put(GTK_FIXED(holder->container), mirror->widget, origin.x + window.rect.left,
                      origin.y + window.rect.top);
    else if (Mirror* owner = Find(window.parent); owner && owner->window)
        gtk_window_set_transient_for(GTK_WINDOW(mirror->window), GTK_WINDOW(owner->window));
    ConnectInput(*mirror);
    Mirror& result = *mirror;
    m_mirrors.emplace(window.hwnd, std::move(mirror));
    return result;
}

// A window over a disabled owner is modal: the toolkit then gives it the
// input meant for the owner (and for the rest of the thread's windows).
// Under a modal window (or a message box, a file chooser) a disabled dialog
// looks as it is, as on the system; a disabled dialog with none over it
// takes no input at all and is shown so.
void GtkBackEnd::MirrorModality()
{
    std::vector<HWND> held; // owners of an enabled window
    for (const auto& top : TopLevelUiWindows()) {
        HWND owner = GetParent(top->hwnd);
        if (owner && IsWindowEnabled(top->hwnd))
            held.push_back(owner);
    }
    for (const auto& [hwnd, mirror] : m_mirrors) {
        if (!mirror->topLevel)
            continue;
        HWND owner = GetParent(hwnd);
        const bool modal = IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) && owner && !IsWindowEnabled(owner);
        if (gtk_window_get_modal(GTK_WINDOW(mirror->window)) != modal)
            gtk_window_set_modal(GTK_WINDOW(mirror->window), modal);
    }
    const bool toolkitModal = gtk_grab_get_current() != nullptr;
    for (const auto& [hwnd, mirror] : m_mirrors) {
        if (!mirror->topLevel)
            continue;
        const bool sensitive =
            IsWindowEnabled(hwnd) || toolkitModal || std::find(held.begin(), held.end(), hwnd) != held.end();
        if (gtk_widget_get_sensitive(mirror->container) != sensitive)
            gtk_widget_set_sensitive(mirror->container, sensitive);
    }
}

void GtkBackEnd::MirrorFocus()
{
    HWND focus = GetFocus();
    if (focus == m_modelFocus)
        return;
    m_modelFocus = focus;
    Mirror* mirror = Find(focus);
    if (!mirror || !mirror->control)
        return;
    // A list passes the focus to the button inside it.
    MuteInput mute;
    if (gtk_widget_get_can_focus(mirror->control) || GTK_IS_COMBO_BOX(mirror->control)) {
        gtk_widget_grab_focus(mirror->control);
    } else if (Mirror* top = TopLevelOf(focus); top && top->window) {
        // A control the toolkit cannot focus: no other widget shows the
        // focus meanwhile.
        gtk_window_set_focus(GTK_WINDOW(top->window), nullptr);
    }
}

std::optional<gint> GtkBackEnd::RunDialog(GtkWidget* dialog)
{
    Response response;
    g_signal_connect(dialog, "response", G_CALLBACK(OnResponse), &response);
    gtk_widget_show_all(dialog);
    gtk_window_present(GTK_WINDOW(dialog));
    bool quit = false;
    while (!response.given && !quit) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
        MSG message;
        while (!response.given && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam)); // for the loop outside
                quit = true;
                break;
            }
            DispatchMessageW(&message);
        }
    }
    // Esc or the close box may have destroyed the dialog, its handlers
    // with it.
    g_signal_handlers_disconnect_by_data(dialog, &response);
    return quit ? std::nullopt : std::optional<gint>(response.value);
}

std::optional<int> GtkBackEnd::AskMessageBox(HWND owner, const std::u16string& text, const std::u16string& caption,
                                             UINT type)
{
    // Inside a pump the toolkit would never run again for the box.
    if (!OnOwnThread() || m_pumping || HeadlessWindowsAllowed())
        return std::nullopt;
    Mirror* top = owner ? TopLevelOf(owner) : nullptr;
    GtkWidget* box = MakeMessageBox(top && top->window ? GTK_WINDOW(top->window) : nullptr, text, caption, type);
    // Kept until the end here, though Esc or the close box destroys it.
    g_object_ref(box);
    const std::optional<gint> answer = RunDialog(box);
    gtk_widget_destroy(box);
    g_object_unref(box);
    return answer && *answer > 0 ? *answer : 0;
}

std::optional<std::optional<std::u16string>> GtkBackEnd::AskFileName(const FileDialogRecord& request)
{
    if (!OnOwnThread() || m_pumping || HeadlessWindowsAllowed())
        return std::nullopt;
    Mirror* top = request.owner ? TopLevelOf(request.owner) : nullptr;
    GtkWidget* chooser = MakeFileChooser(top && top->window ? GTK_WINDOW(top->window) : nullptr, request);
    g_object_ref(chooser);
    std::optional<std::u16string> chosen;
    for (;;) {
        const std::optional<gint> response = RunDialog(chooser);
        if (!response || *response != GTK_RESPONSE_ACCEPT)
            break;
        const std::u16string path = ChosenPath(chooser, request);
        if (path.empty())
            continue;
        if (AsksToOverwrite(request, path) && !ConfirmOverwrite(chooser, path))
            continue; // the chooser again, as the system's dialog stays
        chosen = path;
        break;
    }
    gtk_widget_destroy(chooser);
    g_object_unref(chooser);
    return chosen;
}

bool GtkBackEnd::ConfirmOverwrite(GtkWidget* chooser, const std::u16string& path)
{
    GtkWidget* box =
        MakeMessageBox(GTK_WINDOW(chooser), OverwriteQuestion(path), u"Confirm Save As", MB_YESNO | MB_ICONWARNING);
    g_object_ref(box);
    const std::optional<gint> answer = RunDialog(box);
    gtk_widget_destroy(box);
    g_object_unref(box);
    return answer && *answer == IDYES;
}

void GtkBackEnd::Beep()
{
    if (!OnOwnThread())
        return;
    gdk_display_beep(gdk_display_get_default());
    gdk_display_flush(gdk_display_get_default()); // heard now, not at the next pump
}

void GtkBackEnd::WindowDestroyed(HWND hwnd)
{
    if (!OnOwnThread())
        return;
    if (m_mirroring)
        m_destroyedMeanwhile.push_back(hwnd);
    else
        Remove(hwnd);
}

void GtkBackEnd::Remove(HWND hwnd)
{
    auto it = m_mirrors.find(hwnd);
    if (it == m_mirrors.end())
        return;
    std::unique_ptr<Mirror> mirror = std::move(it->second);
    m_mirrors.erase(it);
    if (m_modelFocus == hwnd)
        m_modelFocus = nullptr;
    if (mirror->balloon)
        gtk_widget_destroy(mirror->balloon);
    if (mirror->partner) {
        gtk_widget_destroy(mirror->partner);
        g_object_unref(mirror->partner);
    }
    GtkWidget* owned = mirror->topLevel ? mirror->window : mirror->widget;
    gtk_widget_destroy(owned);
    g_object_unref(owned);
    // Gone from the screen now, not at the next pump.
    gdk_display_flush(gdk_display_get_default());
}

Mirror* GtkBackEnd::Find(HWND hwnd)
{
    auto it = m_mirrors.find(hwnd);
    return it == m_mirrors.end() ? nullptr : it->second.get();
}

Mirror* GtkBackEnd::TopLevelOf(HWND hwnd)
{
    for (HWND w = hwnd; w; w = GetParent(w)) {
        if (!(WindowStyle(w) & WS_CHILD))
            return Find(w);
    }
    return nullptr;
}

bool GtkBackEnd::WidgetRect(HWND hwnd, RECT* rect)
{
    Mirror* mirror = Find(hwnd);
    Mirror* top = TopLevelOf(hwnd);
    if (!OnOwnThread() || !mirror || !top || !rect || !gtk_widget_is_visible(mirror->widget))
        return false;
    GtkAllocation allocation;
    gtk_widget_get_allocation(mirror->widget, &allocation);
    int x = 0;
    int y = 0;
    if (mirror != top && !gtk_widget_translate_coordinates(mirror->widget, top->container, 0, 0, &x, &y))
        return false;
    *rect = RECT{x, y, x + allocation.width, y + allocation.height};
    return true;
}

bool GtkBackEnd::ScreenRectOf(GtkWidget* widget, Mirror* top, RECT* rect)
{
    if (!gtk_widget_get_realized(top->container) || !gtk_widget_is_visible(widget))
        return false;
    int x = 0;
    int y = 0;
    if (!gtk_widget_translate_coordinates(widget, top->container, 0, 0, &x, &y))
        return false;
    GtkAllocation allocation;
    gtk_widget_get_allocation(widget, &allocation);
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(gtk_widget_get_window(top->container), &originX, &originY);
    GtkAllocation client;
    gtk_widget_get_allocation(top->container, &client);
    x += originX + client.x;
    y += originY + client.y;
    *rect = RECT{x, y, x + allocation.width, y + allocation.height};
    return true;
}

bool GtkBackEnd::WidgetScreenRect(HWND hwnd, RECT* rect)
{
    Mirror* mirror = Find(hwnd);
    Mirror* top = TopLevelOf(hwnd);
    return OnOwnThread() && mirror && top && rect && ScreenRectOf(mirror->widget, top, rect);
}

bool GtkBackEnd::WidgetItemRect(HWND hwnd, int index, RECT* rect)
{
    Mirror* mirror = Find(hwnd);
    Mirror* top = TopLevelOf(hwnd);
    if (!OnOwnThread() || !mirror || !top || !rect || !GTK_IS_NOTEBOOK(mirror->widget))
        return false;
    GtkNotebook* notebook = GTK_NOTEBOOK(mirror->widget);
    GtkWidget* page = gtk_notebook_get_nth_page(notebook, index);
    GtkWidget* label = page ? gtk_notebook_get_tab_label(notebook, page) : nullptr;
    return label && ScreenRectOf(label, top, rect);
}

std::u16string GtkBackEnd::WidgetText(HWND hwnd)
{
    Mirror* mirror = Find(hwnd);
    if (!OnOwnThread() || !mirror)
        return {};
    GtkWidget* w = mirror->widget;
    if (mirror->window)
        return Utf8ToUtf16(gtk_window_get_title(GTK_WINDOW(mirror->window)));
    if (GTK_IS_ENTRY(w))
        return Utf8ToUtf16(gtk_entry_get_text(GTK_ENTRY(w)));
    if (GTK_IS_FRAME(w))
        return Utf8ToUtf16(gtk_frame_get_label(GTK_FRAME(w)) ? gtk_frame_get_label(GTK_FRAME(w)) : "");
    if (GTK_IS_COMBO_BOX(w) && IsOwnerDrawnList(w))
        return OwnerDrawnListText(w);
    if (GTK_IS_COMBO_BOX_TEXT(w)) {
        gchar* text = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(w));
        std::u16string result = text ? Utf8ToUtf16(text) : std::u16string();
        g_free(text);
        return result;
    }
    if (GTK_IS_NOTEBOOK(w))
        return NotebookText(GTK_NOTEBOOK(w));
    return LabelText(w);
}

bool GtkBackEnd::WidgetChecked(HWND hwnd)
{
    Mirror* mirror = Find(hwnd);
    return OnOwnThread() && mirror && GTK_IS_TOGGLE_BUTTON(mirror->widget) &&
           gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(mirror->widget));
}

bool GtkBackEnd::WidgetShowsPicture(HWND hwnd)
{
    Mirror* mirror = Find(hwnd);
    return OnOwnThread() && mirror && GTK_IS_IMAGE(mirror->widget) &&
           gtk_image_get_storage_type(GTK_IMAGE(mirror->widget)) == GTK_IMAGE_PIXBUF;
}

bool GtkBackEnd::WidgetMapped(HWND hwnd)
{
    Mirror* mirror = Find(hwnd);
    return OnOwnThread() && mirror && gtk_widget_get_mapped(mirror->topLevel ? mirror->window : mirror->widget);
}

bool GtkBackEnd::WidgetFocused(HWND hwnd)
{
    Mirror* mirror = Find(hwnd);
    Mirror* top = TopLevelOf(hwnd);
    if (!OnOwnThread() || !mirror || !top || !top->window)
        return false;
    // A list's focus is the button inside it.
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(top->window));
    return focus && (focus == mirror->control || gtk_widget_is_ancestor(focus, mirror->control));
}

bool GtkBackEnd::CaptureWindow(HWND hwnd, const std::string& pngPath)
{
    Mirror* top = TopLevelOf(hwnd);
    if (!OnOwnThread() || !top || !gtk_widget_get_mapped(top->window))
        return false;
    // What the model holds now, drawn: one whole frame painted after it.
    if (!m_pumping && !HeadlessWindowsAllowed())
        MirrorModel();
    WaitForPaint(top->window);
    gdk_display_sync(gdk_display_get_default());
    GtkAllocation client;
    gtk_widget_get_allocation(top->container, &client);
    GdkPixbuf* picture =
        gdk_pixbuf_get_from_window(gtk_widget_get_window(top->window), client.x, client.y, client.width, client.height);
    if (!picture)
        return false;
    const gboolean saved = gdk_pixbuf_save(picture, pngPath.c_str(), "png", nullptr, nullptr);
    g_object_unref(picture);
    return saved != FALSE;
}

} // namespace plat::ui::gtk

extern "C" plat::ui::WindowBackEnd* QbkOpenWindowBackEnd() { return plat::ui::gtk::GtkBackEnd::Open(); }
