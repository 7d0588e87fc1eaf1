// Small string helpers of the framework.
#pragma once

#include <string>

namespace Trellis {

// The full path of the module this framework is built into; empty when it
// cannot be read.
std::string GetModulePath();

// printf-style text of at most 1023 characters (longer output is cut).
std::string FormatStdString(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Every byte through the classic locale's upper-case mapping.
std::string ToUpper(const std::string& text);

} // namespace Trellis
