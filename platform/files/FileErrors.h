// The Windows error for an errno of a file call.
#pragma once

#include "platform/base/wintypes.h"

namespace plat::files {

// ENOENT means the file itself is missing; where a missing folder on the
// way is meant, the caller says ERROR_PATH_NOT_FOUND itself.
DWORD ErrorFromErrno(int error);

} // namespace plat::files
