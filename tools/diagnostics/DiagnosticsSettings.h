// Where the diagnostics stand-in keeps its settings, in the registry:
//
//   HKLM\Software\DiagnosticsConfig\Applications\<application>\<log name>
//       Enabled   REG_DWORD  1 or 0 (a newly registered name starts at 0)
//   HKLM\Software\DiagnosticsConfig\Settings\<settings name>
//       LevelMask REG_DWORD  LOG_ERROR | LOG_WARNING | LOG_TRACE bits (0 when absent)
//
// Every operation answers an HRESULT; names that are empty or hold a
// backslash (they would name other keys) are refused with E_INVALIDARG.
#pragma once

#include "platform/base/wintypes.h"

#include <string>
#include <vector>

namespace diagnostics {

HRESULT RegisterComponent(const std::u16string& application, const std::u16string& logName);
HRESULT SetComponentEnabled(const std::u16string& application, const std::u16string& logName, bool enabled);
// An unknown name is not enabled.
HRESULT IsComponentEnabled(const std::u16string& application, const std::u16string& logName, bool* enabled);
HRESULT ListComponents(const std::u16string& application, std::vector<std::u16string>* names);
HRESULT ListApplications(std::vector<std::u16string>* names);
HRESULT GetLevelMask(const std::u16string& settingsName, DWORD* mask);
HRESULT SetLevelMask(const std::u16string& settingsName, DWORD mask);

} // namespace diagnostics
