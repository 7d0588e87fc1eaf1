// A window back end: shows the control model's windows on a display as a
// toolkit's native widgets and turns the person's input there into the
// model's input. The model stays the source of truth: the back end mirrors
// it (each pump brings the widgets up to the model) and feeds input back
// only as posted user input (UserInput.h), which the model's own message
// loops dispatch, so modal loops, nested pumps and timers keep their
// meaning. The back end lives in a module of its own, loaded only when a
// display is named, so the platform library and its headless users never
// need the toolkit.
#pragma once

#include "platform/ui/UiScript.h"
#include "platform/ui/winuser.h"

#include <functional>
#include <optional>
#include <string>

namespace plat::ui {

class WindowBackEnd {
public:
    virtual ~WindowBackEnd() = default;

    // Brings the widgets of the calling thread's windows up to the model
    // and runs the toolkit's pending events without blocking. Only the
    // thread that opened the back end has widgets; elsewhere it does
    // nothing.
    virtual void Pump() = 0;
    // The model drops a window: its widget goes at once.
    virtual void WindowDestroyed(HWND hwnd) = 0;
    // Asks the person with a message box over the owner's window (the
    // caller has disabled it), running the thread's messages meanwhile as
    // the system's box does; the answer (IDOK, IDCANCEL ...), 0 when the
    // box was closed without one, or nothing when no box can be shown on
    // this thread.
    virtual std::optional<int> AskMessageBox(HWND owner, const std::u16string& text, const std::u16string& caption,
                                             UINT type) = 0;
    // The display's beep (MessageBeep); nothing on another thread.
    virtual void Beep() = 0;
    // Asks the person for a file with the toolkit's file chooser, to save
    // or to open as the request says (its title, filter, folder and file
    // name, default extension, overwrite question), over the owner's
    // window in the same way (the caller has disabled it): the path
    // chosen, or nullopt for a cancel; nothing when no chooser can be
    // shown on this thread.
    virtual std::optional<std::optional<std::u16string>> AskFileName(const FileDialogRecord& request) = 0;

    // For tests and pictures. The widget's allocation in the client
    // coordinates of its top-level window; false for a window without a
    // widget (hidden, not yet pumped, or of another thread).
    virtual bool WidgetRect(HWND hwnd, RECT* rect) = 0;
    // The same on the screen.
    virtual bool WidgetScreenRect(HWND hwnd, RECT* rect) = 0;
    // A tab control's tab `index` on the screen.
    virtual bool WidgetItemRect(HWND hwnd, int index, RECT* rect) = 0;
    // What the widget shows as its text: a caption without its mnemonic
    // mark, an edit's text, a list's chosen entry, a window's title, the
    // tab captions one to a line.
    virtual std::u16string WidgetText(HWND hwnd) = 0;
    // Whether a check box or radio button's widget shows its check.
    virtual bool WidgetChecked(HWND hwnd) = 0;
    // Whether an icon static's widget shows a picture.
    virtual bool WidgetShowsPicture(HWND hwnd) = 0;
    // Whether the window's widget is on the screen (mapped).
    virtual bool WidgetMapped(HWND hwnd) = 0;
    // Whether the control's widget is the keyboard focus of its window.
    virtual bool WidgetFocused(HWND hwnd) = 0;
    // The client area of a top-level window as the display shows it, read
    // back from the display, as a PNG file.
    virtual bool CaptureWindow(HWND hwnd, const std::string& pngPath) = 0;
};

// The back end loaded by CanShowWindows, or null (no display named, the
// module missing, or the toolkit unable to open the display).
WindowBackEnd* ActiveWindowBackEnd();
// Loads the back end once per process; the answer of the first call holds.
WindowBackEnd* LoadWindowBackEnd();

// Runs the calling thread's messages, and with them the display's events,
// until `done` answers true; false after `limitMs` of real time. For what
// waits on the display: the X server is another process and answers when
// it does.
bool PumpMessagesUntil(const std::function<bool()>& done, int limitMs = 10000);

// The module's entry: opens the display on the calling thread and returns
// the back end, or null.
using OpenWindowBackEndProc = WindowBackEnd* (*)();
inline constexpr const char* kWindowBackEndModule = "libplatform_gtk.so";
inline constexpr const char* kWindowBackEndEntry = "QbkOpenWindowBackEnd";

} // namespace plat::ui
