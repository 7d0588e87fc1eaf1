#include "platform/windows.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::u16string>;

TEST(CommandLine, SplitsByTheWindowsRules)
{
    struct Case {
        std::u16string line;
        Args expected;
    };
    const Case cases[] = {
        {u"prog a b", {u"prog", u"a", u"b"}},
        {u"  prog\t a   b  ", {u"prog", u"a", u"b"}},
        {u"\"C:\\Program Files\\x.exe\" -Service", {u"C:\\Program Files\\x.exe", u"-Service"}},
        {u"p \"a b\" c", {u"p", u"a b", u"c"}},
        {u"p a\\b c\\\\d", {u"p", u"a\\b", u"c\\\\d"}}, // backslashes alone stay
        {u"p a\\\"b", {u"p", u"a\"b"}},                 // \" is a mark
        {u"p a\\\\\"b c\"", {u"p", u"a\\b c"}},         // \\" is \ and a quote
        {u"p a\\\\\\\"b", {u"p", u"a\\\"b"}},           // \\\" is \ and a mark
        {u"p \"\"", {u"p", u""}},                       // an empty argument
        {u"p \"a\"\"b\"", {u"p", u"a\"b"}},             // doubled mark inside quotes
        {u"p \"unterminated arg", {u"p", u"unterminated arg"}},
        {u"p a\"b c\"d", {u"p", u"ab cd"}},                 // quotes inside a word
        {u"C:\\dir\\prog\\ x", {u"C:\\dir\\prog\\", u"x"}}, // the program takes no escapes
        {u"\"pr\\\"og x", {u"pr\\og", u"x"}},               // marks in the program only group
        {u"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.line));
        EXPECT_EQ(plat::SplitCommandLine(c.line), c.expected);
    }
}

TEST(CommandLine, QuotingGivesTheArgumentsBack)
{
    const Args arguments[] = {
        {u"prog", u"plain", u"with blank", u"", u"tab\there"},
        {u"/path with blank/prog", u"quote\"inside", u"trailing\\", u"trailing blank\\", u"\\\\\"mixed\\\"\\"},
        {u"prog", u"ünïcödé", u"a\\b\\c"},
    };
    for (const Args& args : arguments) {
        const std::u16string line = plat::JoinCommandLine(args);
        SCOPED_TRACE(Utf16ToUtf8(line));
        EXPECT_EQ(plat::SplitCommandLine(line), args);
    }
    EXPECT_EQ(plat::QuoteCommandLineArgument(u"simple"), u"simple");
    EXPECT_EQ(plat::QuoteCommandLineArgument(u"a b\\"), u"\"a b\\\\\"");
}

TEST(CommandLine, OwnCommandLineSplitsIntoOwnArguments)
{
    const Args args = plat::SplitCommandLine(GetCommandLineW());
    ASSERT_FALSE(args.empty());
    EXPECT_NE(args[0].find(u"platform_process_test"), std::u16string::npos);
    EXPECT_EQ(Utf8ToUtf16(GetCommandLineA()), std::u16string(GetCommandLineW()));
}

} // namespace
