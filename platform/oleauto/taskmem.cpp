#include "platform/oleauto/taskmem.h"

#include <cstdlib>

LPVOID CoTaskMemAlloc(SIZE_T cb)
{
    // A zero-byte request still yields a distinct block that can be freed.
    return std::malloc(cb == 0 ? 1 : cb);
}

LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb)
{
    if (!pv)
        return CoTaskMemAlloc(cb);
    if (cb == 0) {
        std::free(pv);
        return nullptr;
    }
    return std::realloc(pv, cb);
}

void CoTaskMemFree(LPVOID pv) { std::free(pv); }
