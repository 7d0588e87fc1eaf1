// The command line of the suite's tools, read with getopt_long: long
// options anywhere or before the first operand, "--opt value" and
// "--opt=value", "--" ending the options. Every tool gets --help (the usage
// on the standard output, exit 0) and --version; a wrong option or value is
// named on the error output with the usage after it.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// The status of a wrong command line.
constexpr int kExitUsage = 2;

struct Program {
    const char* name;           // "twainscan"
    const char* usage;          // the whole usage text, ending in a newline
    int usageExit = kExitUsage; // the status of a wrong command line
};

struct Option {
    const char* name; // without the dashes
    bool takesValue;
    int key; // handed to the taker
};

// Takes one option: an empty string, or what is wrong with its value
// ("30 is not one of 100, 150, ..."), which is shown after the option.
using TakeOption = std::function<std::string(int key, const std::string& value)>;

enum class Operands {
    Anywhere,     // options and operands mix, as in most tools
    AfterOptions, // options end at the first operand: a command's own words follow
    None          // options only: an operand is a mistake
};

struct Parsed {
    std::optional<int> exitCode; // set: end the program with it (after --help, --version, a mistake)
    std::vector<std::string> operands;
};

// `args` without the program name. Writes only --help and --version to
// `out` and only mistakes to `err`.
Parsed Parse(const Program& program, const std::vector<std::string>& args, const std::vector<Option>& options,
             const TakeOption& take, std::ostream& out, std::ostream& err, Operands order = Operands::Anywhere);

// A command line of no options but --help and --version.
Parsed Parse(const Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             Operands order);

// The same over main's arguments, writing to the standard streams.
Parsed Parse(const Program& program, int argc, char** argv, const std::vector<Option>& options, const TakeOption& take,
             Operands order = Operands::Anywhere);

// A mistake found after parsing (a missing or extra operand): said as
// Parse says its own; the status to end with.
int WrongUsage(const Program& program, const std::string& problem, std::ostream& err);
int WrongUsage(const Program& program, const std::string& problem);

} // namespace cli
