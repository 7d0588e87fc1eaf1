// Draws a dialog (or any window of this layer) as a picture, so a person
// can look at what a dialog shows: the controls in the classic look, their
// state (checks, selections, positions, tabs, what an owner-drawn list
// draws) and their text in the dialog font (8 points, a sans-serif system
// font), laid out and cut as the system does. Hidden windows are left out.
#pragma once

#include "platform/ui/PngWriter.h"
#include "platform/ui/winuser.h"

#include <string>

namespace plat::ui {

// The window's client area; an empty image for a window this layer does
// not know.
RgbImage RenderWindow(HWND window);
bool RenderWindowToPng(HWND window, const std::string& path);

} // namespace plat::ui
