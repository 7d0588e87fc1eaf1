// The program's own resources: the service name it holds before it reads
// its file name, and the application-identifier registry script.
#pragma once

#include "platform/base/wintypes.h"

#include <string_view>

inline constexpr UINT IDS_SERVICENAME = 100;
inline constexpr WORD IDR_APPID_SCRIPT = 101;

// The text of the application-identifier script (%APPID%, %HAL_NAME%).
std::string_view LoadAppIdScript();
