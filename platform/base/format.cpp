#include "platform/base/format.h"

#include "platform/base/strings.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <type_traits>

namespace {

// Widths and precisions beyond this are clamped: no log line needs more,
// and a corrupt format must not ask for gigabytes of padding.
constexpr int kMaxField = 100000;

enum class Size { Default, Char, Short, Long32, Long64, Pointer, LongDouble, Wide };

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool zero = false;
    bool alt = false;
    int width = 0;
    int precision = -1;
    Size size = Size::Default;
    char conversion = 0;
};

// Collects output either into a caller's buffer of fixed capacity (cutting at
// its end) or into a growing string.
template <typename Char>
class Output {
public:
    Output(Char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}
    explicit Output(std::basic_string<Char>* text) : text_(text) {}

    void Put(Char c)
    {
        if (text_) {
            text_->push_back(c);
        } else if (length_ < capacity_) {
            buffer_[length_++] = c;
        } else {
            cut_ = true;
        }
    }
    void Repeat(Char c, int n)
    {
        for (int i = 0; i < n && !cut_; ++i)
            Put(c);
    }
    template <typename Source>
    void Append(std::basic_string_view<Source> text)
    {
        for (Source c : text) {
            if (cut_)
                return;
            Put(static_cast<Char>(c));
        }
    }

    bool Cut() const { return cut_; }
    size_t Length() const { return length_; }

private:
    Char* buffer_ = nullptr;
    size_t capacity_ = 0;
    std::basic_string<Char>* text_ = nullptr;
    size_t length_ = 0;
    bool cut_ = false;
};

template <typename Char>
constexpr bool kWide = sizeof(Char) == sizeof(WCHAR);

template <typename Char>
class Formatter {
public:
    Formatter(Output<Char>& out, va_list& args) : out_(out), args_(args) {}

    void Run(const Char* format)
    {
        const Char* p = format;
        while (*p && !out_.Cut()) {
            if (*p != '%') {
                out_.Put(*p++);
                continue;
            }
            const Char* start = p++;
            Spec spec;
            if (!ParseSpec(p, spec))
                return; // the format ended inside a conversion
            if (!Convert(spec))
                out_.Append(std::basic_string_view<Char>(start, static_cast<size_t>(p - start)));
        }
    }

private:
    static bool IsDigit(Char c) { return c >= '0' && c <= '9'; }

    int ReadNumber(const Char*& p)
    {
        int value = 0;
        while (IsDigit(*p)) {
            value = std::min(kMaxField, value * 10 + static_cast<int>(*p - '0'));
            ++p;
        }
        return value;
    }

