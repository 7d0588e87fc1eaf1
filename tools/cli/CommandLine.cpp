#include "tools/cli/CommandLine.h"

#include <getopt.h>

#include <iostream>

namespace cli {

namespace {

// getopt_long's codes: the index of an option in the table plus this, so
// that no key of a tool can be taken for a letter or getopt's own '?'.
constexpr int kFirstCode = 1000;

// getopt_long's view of the options, --help and --version last; the strings
// live as long as `options`.
std::vector<option> LongOptions(const std::vector<Option>& options)
{
    std::vector<option> table;
    for (const Option& o : options)
        table.push_back({o.name, o.takesValue ? required_argument : no_argument, nullptr,
                         kFirstCode + static_cast<int>(table.size())});
    table.push_back({"help", no_argument, nullptr, kFirstCode + static_cast<int>(table.size())});
    table.push_back({"version", no_argument, nullptr, kFirstCode + static_cast<int>(table.size())});
    table.push_back({nullptr, 0, nullptr, 0});
    return table;
}

// What getopt_long refused, in words: `code` is its answer, `word` the
// argument it refused.
std::string Refused(const std::vector<option>& table, int code, const std::string& word)
{
    const int index = optopt - kFirstCode;
    if (index >= 0 && index < static_cast<int>(table.size()) - 1) {
        const std::string name = std::string("--") + table[static_cast<size_t>(index)].name;
        return code == ':' ? name + " needs a value" : name + " takes no value";
    }
    if (optopt > 0 && optopt < kFirstCode)
        return std::string("unknown option -") + static_cast<char>(optopt);
    return "unknown option " + word.substr(0, word.find('='));
}

} // namespace

int WrongUsage(const Program& program, const std::string& problem, std::ostream& err)
{
    err << program.name << ": " << problem << "\n" << program.usage;
    return program.usageExit;
}

int WrongUsage(const Program& program, const std::string& problem) { return WrongUsage(program, problem, std::cerr); }

Parsed Parse(const Program& program, const std::vector<std::string>& args, const std::vector<Option>& options,
             const TakeOption& take, std::ostream& out, std::ostream& err, Operands order)
{
    // getopt_long permutes its argv: it gets copies.
    std::vector<std::string> words{program.name};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());
    const std::vector<option> table = LongOptions(options);
    // '+': stop at the first operand; ':': a missing value is told from an unknown option.
    const char* shortOptions = order == Operands::AfterOptions ? "+:" : ":";

    Parsed parsed;
    optind = 0; // a fresh scan, also on a second parse in one process
    opterr = 0;
    const int helpCode = kFirstCode + static_cast<int>(options.size());
    for (;;) {
        const int code = getopt_long(argc, argv.data(), shortOptions, table.data(), nullptr);
        if (code == -1)
            break;
        if (code == '?' || code == ':') {
            // getopt_long has stepped past the word it refused.
            const std::string word = optind > 0 && optind <= argc ? argv[static_cast<size_t>(optind - 1)] : "";
            parsed.exitCode = WrongUsage(program, Refused(table, code, word), err);
            return parsed;
        }
        if (code == helpCode) {
            out << program.usage;
            parsed.exitCode = 0;
            return parsed;
        }
        if (code == helpCode + 1) {
            out << program.name << " (qbk24) " << QBK_VERSION << "\n";
            parsed.exitCode = 0;
            return parsed;
        }
        const Option& taken = options[static_cast<size_t>(code - kFirstCode)];
        const std::string problem = take(taken.key, optarg ? optarg : "");
        if (!problem.empty()) {
            parsed.exitCode = WrongUsage(program, "--" + std::string(taken.name) + ": " + problem, err);
            return parsed;
        }
    }
    // getopt_long has moved the operands behind the options.
    parsed.operands.assign(argv.begin() + optind, argv.begin() + argc);
    if (order == Operands::None && !parsed.operands.empty())
        parsed.exitCode = WrongUsage(program, "unexpected " + parsed.operands.front(), err);
    return parsed;
}

Parsed Parse(const Program& program, const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             Operands order)
{
    return Parse(
        program, args, {}, [](int, const std::string&) { return std::string(); }, out, err, order);
}

Parsed Parse(const Program& program, int argc, char** argv, const std::vector<Option>& options, const TakeOption& take,
             Operands order)
{
    return Parse(program, std::vector<std::string>(argv + 1, argv + argc), options, take, std::cout, std::cerr, order);
}

} // namespace cli
