// Small string helpers of the framework.
#pragma once

#include <string>

namespace Trellis {

// The full path of the module this framework is built into; empty when it
// cannot be read.
std::string GetModulePath();

// printf-style text of at most 1023 characters (longer output is cut), with
// the Windows meaning of the format (platform/base/format.h).
std::string FormatStdString(const char* format, ...);

// Every byte through the classic locale's upper-case mapping.
std::string ToUpper(const std::string& text);

} // namespace Trellis
