// A byte dump for data log lines: "0x01,0x02,0xFF", at most 266 bytes, a cut
// dump ending in " (...)".
#pragma once

#include "platform/base/wintypes.h"

#include <string>

constexpr DWORD kHexDumpCap = 266;

std::u16string HexDump(const BYTE* bytes, DWORD count);
