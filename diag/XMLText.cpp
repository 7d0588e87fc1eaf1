#include "diag/XMLText.h"

#include "platform/base/strings.h"

#include <algorithm>
#include <climits>
#include <iterator>

namespace xmltext {

namespace {

bool IsNameStart(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c == u':' || c >= 0xC0;
}

bool IsNameChar(char16_t c)
{
    return IsNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == 0xB7;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The number of code units of the character at `i` (2 for a surrogate pair),
// or 0 when XML has no such character: U+FFFE, U+FFFF, a lone surrogate.
size_t CharacterLength(std::u16string_view text, size_t i)
{
    char16_t c = text[i];
    if (c == 0xFFFE || c == 0xFFFF || IsLowSurrogate(c))
        return 0;
    if (IsHighSurrogate(c))
        return i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 0;
    return 1;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes)
{
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        size_t extra;
        char32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (bytes.size() - i <= extra)
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian)
{
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        text += static_cast<char16_t>((hi << 8) | lo);
    }
    return text;
}

void AppendUtf8(std::string& text, char32_t cp)
{
    if (cp < 0x80) {
        text += static_cast<char>(cp);
    } else if (cp < 0x800) {
        text += static_cast<char>(0xC0 | (cp >> 6));
        text += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        text += static_cast<char>(0xE0 | (cp >> 12));
        text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (cp >> 18));
        text += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The character of "#65" or "#x41", or 0 when it names none. Control
// characters are let through: the writer puts them out as references, and
// what the store writes it must read back.
char32_t CharacterReference(std::string_view name)
{
    if (name.size() < 2 || name[0] != '#')
        return 0;
    bool hex = name[1] == 'x';
    std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty())
        return 0;
    char32_t cp = 0;
    for (char c : digits) {
        int digit = c >= '0' && c <= '9'          ? c - '0'
                    : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                  : -1;
        if (digit < 0)
            return 0;
        cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        if (cp > 0x10FFFF)
            return 0;
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF)
        return 0;
    return cp;
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

} // namespace

bool IsXmlName(std::u16string_view name)
{
    if (name.empty() || !IsNameStart(name[0]) || !IsXmlText(name))
        return false;
    return std::all_of(name.begin() + 1, name.end(), IsNameChar);
}

bool IsXmlText(std::u16string_view text)
{
    for (size_t i = 0; i < text.size();) {
        size_t length = CharacterLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

size_t FindInvalidCharacter(std::u16string_view text)
{
    for (size_t i = 0; i < text.size();) {
        char16_t c = text[i];
        size_t length = CharacterLength(text, i);
        if (length == 0 || (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r'))
            return i;
        i += length;
    }
    return std::u16string_view::npos;
}

bool ExpandReferences(std::string_view raw, std::string& text, std::u16string& reason)
{
    static constexpr struct {
        std::string_view name;
        char character;
    } kEntities[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};

    text.clear();
    text.reserve(raw.size());
    for (size_t i = 0; i < raw.size();) {
        if (raw[i] != '&') {
            text += raw[i++];
            continue;
        }
        size_t end = raw.find(';', i + 1);
        if (end == std::string_view::npos) {
            reason = u"A '&' must start an entity or character reference.";
            return false;
        }
        std::string_view name = raw.substr(i + 1, end - i - 1);
        i = end + 1;
        if (!name.empty() && name[0] == '#') {
            char32_t cp = CharacterReference(name);
            if (cp == 0) {
                reason = u"Invalid character reference.";
                return false;
            }
            AppendUtf8(text, cp);
            continue;
        }
        auto entity = std::find_if(std::begin(kEntities), std::end(kEntities),
                                   [&](const auto& known) { return known.name == name; });
        if (entity == std::end(kEntities)) {
            reason = u"Reference to undefined entity '" + Utf8ToUtf16(name.substr(0, 64)) + u"'.";
            return false;
        }
        text += entity->character;
    }
    return true;
}

bool DecodeXmlFile(std::string_view bytes, std::u16string& text)
{
    auto startsWith = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
    if (startsWith("\xFF\xFE") || startsWith(std::string_view("<\0", 2))) {
        if (startsWith("\xFF\xFE"))
            bytes.remove_prefix(2);
        if (bytes.size() % 2)
            return false;
        text = Utf16FromBytes(bytes, false);
        return true;
    }
    if (startsWith("\xFE\xFF") || startsWith(std::string_view("\0<", 2))) {
        if (startsWith("\xFE\xFF"))
            bytes.remove_prefix(2);
        if (bytes.size() % 2)
            return false;
        text = Utf16FromBytes(bytes, true);
        return true;
    }
    if (startsWith("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    if (!IsValidUtf8(bytes))
        return false;
    text = Utf8ToUtf16(bytes);
    return true;
}

std::u16string NodeName(pugi::xml_node node)
{
    switch (node.type()) {
    case pugi::node_document:
        return u"#document";
    case pugi::node_pcdata:
        return u"#text";
    case pugi::node_cdata:
        return u"#cdata-section";
    case pugi::node_comment:
        return u"#comment";
    case pugi::node_declaration:
        return u"xml";
    default:
        return Utf8ToUtf16(node.name());
    }
}

std::u16string NodeText(pugi::xml_node node)
{
    switch (node.type()) {
    case pugi::node_null:
        return {};
    case pugi::node_pcdata:
    case pugi::node_cdata:
    case pugi::node_comment:
    case pugi::node_pi:
        return Utf8ToUtf16(node.value());
    case pugi::node_declaration: {
        std::string text;
        for (pugi::xml_attribute attribute : node.attributes()) {
            if (!text.empty())
                text += ' ';
            text = text + attribute.name() + "=\"" + attribute.value() + "\"";
        }
        return Utf8ToUtf16(text);
    }
    default:
        break;
    }
    // An element or the document: the text and CDATA of the whole subtree,
    // walked without recursion.
    std::string text;
    for (pugi::xml_node current = node.first_child(); current && current != node;) {
        if (current.type() == pugi::node_pcdata || current.type() == pugi::node_cdata)
            text += current.value();
        if (current.type() == pugi::node_element && current.first_child()) {
            current = current.first_child();
            continue;
        }
        while (current != node && !current.next_sibling())
            current = current.parent();
        if (current == node)
            break;
        current = current.next_sibling();
    }
    return Utf8ToUtf16(text);
}

LONG ParseDecimal(const WCHAR* text)
{
    if (!text)
        return 0;
    while (*text == u' ' || *text == u'\t' || *text == u'\n' || *text == u'\r' || *text == u'\v' || *text == u'\f')
        ++text;
    bool negative = false;
    if (*text == u'+' || *text == u'-')
        negative = *text++ == u'-';
    long long value = 0;
    for (; *text >= u'0' && *text <= u'9'; ++text) {
        value = value * 10 + (*text - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    return static_cast<LONG>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

void CopyCut(std::u16string_view text, WCHAR* buffer, DWORD length)
{
    if (!buffer || length == 0)
        return;
    size_t count = std::min<size_t>(text.size(), length - 1);
    std::copy_n(text.data(), count, buffer);
    buffer[count] = 0;
}

std::u16string NodeMarkup(pugi::xml_node node)
{
    StringWriter writer;
    node.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    return Utf8ToUtf16(writer.text);
}

} // namespace xmltext
