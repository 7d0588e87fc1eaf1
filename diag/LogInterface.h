// The abstract log sink that every traced object writes through, and the
// level bits that are also the bits of every mask.
#pragma once

#include "diag/LogNameRegistry.h"
#include "platform/base/wintypes.h"

#include <string>

constexpr DWORD LOG_ERROR = 1;
constexpr DWORD LOG_WARNING = 2;
constexpr DWORD LOG_TRACE = 4;

class CLogInterface {
public:
    virtual ~CLogInterface() = default;

    // The mask cell of the name in this binary's log-name registry. The cell
    // lives as long as the process and never moves.
    virtual LogMaskCell* RegisterLogName(std::u16string name);

    // One record. The three texts are zero-terminated.
    virtual void Write(DWORD level, DWORD processId, DWORD threadId, const WCHAR* timestamp, const WCHAR* logName,
                       const WCHAR* text) = 0;
};
