// The timestamp text of a log record: local time with milliseconds,
// "2026-03-04 05:06:07:089".
#pragma once

#include <chrono>
#include <string>

std::u16string GetLogTimestamp();

// The text for one given instant; GetLogTimestamp passes the current time.
std::u16string FormatLogTimestamp(std::chrono::system_clock::time_point when);
