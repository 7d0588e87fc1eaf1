#include "tools/cli/CommandLine.h"
#include "tools/cli/OptionValues.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

enum Key { kList, kDpi, kOut };

const cli::Program kProgram{"tool", "usage: tool [--list] [--dpi N] [--out DIR] FILE...\n"};
const std::vector<cli::Option> kOptions = {{"list", false, kList}, {"dpi", true, kDpi}, {"out", true, kOut}};

struct Outcome {
    cli::Parsed parsed;
    std::string taken; // "key=value;" for each option taken
    std::string out;
    std::string err;
};

Outcome Parse(const std::vector<std::string>& args, cli::Operands order = cli::Operands::Anywhere)
{
    Outcome run;
    std::ostringstream out, err;
    run.parsed = cli::Parse(
        kProgram, args, kOptions,
        [&](int key, const std::string& value) -> std::string {
            long dpi = 0;
            if (key == kDpi) {
                const std::string problem = cli::NumberOneOf(value, {100, 150, 200, 300, 400, 500, 600}, &dpi);
                if (!problem.empty())
                    return problem;
            }
            run.taken += std::to_string(key) + "=" + value + ";";
            return {};
        },
        out, err, order);
    run.out = out.str();
    run.err = err.str();
    return run;
}

TEST(CommandLineTest, OptionsAndOperandsAreReadAsGetoptLongReadsThem)
{
    const struct {
        std::vector<std::string> args;
        cli::Operands order;
        std::string taken;
        std::vector<std::string> operands;
    } cases[] = {
        {{"--dpi", "150", "a"}, cli::Operands::Anywhere, "1=150;", {"a"}},
        {{"--dpi=150", "a"}, cli::Operands::Anywhere, "1=150;", {"a"}},
        {{"a", "--list", "b", "--out=x y"}, cli::Operands::Anywhere, "0=;2=x y;", {"a", "b"}},
        {{"--li", "a"}, cli::Operands::Anywhere, "0=;", {"a"}},
        {{"--", "--list"}, cli::Operands::Anywhere, "", {"--list"}},
        {{"--list", "set", "--out", "x"}, cli::Operands::AfterOptions, "0=;", {"set", "--out", "x"}},
        {{}, cli::Operands::Anywhere, "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Outcome run = Parse(c.args, c.order);
        EXPECT_FALSE(run.parsed.exitCode.has_value()) << run.err;
        EXPECT_EQ(run.taken, c.taken);
        EXPECT_EQ(run.parsed.operands, c.operands);
        EXPECT_EQ(run.out + run.err, "");
    }
}

TEST(CommandLineTest, HelpAndVersionGoToTheOutputAndEndWellAnythingWrongIsNamed)
{
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string out; // the start of it
        std::string err; // the first line
    } cases[] = {
        {{"--help"}, 0, "usage: tool", ""},
        {{"a", "--help", "--bogus"}, 0, "usage: tool", ""},
        {{"--version"}, 0, "tool (qbk24) ", ""},
        {{"--bogus"}, 2, "", "tool: unknown option --bogus"},
        {{"--bogus=1"}, 2, "", "tool: unknown option --bogus"},
        {{"-x"}, 2, "", "tool: unknown option -x"},
        {{"--dpi"}, 2, "", "tool: --dpi needs a value"},
        {{"--list=yes"}, 2, "", "tool: --list takes no value"},
        {{"--dpi", "30"}, 2, "", "tool: --dpi: 30 is not one of 100, 150, 200, 300, 400, 500, 600"},
        {{"--dpi=abc"}, 2, "", "tool: --dpi: abc is not one of 100, 150, 200, 300, 400, 500, 600"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Outcome run = Parse(c.args);
        ASSERT_TRUE(run.parsed.exitCode.has_value());
        EXPECT_EQ(*run.parsed.exitCode, c.exitCode);
        EXPECT_EQ(run.out.rfind(c.out, 0), 0u) << run.out;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.err);
        if (!c.err.empty()) {
            EXPECT_NE(run.err.find(kProgram.usage), std::string::npos) << "the usage follows the mistake";
        }
    }
}

TEST(CommandLineTest, ValuesOutOfTheirSetAreNamedWithTheSet)
{
    long number = 0;
    size_t index = 0;
    EXPECT_EQ(cli::NumberFrom("7", 1, 9, &number), "");
    EXPECT_EQ(number, 7);
    EXPECT_EQ(cli::NumberFrom("10", 1, 9, &number), "10 is not a number from 1 to 9");
    EXPECT_EQ(cli::NumberFrom("7x", 1, 9, &number), "7x is not a number from 1 to 9");
    EXPECT_EQ(cli::NameOneOf("gray", {"bw", "gray", "color"}, &index), "");
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(cli::NameOneOf("grey", {"bw", "gray", "color"}, &index), "grey is not one of bw, gray, color");
    EXPECT_EQ(cli::ListInWords({"1", "2", "3", "4", "5"}, 3), "1, 2, ..., 5");
    EXPECT_EQ(cli::ListInWords({"1", "2", "3"}, 3), "1, 2, 3");
}

} // namespace
