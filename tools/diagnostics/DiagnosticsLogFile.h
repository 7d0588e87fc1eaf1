// The log files of the diagnostics stand-in: one per application,
// <root>/log/<application>.log, UTF-8, one record per line:
//
//   timestamp TAB application TAB level TAB process id TAB thread id TAB log name TAB text
//
// The level is decimal; backslash, tab, carriage return and line feed inside
// a field are written \\ \t \r \n, so every record stays one line and reads
// back exactly.
#pragma once

#include "platform/base/wintypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace diagnostics {

struct LogFileRecord {
    std::u16string timestamp;
    std::u16string application;
    DWORD level = 0;
    std::u16string processId;
    std::u16string threadId;
    std::u16string logName;
    std::u16string text;
};

// The file of the application; '/' and control characters in its name
// become '_'.
std::string LogFilePath(std::u16string_view application);

std::string FormatRecordLine(const LogFileRecord& record);
// false for a line that is not a record
bool ParseRecordLine(std::string_view line, LogFileRecord* record);

// Appends one line, whole, to the application's file (several processes may
// append at once).
HRESULT AppendRecord(const LogFileRecord& record);

// Every record of the application's file (none when there is no file).
std::vector<LogFileRecord> ReadLogFile(std::u16string_view application);

} // namespace diagnostics
