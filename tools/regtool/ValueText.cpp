#include "tools/regtool/ValueText.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace regtool {

namespace {

struct TypeEntry {
    const char* name;
    DWORD type;
};
const TypeEntry kTypes[] = {
    {"REG_NONE", REG_NONE},         {"REG_SZ", REG_SZ},       {"REG_EXPAND_SZ", REG_EXPAND_SZ},
    {"REG_BINARY", REG_BINARY},     {"REG_DWORD", REG_DWORD}, {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN},
    {"REG_MULTI_SZ", REG_MULTI_SZ}, {"REG_QWORD", REG_QWORD},
};

void AppendWide(std::vector<BYTE>& out, const std::u16string& s)
{
    for (char16_t c : s) {
        out.push_back(static_cast<BYTE>(c & 0xFF));
        out.push_back(static_cast<BYTE>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}

std::optional<std::uint64_t> ParseNumber(const std::string& text, std::uint64_t max)
{
    if (text.empty())
        return std::nullopt;
    int base = 10;
    size_t at = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        at = 2;
    }
    std::uint64_t value = 0;
    for (; at < text.size(); ++at) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
        int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : 99;
        if (digit >= base)
            return std::nullopt;
        if (value > (max - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(base))
            return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    return value;
}

std::string Hex(const std::vector<BYTE>& data, const char* separator)
{
    std::string out;
    char buf[4];
    for (size_t i = 0; i < data.size(); ++i) {
        if (i && separator)
            out += separator;
        std::snprintf(buf, sizeof buf, "%02x", data[i]);
        out += buf;
    }
    return out;
}

std::u16string Units(const std::vector<BYTE>& data)
{
    std::u16string s(data.size() / 2, u'\0');
    if (!s.empty())
        std::memcpy(s.data(), data.data(), s.size() * 2);
    return s;
}

// The strings of well-formed string data: one for REG_SZ and REG_EXPAND_SZ
// (text, terminator, nothing after), the list for REG_MULTI_SZ (each
// terminated, then an empty one). nullopt for anything else.
std::optional<std::vector<std::u16string>> Strings(DWORD type, const std::vector<BYTE>& data)
{
    if (data.size() % 2 != 0 || data.empty())
        return std::nullopt;
    std::u16string units = Units(data);
    if (units.back() != u'\0')
        return std::nullopt;
    units.pop_back();
    if (type != REG_MULTI_SZ) {
        if (units.find(u'\0') != std::u16string::npos)
            return std::nullopt;
        return std::vector<std::u16string>{units};
    }
    std::vector<std::u16string> list;
    if (units.empty())
        return list;
    if (units.back() != u'\0')
        return std::nullopt;
    size_t start = 0;
    while (start < units.size()) {
        size_t end = units.find(u'\0', start);
        if (end == start) // an empty string inside the list would end it
            return std::nullopt;
        list.push_back(units.substr(start, end - start));
        start = end + 1;
    }
    return list;
}

std::string ToHex32(std::uint64_t v, int digits)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*llx", digits, static_cast<unsigned long long>(v));
    return buf;
}

std::uint64_t LittleEndian(const std::vector<BYTE>& data)
{
    std::uint64_t v = 0;
    for (size_t i = data.size(); i-- > 0;)
        v = (v << 8) | data[i];
    return v;
}

} // namespace

std::optional<DWORD> ParseTypeName(const std::string& name)
{
    std::string upper;
    for (char c : name)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const TypeEntry& t : kTypes)
        if (upper == t.name)
            return t.type;
    return std::nullopt;
}

std::string TypeName(DWORD type)
{
    for (const TypeEntry& t : kTypes)
        if (t.type == type)
            return t.name;
    return "REG_TYPE_" + std::to_string(type);
}

std::optional<std::vector<BYTE>> ParseValueData(DWORD type, const std::string& text, const std::string& separator)
{
    std::vector<BYTE> out;
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        AppendWide(out, Utf8ToUtf16(text));
        return out;
    case REG_MULTI_SZ: {
        size_t start = 0;
        while (!text.empty() && !separator.empty()) {
            size_t end = text.find(separator, start);
            std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!part.empty())
                AppendWide(out, Utf8ToUtf16(part));
            if (end == std::string::npos)
                break;
            start = end + separator.size();
        }
        if (separator.empty() && !text.empty())
            AppendWide(out, Utf8ToUtf16(text));
        out.push_back(0);
        out.push_back(0);
        return out;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD: {
        size_t bytes = type == REG_QWORD ? 8 : 4;
        auto value = ParseNumber(text, bytes == 8 ? ~0ull : 0xFFFFFFFFull);
        if (!value)
            return std::nullopt;
        for (size_t i = 0; i < bytes; ++i) {
            size_t shift = type == REG_DWORD_BIG_ENDIAN ? 8 * (bytes - 1 - i) : 8 * i;
            out.push_back(static_cast<BYTE>(*value >> shift));
        }
        return out;
    }
    default: {
        int high = -1;
        for (char c : text) {
            if (c == ' ' || c == ',' || c == ':')
                continue;
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
            int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
            if (high < 0) {
                high = digit;
            } else {
                out.push_back(static_cast<BYTE>(high * 16 + digit));
                high = -1;
            }
        }
        if (high >= 0)
            return std::nullopt;
        return out;
    }
    }
}

std::string QueryText(DWORD type, const std::vector<BYTE>& data)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        // Text up to each terminator, lists joined with \0, even when the
        // data is not well-formed.
        std::u16string units = Units(data);
        while (!units.empty() && units.back() == u'\0')
            units.pop_back();
        std::string out;
        size_t start = 0;
        while (true) {
            size_t end = units.find(u'\0', start);
            out += Utf16ToUtf8(units.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start));
            if (end == std::u16string::npos || type != REG_MULTI_SZ)
                break;
            out += "\\0";
            start = end + 1;
        }
        return out;
    }
    if ((type == REG_DWORD && data.size() == 4) || (type == REG_QWORD && data.size() == 8))
        return "0x" + ToHex32(LittleEndian(data), 1);
    return Hex(data, nullptr);
}

std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        // clang-format off
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
        // clang-format on
    }
    return out + "\"";
}

std::string ExportText(DWORD type, const std::vector<BYTE>& data)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        if (auto strings = Strings(type, data)) {
            if (type == REG_SZ)
                return Quote(Utf16ToUtf8((*strings)[0]));
            if (type == REG_EXPAND_SZ)
                return "expand:" + Quote(Utf16ToUtf8((*strings)[0]));
            std::string out = "multi:";
            for (size_t i = 0; i < strings->size(); ++i)
                out += (i ? "," : "") + Quote(Utf16ToUtf8((*strings)[i]));
            return out;
        }
    }
    if (type == REG_DWORD && data.size() == 4)
        return "dword:" + ToHex32(LittleEndian(data), 8);
    if (type == REG_QWORD && data.size() == 8)
        return "qword:" + ToHex32(LittleEndian(data), 16);
    if (type == REG_BINARY)
        return "hex:" + Hex(data, ",");
    return "hex(" + ToHex32(type, 1) + "):" + Hex(data, ",");
}

} // namespace regtool
