// What the manager takes for a data source: the files it tries, and the
// identities it keeps.
#pragma once

#include "platform/twain/twain.h"

#include <string>
#include <vector>

namespace twaindsm {

// The regular files whose name contains ".ds" in `folder` and its real
// sub-folders, in name order; links are never followed.
std::vector<std::string> FindSourceFiles(const std::string& folder);

// A source this platform can use: it takes control and image triplets and
// speaks protocol 1.5 to 1.91 or 2.x.
bool IsUsableIdentity(const TW_IDENTITY& identity);

} // namespace twaindsm
