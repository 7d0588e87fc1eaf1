#include "platform/registry/RegistrarScript.h"

#include "platform/registry/KeyName.h"

#include <cstring>

namespace plat::registrar {

namespace {

enum class TokenKind { Open, Close, Equals, Word, Quoted, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::u16string text;
};

struct ScriptError {
    HRESULT hr;
};

[[noreturn]] void Malformed() { throw ScriptError{DISP_E_EXCEPTION}; }

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool EndsWord(char16_t c) { return IsSpace(c) || c == u'=' || c == u'\'' || c == u'{' || c == u'}'; }
bool IsNameChar(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_';
}

class Lexer {
public:
    Lexer(std::u16string_view text, const Replacer& replace) : m_text(text), m_replace(replace) {}

    Token Next()
    {
        while (m_pos < m_text.size() && IsSpace(m_text[m_pos]))
            ++m_pos;
        if (m_pos >= m_text.size())
            return {TokenKind::End, {}};
        char16_t c = m_text[m_pos];
        if (c == u'}') {
            ++m_pos;
            return {TokenKind::Close, {}};
        }
        if (c == u'=') {
            ++m_pos;
            return {TokenKind::Equals, {}};
        }
        if (c == u'\'')
            return {TokenKind::Quoted, Replace(Quoted())};
        if (c == u'{') {
            bool block = m_pos + 1 >= m_text.size() || EndsWord(m_text[m_pos + 1]);
            if (block) {
                ++m_pos;
                return {TokenKind::Open, {}};
            }
            // A name in braces, such as a GUID: one word up to its closing brace.
            size_t close = m_text.find(u'}', m_pos);
            if (close == std::u16string_view::npos)
                Malformed();
            size_t end = close + 1;
            while (end < m_text.size() && !EndsWord(m_text[end]))
                ++end;
            std::u16string word(m_text.substr(m_pos, end - m_pos));
            m_pos = end;
            return {TokenKind::Word, Replace(word)};
        }
        size_t end = m_pos;
        while (end < m_text.size() && !EndsWord(m_text[end]))
            ++end;
        std::u16string word(m_text.substr(m_pos, end - m_pos));
        m_pos = end;
        return {TokenKind::Word, Replace(word)};
    }

private:
    std::u16string Quoted()
    {
        std::u16string out;
        ++m_pos; // opening quote
        while (true) {
            if (m_pos >= m_text.size())
                Malformed();
            char16_t c = m_text[m_pos++];
            if (c != u'\'') {
                out += c;
                continue;
            }
            if (m_pos < m_text.size() && m_text[m_pos] == u'\'') {
                out += u'\'';
                ++m_pos;
                continue;
            }
            return out;
        }
    }

