#include "diag/HexDump.h"

#include <algorithm>

namespace {

void AppendByte(std::u16string& text, BYTE value)
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    text += u"0x";
    text += kDigits[value >> 4];
    text += kDigits[value & 0x0F];
}

} // namespace

std::u16string HexDump(const BYTE* bytes, DWORD count)
{
    DWORD shown = std::min(kHexDumpCap, count);
    if (shown < 1 || !bytes)
        return {};

    std::u16string text;
    text.reserve(shown * 5 + 6);
    for (DWORD i = 0; i < shown; ++i) {
        AppendByte(text, bytes[i]);
        if (i + 1 < shown)
            text += u',';
        else if (count > kHexDumpCap)
            text += u" (...)";
    }
    return text;
}
