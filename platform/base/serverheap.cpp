#include "platform/base/serverheap.h"

#include <malloc.h>

namespace plat {

void ServeFromOneHeap()
{
    mallopt(M_ARENA_MAX, 1);
    // Bands of a megabyte and more come from the heap and stay there for the
    // next band, instead of being mapped, faulted in, zeroed by the kernel
    // and unmapped for each one; TrimHeap still gives them back at a
    // connection's end.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
}

void TrimHeap() { malloc_trim(0); }

} // namespace plat
