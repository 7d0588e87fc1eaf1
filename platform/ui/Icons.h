// What an icon handle of LoadImageW/LoadIconW stands for.
#pragma once

#include "platform/ui/winuser.h"

namespace plat::ui {

struct IconImage {
    int width;  // pixels; 256 for an entry that says 0
    int height;
    int bitCount;
    WORD imageId; // the RT_ICON resource
    const BYTE* data;
    DWORD size;
};

// False for a handle that is no live icon.
bool GetIconImage(HICON icon, IconImage* out);

} // namespace plat::ui
