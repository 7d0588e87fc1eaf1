// The co-installer's debug log: plain lines appended to one fixed file.
#pragma once

#include "platform/windows.h"

#include <string>

namespace coinst {

// The log file, "C:\Log\CoInstaller.log": the folder "Log" at the top of
// the system's drive, beside the Windows folder (here the system root). It
// is never created here: without the folder nothing is logged.
std::string CoInstallerLogPath();

// Formats (wide format, Windows conversions) and appends the text as it is:
// no prefix, no time stamp; each "\n" is written as CR LF. A file that
// cannot be opened drops the line silently.
int CoInstallerLog(const WCHAR* format, ...);

} // namespace coinst
