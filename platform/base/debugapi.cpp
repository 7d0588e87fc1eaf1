#include "platform/base/debugapi.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// Whether a debugger traces this process: TracerPid in /proc/self/status.
bool Traced()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("TracerPid:", 0) == 0)
            return std::strtol(line.c_str() + 10, nullptr, 10) != 0;
    }
    return false;
}

} // namespace

void OutputDebugStringA(LPCSTR lpOutputString)
{
    if (lpOutputString && Traced())
        std::fputs(lpOutputString, stderr);
}
