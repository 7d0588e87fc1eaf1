// Starting programs and waiting for them, ending a running service copy,
// and stopping or starting services by display name through net.exe.
// None of these keeps state; start failures are returned, never logged.
#pragma once

#include "platform/windows.h"

#include <string>

namespace coinst {

// Runs copyPath with " -Service" (register) or, after ending its running
// process, with " -UnregServer", and waits for it without time-out. True
// when the copy could be started.
bool RegisterHAL(const std::u16string& copyPath, bool bRegister);

// Ends the first running process whose executable is the file name of
// `path` (or that name without its extension). True when one was ended.
bool KillProcessByPath(const std::u16string& path);

// The program's exit code (STILL_ACTIVE when it outlives five minutes
// without messages), or the error that kept it from starting.
DWORD RunProcessAndWait(const std::u16string& applicationPath, const std::u16string& currentDirectory,
                        const std::u16string& arguments);

// net.exe of the system folder with these arguments: 0 when it ended with 0.
DWORD RunNetCommand(const std::u16string& arguments);

// "net start" of the service with this display name; true on success.
bool NetStartService(const std::u16string& displayName);

// The folder separator the co-installer writes into the paths it builds:
// the platform's calls take '\' as well, but the paths it stores also
// reach Linux programs (the tools, the dynamic loader).
constexpr WCHAR kPathSeparator = u'/';

// The path up to and including its last separator.
std::u16string GetDirectoryPart(const std::u16string& path);

// Where the file name starts: after the last '\' or '/' (npos when none).
size_t LastSeparator(const std::u16string& path);

// Starts the command line (no application name, no window) in `directory`
// and waits for it without time-out. False when it could not be started.
bool StartAndWait(const std::u16string& commandLine, const std::u16string& directory);

} // namespace coinst
