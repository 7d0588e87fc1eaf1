// What an icon handle of LoadImageW/LoadIconW stands for.
#pragma once

#include "platform/ui/winuser.h"

namespace plat::ui {

struct IconImage {
    int width; // pixels; 256 for an entry that says 0
    int height;
    int bitCount;
    WORD imageId; // the RT_ICON resource
    const BYTE* data;
    DWORD size;
};

// False for a handle that is no live icon.
bool GetIconImage(HICON icon, IconImage* out);

// How many icon handles are alive (loaded or copied, not shared, not yet
// destroyed): tests see that a caller released what it loaded.
size_t LiveIconCount();

} // namespace plat::ui
