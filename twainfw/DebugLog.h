// The data source's debug log: a text file in the temporary folder, on only
// when the win.ini section of the data source has a non-zero "DEBUG" or
// "DEBUGTIMING". Every line opens, appends and closes the file, so the log
// survives a crash of the host application.
#pragma once

#include "platform/windows.h"

#include <string>

namespace Trellis {

// The two switches as read at set-up; callers test DebugLogOn() (or
// DebugTimingOn() for timing lines) before they format a line.
bool DebugLogOn();
bool DebugTimingOn();
// GetTickCount at set-up, for timing lines.
DWORD DebugLogStartTick();
// The log file's path; empty while the log is off.
std::string DebugLogPath();

// Sets the log up once per process: reads the switches of `section`, and
// when one is on, names the file (temporary folder + fileName), writes that
// path to win.ini under `pathKey` and deletes an old file of that name.
void InitDebugLog(const char* fileName, const char* section, const char* pathKey);

// Turns the log off again (library unload); a later InitDebugLog reads the
// switches afresh.
void CloseDebugLog();

void AppendDebugLog(const char* text);

// printf-style line into the log, with the Windows meaning of the format
// (platform/base/format.h). Lines longer than the 292-byte line buffer are
// cut (and still end the line). 0 when no working memory could be had, else 1.
int DebugPrint(const char* format, ...);

// "2026-03-01 09:05:07:042": local date and time with milliseconds.
std::string GetTimestampWithMs();

} // namespace Trellis
