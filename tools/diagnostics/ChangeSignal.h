// Tells every process that watches the event log that the diagnostics
// settings changed: one informational record in the event log.
#pragma once

#include "platform/base/wintypes.h"

namespace diagnostics {

HRESULT SignalSettingsChanged();

} // namespace diagnostics
