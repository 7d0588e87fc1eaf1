#include "platform/base/format.h"

#include "platform/base/strings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Case {
    const char* what;
    std::u16string got;
    std::u16string expected;
};

// Every case formats with a wide format string, as the drivers' log lines do.
TEST(Format, WideConversionsTable)
{
    const WCHAR* nullWide = nullptr;
    const char* nullNarrow = nullptr;
    const Case cases[] = {
        {"%s is wide", plat::Format(u"[%s]", u"scan"), u"[scan]"},
        {"%S is narrow", plat::Format(u"[%S]", "scan"), u"[scan]"},
        {"%hs is narrow", plat::Format(u"[%hs]", "scan"), u"[scan]"},
        {"%ls and %ws are wide", plat::Format(u"[%ls|%ws]", u"a", u"b"), u"[a|b]"},
        {"narrow UTF-8 becomes UTF-16", plat::Format(u"%S", "caf\xC3\xA9"), u"caf\u00E9"},
        {"null string", plat::Format(u"%s %S", nullWide, nullNarrow), u"(null) (null)"},
        {"string precision", plat::Format(u"[%.2s]", u"abcdef"), u"[ab]"},
        {"string width", plat::Format(u"[%5s|%-5s]", u"ab", u"cd"), u"[   ab|cd   ]"},
        {"%c wide, %C narrow", plat::Format(u"%c%C%lc%hc", u'\u00E9', 'x', u'y', 'z'), u"\u00E9xyz"},
        {"%d and %i", plat::Format(u"%d %i", -42, 17), u"-42 17"},
        {"%u of -1", plat::Format(u"%u", -1), u"4294967295"},
        {"hex and octal", plat::Format(u"%x %X %o", 0xBEEFu, 0xBEEFu, 8u), u"beef BEEF 10"},
        {"log line form", plat::Format(u"0x%08X", 0x1A2Bu), u"0x00001A2B"},
        {"precision and zero", plat::Format(u"%08.8X|%0X", 0xABu, 0u), u"000000AB|0"},
        {"%0X8 is %0X and a literal 8", plat::Format(u"pClient = 0x%0X8", 0x1A2Bu), u"pClient = 0x1A2B8"},
        {"alternate forms", plat::Format(u"%#x %#X %#o %#x", 255u, 255u, 8u, 0u), u"0xff 0XFF 010 0"},
        {"sign flags", plat::Format(u"%+d % d %+d", 5, 5, -5), u"+5  5 -5"},
        {"zero padding after sign", plat::Format(u"%06d|%-6d|%6d", -42, -42, -42), u"-00042|-42   |   -42"},
        {"zero flag yields to precision", plat::Format(u"%06.3d", 7), u"   007"},
        {"precision 0 of 0", plat::Format(u"[%.0d]", 0), u"[]"},
        {"star width and precision", plat::Format(u"[%*d|%-*d|%.*d]", 4, 1, 3, 2, 3, 3), u"[   1|2  |003]"},
        {"negative star width is left", plat::Format(u"[%*d]", -3, 9), u"[9  ]"},
        {"%ld reads 32 bits", plat::Format(u"%ld %lu %lx", -1, -1, 0xFFFFFFFFu), u"-1 4294967295 ffffffff"},
        {"%lld and %I64d", plat::Format(u"%lld %I64d", LLONG_MIN, 1234567890123ll),
         u"-9223372036854775808 1234567890123"},
        {"%I64x and %I32d", plat::Format(u"%I64X %I32d", 0x123456789ABull, -3), u"123456789AB -3"},
        {"%I and %z are pointer size", plat::Format(u"%Id %Iu %zu", std::intptr_t(-5), std::uintptr_t(6), size_t(7)),
         u"-5 6 7"},
        {"%h and %hh narrow the value", plat::Format(u"%hd %hu %hhu", 70000, 70000, 300), u"4464 4464 44"},
        {"%p", plat::Format(u"%p", reinterpret_cast<void*>(0xABCDEF)), u"0000000000ABCDEF"},
        {"fixed", plat::Format(u"%f|%2.2f|%3.3f", 1.5, 3.14159, 2.0), u"1.500000|3.14|2.000"},
        {"float width", plat::Format(u"[%8.2f|%-8.1f|%08.2f]", -1.25, 2.5, 3.5), u"[   -1.25|2.5     |00003.50]"},
        {"exponent and general", plat::Format(u"%e %E %g %G", 12345.678, 0.00012, 0.0001, 1e20),
         u"1.234568e+04 1.200000E-04 0.0001 1E+20"},
        {"percent", plat::Format(u"100%% done"), u"100% done"},
        {"unknown conversion stays", plat::Format(u"%y|%n|%5k"), u"%y|%n|%5k"},
        {"format ending in a conversion", plat::Format(u"abc%"), u"abc"},
        {"arguments in order", plat::Format(u"%s=%d (%S) %X", u"k", 3, "n", 10u), u"k=3 (n) A"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf16ToUtf8(c.got), Utf16ToUtf8(c.expected)) << c.what;
}

TEST(Format, NarrowFormatSwapsTheStringTypes)
{
    const WCHAR* nullWide = nullptr;
    const std::pair<std::string, std::string> cases[] = {
        {plat::Format("[%s|%S|%hs|%ls]", "n", u"w", "h", u"l"), "[n|w|h|l]"},
        {plat::Format("%S", u"caf\u00E9"), "caf\xC3\xA9"},
        {plat::Format("%c%C", 'a', u'\u00E9'), "a\xC3\xA9"},
        {plat::Format("%ls", nullWide), "(null)"},
        {plat::Format("%5.1s|%-3d|%08X", "xyz", 7, 0xBEEFu), "    x|7  |0000BEEF"},
    };
    for (const auto& [got, expected] : cases)
        EXPECT_EQ(got, expected);
}

// Formats `text` (through %s) into a buffer of `count` characters that sits
// inside a larger one filled with a marker, and checks that nothing beyond
// the buffer was touched.
template <typename Char>
void CheckBuffer(size_t count, const Char* format, const Char* text, int expectedResult,
                 std::basic_string<Char> expectedText)
{
    constexpr Char kMarker = Char('#');
    std::vector<Char> storage(count + 8, kMarker);
    int result = plat::FormatToBuffer(storage.data(), count, format, text);
    EXPECT_EQ(result, expectedResult);
    if (count > 0) {
        EXPECT_EQ(std::basic_string<Char>(storage.data()), expectedText);
    }
    for (size_t i = expectedText.size() + (count > 0 ? 1 : 0); i < storage.size(); ++i)
        ASSERT_EQ(storage[i], kMarker) << "written past the text at " << i;
}

TEST(Format, CutsAtTheBufferEndAndAlwaysTerminates)
{
    struct BufferCase {
        size_t count;
        int result;
        const char* text;
    };
    // "%s!" with "abcd" is five characters.
    const BufferCase cases[] = {
        {10, 5, "abcd!"}, // room to spare
        {6, 5, "abcd!"},  // exactly fits with its terminator
        {5, -1, "abcd"},  // one short: cut, still terminated
        {3, -1, "ab"},    // cut inside the %s argument
        {1, -1, ""},      // room for the terminator only
        {0, -1, ""},      // no room at all: nothing written
    };
    for (const BufferCase& c : cases) {
        SCOPED_TRACE(c.count);
        CheckBuffer<WCHAR>(c.count, u"%s!", u"abcd", c.result, Utf8ToUtf16(c.text));
        CheckBuffer<char>(c.count, "%s!", "abcd", c.result, c.text);
    }
    // Padding is cut the same way.
    CheckBuffer<WCHAR>(4, u"%8s", u"x", -1, u"   ");
    // An empty text fits even a zero-length buffer.
    CheckBuffer<WCHAR>(0, u"%s", u"", 0, u"");
}

TEST(Format, WsprintfStopsAtItsLimit)
{
    std::u16string longText(2000, u'w');
    std::vector<WCHAR> wide(WSPRINTF_LIMIT + 8, u'#');
    EXPECT_EQ(wsprintfW(wide.data(), u"%s", longText.c_str()), 1023);
    EXPECT_EQ(wide[1023], u'\0');
    EXPECT_EQ(wide[1024], u'#');

    char narrow[64];
    EXPECT_EQ(wsprintfA(narrow, "%04x%04x", 0x409u, 0x4B0u), 8);
    EXPECT_STREQ(narrow, "040904b0");
    WCHAR key[64];
    EXPECT_EQ(wsprintfW(key, u"\\StringFileInfo\\%04x%04x\\ProductName", 0x409u, 0x4B0u), 36);
    EXPECT_EQ(std::u16string(key), u"\\StringFileInfo\\040904b0\\ProductName");
}

TEST(Format, PrecisionBoundsTheRead)
{
    // An unterminated array is safe with a precision: nothing past it is read.
    const WCHAR letters[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(plat::Format(u"%.3s", letters), u"abc");
    const char bytes[2] = {'x', 'y'};
    EXPECT_EQ(plat::Format(u"%.2S", bytes), u"xy");
}

} // namespace
