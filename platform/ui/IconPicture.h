// The picture of an icon handle: its image (a DIB with its mask, as icon
// resources hold them) decoded to pixels with alpha, for the renderer and
// the window back end to draw and for tools to write as PNG.
#pragma once

#include "platform/ui/PngWriter.h"
#include "platform/ui/winuser.h"

namespace plat::ui {

// False for a handle that is no icon, or an image in a form not decoded
// here (compressed images; only 4, 8, 24 and 32 bits per pixel are). A
// 32-bit image carries its own alpha; the others are opaque where their
// mask is clear.
bool IconPicture(HICON icon, RgbaImage* picture);

// The picture over a plain background.
RgbImage OverBackground(const RgbaImage& picture, uint32_t background);

} // namespace plat::ui
