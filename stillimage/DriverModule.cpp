#include "stillimage/DriverModule.h"

namespace {
LONG g_objects = 0;
}

LONG DriverModuleObjects() { return InterlockedCompareExchange(&g_objects, 0, 0); }
void DriverModuleObjectCreated() { InterlockedIncrement(&g_objects); }
void DriverModuleObjectDestroyed() { InterlockedDecrement(&g_objects); }
