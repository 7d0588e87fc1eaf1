// The service command line: create, start, stop, query and delete services
// in the system root's service database. Run under the name "net" (or
// "net.exe") it answers "net start <service>" and "net stop <service>" the
// way the system's net command does, with exit code 0 or 2.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace svctool {

// programName is argv[0]; args are the words after it. Returns the exit code.
int Run(const std::string& programName, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace svctool
