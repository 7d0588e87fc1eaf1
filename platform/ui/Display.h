// Whether a window made here can reach a person's screen. Dialogs run
// against the control model without being drawn, so a program that would
// wait for a person to use a window asks first.
#pragma once

namespace plat::ui {

// False while the layer has no window back end (it draws nothing), and
// whenever no display is named (DISPLAY, WAYLAND_DISPLAY).
bool CanShowWindows();

} // namespace plat::ui