    // Reads flags, width, precision, size and conversion; `p` ends after the
    // conversion character. False when the format ends first.
    bool ParseSpec(const Char*& p, Spec& spec)
    {
        for (;; ++p) {
            if (*p == '-')
                spec.left = true;
            else if (*p == '+')
                spec.plus = true;
            else if (*p == ' ')
                spec.space = true;
            else if (*p == '#')
                spec.alt = true;
            else if (*p == '0')
                spec.zero = true;
            else
                break;
        }
        if (*p == '*') {
            ++p;
            int width = va_arg(args_, int);
            if (width < 0) {
                spec.left = true;
                width = width == INT32_MIN ? kMaxField : -width;
            }
            spec.width = std::min(width, kMaxField);
        } else {
            spec.width = ReadNumber(p);
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                ++p;
                int precision = va_arg(args_, int);
                spec.precision = precision < 0 ? -1 : std::min(precision, kMaxField);
            } else {
                spec.precision = ReadNumber(p);
            }
        }
        spec.size = ReadSize(p);
        if (!*p)
            return false;
        spec.conversion = static_cast<char>(*p < 0x80 ? *p : '?');
        ++p;
        return true;
    }

    static Size ReadSize(const Char*& p)
    {
        switch (*p) {
        case 'h':
            ++p;
            if (*p == 'h') {
                ++p;
                return Size::Char;
            }
            return Size::Short;
        case 'l':
            ++p;
            if (*p == 'l') {
                ++p;
                return Size::Long64;
            }
            return Size::Long32;
        case 'I':
            ++p;
            if (p[0] == '6' && p[1] == '4') {
                p += 2;
                return Size::Long64;
            }
            if (p[0] == '3' && p[1] == '2') {
                p += 2;
                return Size::Long32;
            }
            return Size::Pointer;
        case 'j':
            ++p;
            return Size::Long64;
        case 'z':
        case 't':
            ++p;
            return Size::Pointer;
        case 'L':
            ++p;
            return Size::LongDouble;
        case 'w':
            ++p;
            return Size::Wide;
        default:
            return Size::Default;
        }
    }

    // False for a conversion this formatter does not know.
    bool Convert(const Spec& spec)
    {
        switch (spec.conversion) {
        case '%':
            out_.Put('%');
            return true;
        case 'd':
        case 'i':
            return SignedInteger(spec);
        case 'u':
            return UnsignedInteger(spec, 10, false);
        case 'o':
            return UnsignedInteger(spec, 8, false);
        case 'x':
            return UnsignedInteger(spec, 16, false);
        case 'X':
            return UnsignedInteger(spec, 16, true);
        case 'p':
            return Pointer(spec);
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            return Floating(spec);
        case 's':
        case 'S':
            return String(spec);
        case 'c':
        case 'C':
            return Character(spec);
        default:
            return false;
        }
    }

    // Whether a %s/%c (lower case) or %S/%C argument is wide text.
    static bool WideArgument(const Spec& spec)
    {
        if (spec.size == Size::Short)
            return false;
        if (spec.size == Size::Long32 || spec.size == Size::Wide)
            return true;
        const bool ownType = spec.conversion == 's' || spec.conversion == 'c';
        return ownType == kWide<Char>;
    }

    bool SignedInteger(const Spec& spec)
    {
        std::int64_t value;
        switch (spec.size) {
        case Size::Char:
            value = static_cast<signed char>(va_arg(args_, int));
            break;
        case Size::Short:
            value = static_cast<short>(va_arg(args_, int));
            break;
        case Size::Long64:
            value = va_arg(args_, long long);
            break;
        case Size::Pointer:
            value = va_arg(args_, std::intptr_t);
            break;
        case Size::Default:
        case Size::Long32:
            value = va_arg(args_, int);
            break;
        default:
            return false;
        }
        const bool negative = value < 0;
        // Negating in unsigned arithmetic keeps INT64_MIN defined.
        const std::uint64_t magnitude =
            negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        char sign = negative ? '-' : spec.plus ? '+' : spec.space ? ' ' : 0;
        Integer(spec, magnitude, 10, false, sign);
        return true;
    }

    bool UnsignedInteger(const Spec& spec, unsigned base, bool upper)
    {
        std::uint64_t value;
        switch (spec.size) {
        case Size::Char:
            value = static_cast<unsigned char>(va_arg(args_, unsigned));
            break;
        case Size::Short:
            value = static_cast<unsigned short>(va_arg(args_, unsigned));
            break;
        case Size::Long64:
            value = va_arg(args_, unsigned long long);
            break;
        case Size::Pointer:
            value = va_arg(args_, std::uintptr_t);
            break;
        case Size::Default:
        case Size::Long32:
            value = va_arg(args_, unsigned);
            break;
        default:
            return false;
        }
        Integer(spec, value, base, upper, 0);
        return true;
    }

    bool Pointer(const Spec& spec)
    {
        Spec digits = spec;
        digits.alt = false;
        digits.precision = std::max(spec.precision, static_cast<int>(2 * sizeof(void*)));
        Integer(digits, reinterpret_cast<std::uintptr_t>(va_arg(args_, void*)), 16, true, 0);
        return true;
    }

    void Integer(const Spec& spec, std::uint64_t value, unsigned base, bool upper, char sign)
    {
        const char* digitSet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
        char digits[24];
        int count = 0;
        // An explicit precision of 0 prints no digits for 0.
        for (std::uint64_t v = value; v != 0 || (count == 0 && spec.precision != 0); v /= base) {
            digits[count++] = digitSet[v % base];
            if (v == 0)
                break;
        }

        char prefix[2];
        int prefixLength = 0;
        if (sign)
            prefix[prefixLength++] = sign;
        if (spec.alt && base == 16 && value != 0) {
            prefix[prefixLength++] = '0';
            prefix[prefixLength++] = upper ? 'X' : 'x';
        }

        int zeros = std::max(0, spec.precision - count);
        if (spec.alt && base == 8 && zeros == 0 && (count == 0 || digits[count - 1] != '0'))
            zeros = 1;
        // The 0 flag pads with zeros up to the width unless a precision is given.
        if (spec.zero && !spec.left && spec.precision < 0)
            zeros = std::max(zeros, spec.width - prefixLength - count);
        const int padding = std::max(0, spec.width - prefixLength - zeros - count);

        if (!spec.left)
            out_.Repeat(' ', padding);
        out_.Append(std::string_view(prefix, static_cast<size_t>(prefixLength)));
        out_.Repeat('0', zeros);
        while (count > 0)
            out_.Put(static_cast<Char>(digits[--count]));
        if (spec.left)
            out_.Repeat(' ', padding);
    }

    bool Floating(const Spec& spec)
    {
        if (spec.size != Size::Default && spec.size != Size::Long32 && spec.size != Size::LongDouble)
            return false;
        // The C library formats the number; only the characters pass through us.
        std::string cformat = "%";
        if (spec.left)
            cformat += '-';
        if (spec.plus)
            cformat += '+';
        if (spec.space)
            cformat += ' ';
        if (spec.alt)
            cformat += '#';
        if (spec.zero)
            cformat += '0';
        cformat += "*.*";
        if (spec.size == Size::LongDouble)
            cformat += 'L';
        cformat += spec.conversion;

        std::string text;
        int needed;
        if (spec.size == Size::LongDouble) {
            long double value = va_arg(args_, long double);
            needed = std::snprintf(nullptr, 0, cformat.c_str(), spec.width, spec.precision, value);
            if (needed > 0) {
                text.resize(static_cast<size_t>(needed) + 1);
                std::snprintf(text.data(), text.size(), cformat.c_str(), spec.width, spec.precision, value);
            }
        } else {
            double value = va_arg(args_, double);
            needed = std::snprintf(nullptr, 0, cformat.c_str(), spec.width, spec.precision, value);
            if (needed > 0) {
                text.resize(static_cast<size_t>(needed) + 1);
                std::snprintf(text.data(), text.size(), cformat.c_str(), spec.width, spec.precision, value);
            }
        }
        if (needed > 0)
            out_.Append(std::string_view(text.data(), static_cast<size_t>(needed)));
        return true;
    }

    template <typename Source>
    static std::basic_string_view<Source> Bounded(const Source* text, int precision)
    {
        // Never looks beyond the precision: the text need not be terminated then.
        size_t n = 0;
        while ((precision < 0 || n < static_cast<size_t>(precision)) && text[n] != 0)
            ++n;
        return std::basic_string_view<Source>(text, n);
    }

    template <typename Source>
    void Text(const Spec& spec, std::basic_string_view<Source> text)
    {
        if constexpr (sizeof(Source) == sizeof(Char)) {
            Padded(spec, text);
        } else if constexpr (kWide<Char>) {
            std::u16string converted = Utf8ToUtf16(std::string_view(text.data(), text.size()));
            Padded(spec, std::u16string_view(converted));
        } else {
            std::string converted = Utf16ToUtf8(std::u16string_view(text.data(), text.size()));
            Padded(spec, std::string_view(converted));
        }
    }

    template <typename Same>
    void Padded(const Spec& spec, std::basic_string_view<Same> text)
    {
        const int padding = std::max(0, spec.width - static_cast<int>(std::min<size_t>(text.size(), kMaxField)));
        if (!spec.left)
            out_.Repeat(' ', padding);
        out_.Append(text);
        if (spec.left)
            out_.Repeat(' ', padding);
    }

    bool String(const Spec& spec)
    {
        if (WideArgument(spec)) {
            const WCHAR* text = va_arg(args_, const WCHAR*);
            Text(spec, Bounded(text ? text : u"(null)", spec.precision));
        } else {
            const char* text = va_arg(args_, const char*);
            Text(spec, Bounded(text ? text : "(null)", spec.precision));
        }
        return true;
    }

    bool Character(const Spec& spec)
    {
        if (WideArgument(spec)) {
            const WCHAR c = static_cast<WCHAR>(va_arg(args_, int));
            Text(spec, std::u16string_view(&c, 1));
        } else {
            const char c = static_cast<char>(va_arg(args_, int));
            Text(spec, std::string_view(&c, 1));
        }
        return true;
    }

    Output<Char>& out_;
    va_list& args_;
};

