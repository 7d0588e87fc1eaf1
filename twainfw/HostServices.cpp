#include "twainfw/HostServices.h"

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

} // namespace Trellis::host
