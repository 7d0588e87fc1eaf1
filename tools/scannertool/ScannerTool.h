// scannertool: talks to a scanner through the hardware service's own device
// layer (discovery, transport, command set), for people debugging a scanner
// or the emulator. One command per run; the answer goes to `out`, errors with
// the scanner's sense text to `err`.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace scannertool {

// Returns the process exit code: 0 done, 1 the scanner failed, 2 usage.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace scannertool
