// Exports of the diagnostics stand-in library beyond the in-process server
// entries (DllGetClassObject, DllCanUnloadNow).
#pragma once

#include "platform/base/wintypes.h"

extern "C" {

// Called at the start of every IDiagnosticsConfig operation with its name
// ("WriteLog", "OpenSettings", ...), and with "Create" when an object is made. Lets a test count calls, hold one (a
// slow or hung component) or fail one: a failed result is the operation's
// answer, and the operation does nothing. Null removes the hook.
using DiagnosticsCallHook = HRESULT (*)(void* context, const char* operation);
void DiagnosticsSetCallHook(DiagnosticsCallHook hook, void* context);

} // extern "C"
