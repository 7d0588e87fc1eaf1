// The temporary folder (GetTempPathA), which the platform layer does not
// offer yet; kept here, small, until it does.
#pragma once

#include <string>

namespace Trellis::host {

// The temporary folder with a trailing '/': $TMPDIR, else /tmp.
std::string TempPath();

} // namespace Trellis::host
