#include "diag/LogInterface.h"

LogMaskCell* CLogInterface::RegisterLogName(std::u16string name)
{
    // Only the process sink, which forwards to the diagnostics component,
    // announces new names; any other sink just registers them.
    return AddLogName(name);
}
