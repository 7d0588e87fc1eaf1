#include "platform/registry/KeyName.h"

namespace plat::registry {

namespace {
char16_t FoldChar(char16_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<char16_t>(c - 0x20);
    if (c == 0xFF)
        return 0x178;
    // Latin Extended-A pairs upper/lower as even/odd, except in two runs
    // where the upper case letter is the odd one.
    if (c >= 0x100 && c <= 0x17F) {
        bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        bool isLower = oddUpper ? (c % 2 == 0) : (c % 2 == 1);
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        return isLower ? static_cast<char16_t>(c - 1) : c;
    }
    if (c == 0x3C2) // final sigma
        return 0x3A3;
    if (c >= 0x3B1 && c <= 0x3CB)
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x430 && c <= 0x44F)
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<char16_t>(c - 0x50);
    return c;
}
} // namespace

std::u16string FoldName(std::u16string_view name)
{
    std::u16string out(name);
    for (char16_t& c : out)
        c = FoldChar(c);
    return out;
}

std::vector<std::u16string> SplitKeyPath(std::u16string_view path)
{
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace plat::registry
