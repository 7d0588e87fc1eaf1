#include "twainfw/HostServices.h"

#include <chrono>
#include <cstdlib>

namespace Trellis::host {

std::string TempPath()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string path = tmp && *tmp ? tmp : "/tmp";
    if (path.back() != '/')
        path += '/';
    return path;
}

DWORD TickCount()
{
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<DWORD>(ms.count());
}

} // namespace Trellis::host
