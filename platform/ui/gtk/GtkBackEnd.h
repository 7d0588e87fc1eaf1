// The window back end on GTK 3. It runs on the thread that opened it (the
// toolkit is single-threaded): that thread's message waits and peeks run
// its pump, which mirrors the thread's dialogs into widgets and runs the
// toolkit's events. Windows of other threads are not shown.
#pragma once

#include "platform/ui/WindowBackEnd.h"
#include "platform/ui/gtk/GtkMirror.h"

#include <memory>
#include <unordered_map>
#include <vector>

namespace plat::ui::gtk {

class GtkBackEnd : public WindowBackEnd {
public:
    // Opens the display (gtk_init_check) on the calling thread; null when it
    // cannot be opened.
    static GtkBackEnd* Open();

    void Pump() override;
    void WindowDestroyed(HWND hwnd) override;
    std::optional<int> AskMessageBox(HWND owner, const std::u16string& text, const std::u16string& caption,
                                     UINT type) override;
    void Beep() override;
    std::optional<std::optional<std::u16string>> AskFileName(const FileDialogRecord& request) override;
    bool WidgetRect(HWND hwnd, RECT* rect) override;
    bool WidgetScreenRect(HWND hwnd, RECT* rect) override;
    bool WidgetItemRect(HWND hwnd, int index, RECT* rect) override;
    std::u16string WidgetText(HWND hwnd) override;
    bool WidgetChecked(HWND hwnd) override;
    bool WidgetShowsPicture(HWND hwnd) override;
    bool WidgetMapped(HWND hwnd) override;
    bool WidgetFocused(HWND hwnd) override;
    bool CaptureWindow(HWND hwnd, const std::string& pngPath) override;

private:
    explicit GtkBackEnd(DWORD thread) : m_thread(thread) {}

    bool OnOwnThread() const;
    // Shows a toolkit dialog and runs the thread's messages until the
    // person answers: the response, or nothing when the thread is told to
    // quit meanwhile.
    std::optional<gint> RunDialog(GtkWidget* dialog);
    // The question before a chosen file is replaced: Yes or No.
    bool ConfirmOverwrite(GtkWidget* chooser, const std::u16string& path);
    void MirrorModel();
    // `holder` is the mirror whose container takes the window's widget,
    // `origin` where the window's parent's client area starts in it.
    void MirrorTree(const std::shared_ptr<UiWindow>& window, Mirror* holder, POINT origin);
    Mirror& EnsureMirror(const UiWindow& window, Mirror* holder, POINT origin);
    void MirrorFocus();
    void MirrorModality();
    void RunToolkitEvents();
    void Remove(HWND hwnd);
    Mirror* Find(HWND hwnd);
    Mirror* TopLevelOf(HWND hwnd);
    bool ScreenRectOf(GtkWidget* widget, Mirror* top, RECT* rect);

    const DWORD m_thread;
    std::unordered_map<HWND, std::unique_ptr<Mirror>> m_mirrors;
    bool m_pumping = false;
    bool m_mirroring = false;
    std::vector<HWND> m_destroyedMeanwhile;
    HWND m_modelFocus = nullptr;
};

} // namespace plat::ui::gtk
