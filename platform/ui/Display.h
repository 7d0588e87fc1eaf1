// Whether a window made here can reach a person. Dialogs run against the
// control model, which draws nothing: a window back end (WindowBackEnd.h)
// shows it on a display. Without one, a program must not open a dialog and
// wait for a user who cannot see it. Tests, and the programs they start, may let the
// headless model stand in for a display: they then play the user through
// UserActions.h.
#pragma once

namespace plat::ui {

// True when the headless model was allowed to stand in
// (AllowHeadlessWindows, or QBK_HEADLESS_UI=1 in the environment), or when
// a display is named (DISPLAY, WAYLAND_DISPLAY) and the window back end
// opened it. The back end is loaded by the first such call, and shows the
// windows of the thread that made it.
bool CanShowWindows();

// Whether the headless model stands in (then no window reaches a display,
// even with a back end loaded).
bool HeadlessWindowsAllowed();

// The tests' switch; off at start.
void AllowHeadlessWindows(bool allow);

// For a test: the headless model stands in for its length.
class ScopedHeadlessWindows {
public:
    ScopedHeadlessWindows() { AllowHeadlessWindows(true); }
    ~ScopedHeadlessWindows() { AllowHeadlessWindows(false); }
    ScopedHeadlessWindows(const ScopedHeadlessWindows&) = delete;
    ScopedHeadlessWindows& operator=(const ScopedHeadlessWindows&) = delete;
};

} // namespace plat::ui