struct Written {
    size_t length;
    bool cut;
};

template <typename Char>
Written FormatInto(Char* buffer, size_t count, const Char* format, va_list args)
{
    // Without room even for the terminator nothing is stored; the formatting
    // still runs to tell whether the text was empty.
    Output<Char> out(buffer, count == 0 ? 0 : count - 1);
    va_list copy;
    va_copy(copy, args);
    Formatter<Char>(out, copy).Run(format);
    va_end(copy);
    if (count > 0)
        buffer[out.Length()] = 0;
    return {out.Length(), out.Cut()};
}

template <typename Char>
int FormatBuffer(Char* buffer, size_t count, const Char* format, va_list args)
{
    if (!buffer && count > 0)
        return -1;
    if (!format) {
        if (count > 0)
            buffer[0] = 0;
        return -1;
    }
    Written written = FormatInto(buffer, count, format, args);
    return written.cut ? -1 : static_cast<int>(written.length);
}

template <typename Char>
std::basic_string<Char> FormatString(const Char* format, va_list args)
{
    std::basic_string<Char> text;
    if (!format)
        return text;
    Output<Char> out(&text);
    va_list copy;
    va_copy(copy, args);
    Formatter<Char>(out, copy).Run(format);
    va_end(copy);
    return text;
}

template <typename Char>
int FormatLimited(Char* buffer, const Char* format, va_list args)
{
    if (!buffer)
        return 0;
    if (!format) {
        buffer[0] = 0;
        return 0;
    }
    return static_cast<int>(FormatInto(buffer, WSPRINTF_LIMIT, format, args).length);
}

} // namespace