    // Replacements apply to the text of each token, so a replaced value
    // (a path with a quote or a blank in it) never changes the script's shape.
    std::u16string Replace(const std::u16string& in)
    {
        std::u16string out;
        for (size_t i = 0; i < in.size(); ++i) {
            if (in[i] != u'%') {
                out += in[i];
                continue;
            }
            if (i + 1 < in.size() && in[i + 1] == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            size_t close = in.find(u'%', i + 1);
            if (close == std::u16string::npos)
                Malformed();
            std::u16string_view name(in.data() + i + 1, close - i - 1);
            for (char16_t ch : name)
                if (!IsNameChar(ch))
                    Malformed();
            std::optional<std::u16string> value = m_replace ? m_replace(name) : std::nullopt;
            if (!value)
                throw ScriptError{E_INVALIDARG};
            out += *value;
            i = close;
        }
        return out;
    }

    std::u16string_view m_text;
    const Replacer& m_replace;
    size_t m_pos = 0;
};

bool Is(const Token& t, std::u16string_view word)
{
    return t.kind == TokenKind::Word && plat::registry::FoldName(t.text) == plat::registry::FoldName(word);
}

void AppendWide(std::vector<BYTE>& out, std::u16string_view text)
{
    size_t at = out.size();
    out.resize(at + text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        out[at + 2 * i] = static_cast<BYTE>(text[i] & 0xFF);
        out[at + 2 * i + 1] = static_cast<BYTE>(text[i] >> 8);
    }
}

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

DWORD ParseDword(const std::u16string& text)
{
    std::u16string_view t = text;
    bool negative = !t.empty() && t[0] == u'-';
    if (negative)
        t.remove_prefix(1);
    unsigned base = 10;
    if (t.size() > 2 && t[0] == u'0' && (t[1] == u'x' || t[1] == u'X')) {
        base = 16;
        t.remove_prefix(2);
    }
    if (t.empty())
        Malformed();
    std::uint64_t value = 0;
    for (char16_t c : t) {
        int digit = HexDigit(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base)
            Malformed();
        value = value * base + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFull)
            Malformed();
    }
    return negative ? static_cast<DWORD>(0u - static_cast<DWORD>(value)) : static_cast<DWORD>(value);
}

std::vector<BYTE> ParseHex(const std::u16string& text)
{
    std::vector<BYTE> out;
    int high = -1;
    for (char16_t c : text) {
        if (IsSpace(c))
            continue;
        int digit = HexDigit(c);
        if (digit < 0)
            Malformed();
        if (high < 0) {
            high = digit;
        } else {
            out.push_back(static_cast<BYTE>(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0)
        Malformed();
    return out;
}

class Parser {
public:
    Parser(std::u16string_view text, const Replacer& replace) : m_lexer(text, replace) { Advance(); }

    std::vector<ScriptRoot> Script()
    {
        std::vector<ScriptRoot> roots;
        while (m_token.kind != TokenKind::End) {
            // Roots always stay; a flag written before one changes nothing.
            if (Is(m_token, u"NoRemove") || Is(m_token, u"ForceRemove"))
                Advance();
            ScriptRoot root{RootName(), {}};
            Advance();
            Expect(TokenKind::Open);
            Body(root.body, 1);
            roots.push_back(std::move(root));
        }
        return roots;
    }

private:
    void Advance() { m_token = m_lexer.Next(); }
    void Expect(TokenKind kind)
    {
        if (m_token.kind != kind)
            Malformed();
        Advance();
    }
    bool IsName() const { return m_token.kind == TokenKind::Word || m_token.kind == TokenKind::Quoted; }

    Root RootName()
    {
        struct Known {
            const char16_t* name;
            Root root;
        };
        static const Known known[] = {
            {u"HKCR", Root::ClassesRoot},  {u"HKEY_CLASSES_ROOT", Root::ClassesRoot},
            {u"HKCU", Root::CurrentUser},  {u"HKEY_CURRENT_USER", Root::CurrentUser},
            {u"HKLM", Root::LocalMachine}, {u"HKEY_LOCAL_MACHINE", Root::LocalMachine},
            {u"HKU", Root::Users},         {u"HKEY_USERS", Root::Users},
        };
        if (m_token.kind == TokenKind::Word)
            for (const Known& k : known)
                if (Is(m_token, k.name))
                    return k.root;
        Malformed();
    }

    // Keys and values up to the closing brace of the enclosing key.
    void Body(ScriptKey& key, int depth)
    {
        if (depth > 64) // deeper than any real registration; keeps recursion bounded
            Malformed();
        while (m_token.kind != TokenKind::Close) {
            if (Is(m_token, u"val")) {
                Advance();
                if (!IsName())
                    Malformed();
                ScriptValue value;
                value.name = m_token.text;
                Advance();
                Expect(TokenKind::Equals);
                TypedValue(value);
                key.values.push_back(std::move(value));
                continue;
            }
            ScriptKey sub;
            if (Is(m_token, u"ForceRemove"))
                sub.flag = KeyFlag::ForceRemove;
            else if (Is(m_token, u"NoRemove"))
                sub.flag = KeyFlag::NoRemove;
            else if (Is(m_token, u"Delete"))
                sub.flag = KeyFlag::Delete;
            if (sub.flag != KeyFlag::None)
                Advance();
            if (!IsName() || m_token.text.empty())
                Malformed();
            sub.name = m_token.text;
            Advance();
            if (m_token.kind == TokenKind::Equals) {
                Advance();
                ScriptValue value;
                TypedValue(value);
                sub.defaultValue = std::move(value);
            }
            if (m_token.kind == TokenKind::Open) {
                Advance();
                Body(sub, depth + 1);
            }
            key.subKeys.push_back(std::move(sub));
        }
        Advance(); // the closing brace
    }

    void TypedValue(ScriptValue& value)
    {
        if (m_token.kind != TokenKind::Word || m_token.text.size() != 1)
            Malformed();
        char16_t type = m_token.text[0];
        Advance();
        if (!IsName())
            Malformed();
        const std::u16string& text = m_token.text;
        switch (type) {
        case u's':
        case u'e':
            value.type = type == u's' ? REG_SZ : REG_EXPAND_SZ;
            AppendWide(value.data, text);
            AppendWide(value.data, std::u16string_view(u"\0", 1));
            break;
        case u'm': {
            value.type = REG_MULTI_SZ;
            // Strings separated by the two characters \0.
            size_t start = 0;
            while (true) {
                size_t sep = text.find(u"\\0", start);
                std::u16string_view part(text.data() + start,
                                         (sep == std::u16string::npos ? text.size() : sep) - start);
                if (!part.empty()) {
                    AppendWide(value.data, part);
                    AppendWide(value.data, std::u16string_view(u"\0", 1));
                }
                if (sep == std::u16string::npos)
                    break;
                start = sep + 2;
            }
            AppendWide(value.data, std::u16string_view(u"\0", 1));
            break;
        }
        case u'd': {
            value.type = REG_DWORD;
            DWORD v = ParseDword(text);
            for (int i = 0; i < 4; ++i)
                value.data.push_back(static_cast<BYTE>(v >> (8 * i)));
            break;
        }
        case u'b':
            value.type = REG_BINARY;
            value.data = ParseHex(text);
            break;
        default:
            Malformed();
        }
        Advance();
    }

    Lexer m_lexer;
    Token m_token;
};

} // namespace

HRESULT ParseScript(std::u16string_view text, const Replacer& replace, std::vector<ScriptRoot>* roots)
{
    try {
        Parser parser(text, replace);
        *roots = parser.Script();
        return S_OK;
    } catch (const ScriptError& e) {
        return e.hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

} // namespace plat::registrar
