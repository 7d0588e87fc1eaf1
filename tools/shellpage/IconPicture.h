// The picture of an icon handle: its image (a DIB with its mask, as icon
// resources hold them) decoded to RGB over a background, so that it can be
// written as PNG.
#pragma once

#include "platform/ui/PngWriter.h"
#include "platform/ui/winuser.h"

namespace shellpage {

// False for a handle that is no icon, or an image in a form not decoded
// here (compressed images; only 4, 8, 24 and 32 bits per pixel are).
bool IconPicture(HICON icon, uint32_t background, plat::ui::RgbImage* picture);

} // namespace shellpage
