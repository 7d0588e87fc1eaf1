// The registry command-line editor, as a function the program's main and
// the tests call.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace regtool {

// Exit codes: 0 done, 1 the registry refused (message on `err`), 2 the
// command line was wrong (usage on `err`).
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// `args` without the program name.
int RunRegTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace regtool
