// Values as the service's log lines print them.
#pragma once

#include "diag/TraceClient.h" // Hex32: pointers in log lines
#include "platform/base/wintypes.h"

// The word of an exit line's "[%s]".
inline const WCHAR* TrueFalse(bool value) { return value ? u"TRUE" : u"FALSE"; }
