#include "twainds/ui/DecimalText.h"

#include <charconv>
#include <cmath>

namespace qbk24 {

namespace {

std::u16string Widen(const char* begin, const char* end) { return std::u16string(begin, end); }

} // namespace

float ReadDecimal(std::u16string_view text)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t'))
        ++at;
    // Only ASCII can be part of a number; the rest ends it.
    std::string narrow;
    for (; at < text.size() && text[at] < 0x80; ++at)
        narrow += static_cast<char>(text[at]);
    const char* begin = narrow.data();
    if (!narrow.empty() && narrow[0] == '+')
        ++begin;
    float value = 0.0f;
    const auto [end, error] = std::from_chars(begin, narrow.data() + narrow.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end == begin || !std::isfinite(value))
        return 0.0f;
    return value;
}

std::u16string FormatTwoDecimals(float value)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    return error == std::errc() ? Widen(buffer, end) : std::u16string();
}

std::u16string FormatWhole(int value)
{
    char buffer[16];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? Widen(buffer, end) : std::u16string();
}

} // namespace qbk24
