// The data source manager's entry point, through which the data source tells
// the application things outside any triplet. A manager of the second
// protocol generation hands it over with DAT_ENTRYPOINT; without that, it is
// looked up in the manager's library on each notification.
#pragma once

#include "platform/twain/twain.h"

namespace Trellis {

// The manager's library, looked for where the loader looks.
inline constexpr const char* kDSMLibraryName = "libtwaindsm.so";
inline constexpr const char* kDSMEntryName = "DSM_Entry";

// Keeps the entry of the manager's record; null (or a record without an
// entry) forgets it.
void SetDSMEntryPoint(const TW_ENTRYPOINT* entryPoints);
// Null when the manager handed over none.
DSMENTRYPROC GetDSMEntryPoint();

} // namespace Trellis
