// Draws a dialog (or any window of this layer) as a picture, so a person
// can look at what a dialog shows: plain rectangles for the controls,
// their state (checks, selections, positions, tabs) and their text in the
// built-in pixel font. Hidden windows are left out.
#pragma once

#include "platform/ui/PngWriter.h"
#include "platform/ui/winuser.h"

#include <string>

namespace plat::ui {

// An empty image for a window this layer does not know.
RgbImage RenderWindow(HWND window);
bool RenderWindowToPng(HWND window, const std::string& path);

} // namespace plat::ui
