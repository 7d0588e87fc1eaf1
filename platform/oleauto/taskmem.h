// The task-memory allocator: blocks handed across COM and freed by the receiver.
#pragma once

#include "platform/base/wintypes.h"

LPVOID CoTaskMemAlloc(SIZE_T cb);
// A null block allocates as CoTaskMemAlloc does; a zero size frees the block
// and returns null.
LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
void CoTaskMemFree(LPVOID pv);
