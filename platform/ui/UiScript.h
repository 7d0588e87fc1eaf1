// What the user answers, for runs without a person: message boxes, file
// dialogs and modal dialogs take their answers from a script that tests
// (or the demo) set, and every box and file dialog shown is logged for them
// to look at. The script is process-wide, since dialogs may run on another
// thread than the test's. A message box or file dialog without a scripted
// answer asks the person when a window back end shows the thread's windows
// (WindowBackEnd.h); otherwise, like a modal dialog without one when no
// back end is loaded, it is answered at once as if the user dismissed it
// (the cancel-like button, a cancelled file dialog, Escape) and a line on
// stderr says what was asked and what was taken: nothing waits for an
// answer that cannot come.
#pragma once

#include "platform/ui/winuser.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plat::ui {

struct MessageBoxRecord {
    HWND owner;
    std::u16string text;
    std::u16string caption;
    UINT type;
    int answer;
};

struct FileDialogRecord {
    bool save;
    HWND owner;
    std::u16string title;
    std::u16string initialDir;
    std::u16string fileName; // the file buffer's text when the dialog opens
    std::u16string defaultExtension;
    std::vector<std::u16string> filter; // description, pattern, description, ...
    DWORD filterIndex;                  // 1 for the first pair; 0 also takes the first
    DWORD flags;
    std::optional<std::u16string> answer;
};

// Answers are used in the order they were scripted. beforeAnswering runs
// while the box is shown, before the answer is given: what the user does
// first (loads paper, say, then clicks Retry).
void ScriptMessageBoxAnswer(int answer, std::function<void()> beforeAnswering = {});
// A path is the chosen file; nullopt is a cancel.
void ScriptFileDialogAnswer(std::optional<std::u16string> path);
// Runs once the next modal dialog is initialised and shown, before its
// message loop starts: it plays the user (UserActions.h).
void ScriptModalDialog(std::function<void(HWND dialog)> action);

std::vector<MessageBoxRecord> TakeMessageBoxLog();
std::vector<FileDialogRecord> TakeFileDialogLog();

// Forgets unused answers and the logs.
void ResetUiScript();

// The answer of a box nobody scripted: what Esc or the close box gives.
int DismissAnswer(UINT type);
// A box's answer as its button reads ("OK", "Cancel", "Yes", "No", ...).
std::string AnswerName(int answer);

// Handlers (dialog procedures) that threw, since the process started; the
// exception stops at the dialog's window procedure.
size_t HandlerExceptionCount();

// Pops the next scripted modal action, if any (used by DialogBoxParam).
std::function<void(HWND)> TakeModalScript();

// For a test: a clean script for its length.
class ScopedUiScript {
public:
    ScopedUiScript() { ResetUiScript(); }
    ~ScopedUiScript() { ResetUiScript(); }
    ScopedUiScript(const ScopedUiScript&) = delete;
    ScopedUiScript& operator=(const ScopedUiScript&) = delete;
};

} // namespace plat::ui
