#include "platform/process/CommandLine.h"
#include "platform/base/strings.h"

#include <fstream>
#include <iterator>
#include <mutex>

namespace plat {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

} // namespace

std::vector<std::u16string> SplitCommandLine(std::u16string_view line)
{
    std::vector<std::u16string> arguments;
    size_t i = 0;
    const size_t n = line.size();

    while (i < n && IsBlank(line[i]))
        ++i;
    if (i == n)
        return arguments;

    // The program: quotation marks only group, nothing is escaped.
    std::u16string program;
    bool quoted = false;
    for (; i < n; ++i) {
        const char16_t c = line[i];
        if (c == u'"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && IsBlank(c))
            break;
        program += c;
    }
    arguments.push_back(std::move(program));

    for (;;) {
        while (i < n && IsBlank(line[i]))
            ++i;
        if (i == n)
            break;
        std::u16string argument;
        quoted = false;
        while (i < n) {
            const char16_t c = line[i];
            if (c == u'\\') {
                size_t backslashes = 0;
                while (i < n && line[i] == u'\\') {
                    ++backslashes;
                    ++i;
                }
                if (i < n && line[i] == u'"') {
                    argument.append(backslashes / 2, u'\\');
                    if (backslashes % 2) {
                        argument += u'"';
                        ++i;
                    }
                    // An even count leaves the mark for the next turn.
                } else {
                    argument.append(backslashes, u'\\');
                }
                continue;
            }
            if (c == u'"') {
                if (quoted && i + 1 < n && line[i + 1] == u'"') {
                    argument += u'"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && IsBlank(c))
                break;
            argument += c;
            ++i;
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::u16string QuoteCommandLineArgument(std::u16string_view argument)
{
    if (!argument.empty() && argument.find_first_of(u" \t\n\v\"") == std::u16string_view::npos)
        return std::u16string(argument);
    std::u16string quoted = u"\"";
    size_t backslashes = 0;
    for (char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"') {
            quoted.append(backslashes * 2 + 1, u'\\');
        } else {
            quoted.append(backslashes, u'\\');
        }
        backslashes = 0;
        quoted += c;
    }
    // Backslashes before the closing mark are doubled so they stay literal.
    quoted.append(backslashes * 2, u'\\');
    quoted += u'"';
    return quoted;
}

std::u16string JoinCommandLine(const std::vector<std::u16string>& arguments)
{
    std::u16string line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0)
            line += u' ';
        if (i == 0 && arguments[0].find(u'"') == std::u16string::npos) {
            // The program allows no escapes: quote it only when it has blanks.
            const bool blanks = arguments[0].empty() || arguments[0].find_first_of(u" \t") != std::u16string::npos;
            line += blanks ? u"\"" + arguments[0] + u"\"" : arguments[0];
        } else {
            line += QuoteCommandLineArgument(arguments[i]);
        }
    }
    return line;
}

namespace {

struct ProcessCommandLine {
    std::u16string wide;
    std::string narrow;
};

const ProcessCommandLine& OwnCommandLine()
{
    static const ProcessCommandLine* line = [] {
        std::ifstream file("/proc/self/cmdline", std::ios::binary);
        const std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::vector<std::u16string> arguments;
        size_t start = 0;
        while (start < raw.size()) {
            size_t end = raw.find('\0', start);
            if (end == std::string::npos)
                end = raw.size();
            arguments.push_back(Utf8ToUtf16(std::string_view(raw).substr(start, end - start)));
            start = end + 1;
        }
        auto* result = new ProcessCommandLine;
        result->wide = JoinCommandLine(arguments);
        result->narrow = Utf16ToUtf8(result->wide);
        return result;
    }();
    return *line;
}

} // namespace

} // namespace plat

LPWSTR GetCommandLineW() { return const_cast<LPWSTR>(plat::OwnCommandLine().wide.c_str()); }

LPSTR GetCommandLineA() { return const_cast<LPSTR>(plat::OwnCommandLine().narrow.c_str()); }
