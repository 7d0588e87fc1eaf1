// The person's input from a window back end, waiting in the model's
// message queue. The back end does not change the model from inside the
// toolkit's event handlers: it posts each input (a click, a key, a choice)
// as a private message to the dialog at the top of the control, and the
// input is carried out when the thread's message loop dispatches it, as
// the system's input messages are. Until then the control counts as having
// input pending, and the back end leaves its widget as the person left it.
#pragma once

#include "platform/ui/winuser.h"

#include <functional>

namespace plat::ui {

// The private message; wParam names the waiting input.
inline constexpr UINT kUserInputMessage = 0xBFF0;

// Queues `action` for `control` (run with the control as argument). False
// when the message cannot be posted.
bool PostUserInput(HWND control, std::function<void(HWND)> action);
// Runs the input a kUserInputMessage names; nothing for one already run
// or dropped.
void RunUserInput(WPARAM id);
// Inputs posted for the control and not yet run.
int PendingUserInput(HWND control);
// The control is destroyed: its waiting input goes with it.
void DropUserInput(HWND control);

} // namespace plat::ui