namespace plat {

int VFormatToBuffer(WCHAR* buffer, size_t count, const WCHAR* format, va_list args)
{
    return FormatBuffer(buffer, count, format, args);
}

int VFormatToBuffer(char* buffer, size_t count, const char* format, va_list args)
{
    return FormatBuffer(buffer, count, format, args);
}

int FormatToBuffer(WCHAR* buffer, size_t count, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = FormatBuffer(buffer, count, format, args);
    va_end(args);
    return result;
}

int FormatToBuffer(char* buffer, size_t count, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = FormatBuffer(buffer, count, format, args);
    va_end(args);
    return result;
}

std::u16string VFormat(const WCHAR* format, va_list args) { return FormatString(format, args); }

std::string VFormat(const char* format, va_list args) { return FormatString(format, args); }

std::u16string Format(const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    std::u16string result = FormatString(format, args);
    va_end(args);
    return result;
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string result = FormatString(format, args);
    va_end(args);
    return result;
}

} // namespace plat

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args) { return FormatLimited(buffer, format, args); }

int wvsprintfA(LPSTR buffer, LPCSTR format, va_list args) { return FormatLimited(buffer, format, args); }

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int result = FormatLimited(buffer, format, args);
    va_end(args);
    return result;
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int result = FormatLimited(buffer, format, args);
    va_end(args);
    return result;
}
