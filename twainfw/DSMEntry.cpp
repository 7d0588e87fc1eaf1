#include "twainfw/DSMEntry.h"

#include <atomic>

namespace Trellis {

namespace {

// One manager per process, as for its memory functions.
std::atomic<DSMENTRYPROC> g_entry{nullptr};

} // namespace

void SetDSMEntryPoint(const TW_ENTRYPOINT* entryPoints)
{
    g_entry.store(entryPoints ? entryPoints->DSM_Entry : nullptr);
}

DSMENTRYPROC GetDSMEntryPoint() { return g_entry.load(); }

} // namespace Trellis
