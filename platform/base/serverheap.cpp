#include "platform/base/serverheap.h"

#include <malloc.h>

namespace plat {

void ServeFromOneHeap() { mallopt(M_ARENA_MAX, 1); }

void TrimHeap() { malloc_trim(0); }

} // namespace plat
