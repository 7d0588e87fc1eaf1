#include "diag/LogInterface.h"

LogMaskCell* CLogInterface::RegisterLogName(std::u16string name)
{
    // A sink that forwards to the diagnostics component announces new names
    // through the registry's announcer.
    return ::RegisterLogName(name);
}
