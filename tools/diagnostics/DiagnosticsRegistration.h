// Registers the diagnostics stand-in library as the in-process server of
// DiagnosticsConfig (HKCR\CLSID\{...}\InprocServer32), and removes it.
#pragma once

#include "platform/base/wintypes.h"

#include <string>

namespace diagnostics {

// The stand-in library beside the platform library, where the build and an
// installation put it.
std::string DefaultServerPath();

HRESULT RegisterDiagnosticsServer(const std::string& libraryPath);
HRESULT UnregisterDiagnosticsServer();

} // namespace diagnostics
