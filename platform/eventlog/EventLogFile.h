// Log files and their records.
#pragma once

#include "platform/base/wintypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace plat::eventlog {

// <log folder>/eventlog
std::string LogDirectory();
// The file of a log within LogDirectory().
std::string LogFileName(std::u16string_view logName);

// The log a source reports to: the log key it is registered under, else
// "Application".
std::u16string LogOfSource(std::u16string_view sourceName);

// The log named `name` when the registry or the standard set has it, else
// "Application".
std::u16string LogNamed(std::u16string_view name);

struct EventRecord {
    std::u16string source;
    WORD type = 0;
    WORD category = 0;
    DWORD eventId = 0;
    std::vector<std::u16string> strings;
    std::vector<BYTE> data;
};

// The record as one line of text (without the line end): tab-separated
// fields; tabs, line ends and backslashes inside strings are escaped.
std::string FormatRecord(const EventRecord& record, ULONGLONG unixTimeMs, DWORD processId);

// Appends the record to the log's file in `directory`; a Windows error code.
DWORD AppendRecord(const std::string& directory, std::u16string_view logName, const EventRecord& record);

} // namespace plat::eventlog
