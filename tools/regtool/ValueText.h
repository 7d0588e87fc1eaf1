// Value data to and from text: what `set` takes, what `query` and `export`
// print.
#pragma once

#include "platform/windows.h"

#include <optional>
#include <string>
#include <vector>

namespace regtool {

// REG_SZ, REG_EXPAND_SZ, ... (any case) to the type number.
std::optional<DWORD> ParseTypeName(const std::string& name);
std::string TypeName(DWORD type);

// The bytes to store for `text` given as `type`: strings as UTF-16LE with
// the terminator; REG_MULTI_SZ split at `separator`; REG_DWORD and REG_QWORD
// decimal or 0x hex; REG_BINARY and REG_NONE as hex digits (blanks, commas
// and colons between bytes allowed). nullopt when the text does not fit.
std::optional<std::vector<BYTE>> ParseValueData(DWORD type, const std::string& text, const std::string& separator);

// One line of `query` output for the data: text for strings (lists joined
// with \0), 0x hex for numbers, hex digits for the rest.
std::string QueryText(DWORD type, const std::vector<BYTE>& data);

// The right-hand side of an export line: "text", expand:"text",
// multi:"a","b", dword:0000007b, qword:..., hex:01,02, or hex(N):... for any
// data that has no exact text form.
std::string ExportText(DWORD type, const std::vector<BYTE>& data);

// A quoted export string: backslash, quote and control characters escaped.
std::string Quote(const std::string& text);

} // namespace regtool
