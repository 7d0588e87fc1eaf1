#include "halservice/service/CommandLineSwitch.h"

#include "platform/base/wintypes.h"

#include <initializer_list>
#include <utility>

namespace {

WCHAR FoldAscii(WCHAR c) { return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - u'a' + u'A') : c; }

bool IsWordEnd(std::u16string_view line, size_t at)
{
    return at == line.size() || line[at] == u' ' || line[at] == u'\t';
}

// The word at `at` is `name` and ends there.
bool WordIs(std::u16string_view line, size_t at, std::u16string_view name)
{
    if (line.size() - at < name.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (FoldAscii(line[at + i]) != FoldAscii(name[i]))
            return false;
    }
    return IsWordEnd(line, at + name.size());
}

HALSwitch FindAmong(std::u16string_view line, std::initializer_list<std::pair<std::u16string_view, HALSwitch>> names)
{
    for (size_t at = line.find_first_of(u"-/"); at != std::u16string_view::npos;
         at = line.find_first_of(u"-/", at + 1)) {
        for (const auto& [name, which] : names) {
            if (WordIs(line, at + 1, name))
                return which;
        }
    }
    return HALSwitch::None;
}

} // namespace

HALSwitch FindCommandLineSwitch(std::u16string_view commandLine)
{
    HALSwitch found = FindAmong(commandLine, {{u"UnregServer", HALSwitch::UnregServer},
                                              {u"RegServer", HALSwitch::RegServer},
                                              {u"UnregServerPerUser", HALSwitch::UnregServerPerUser},
                                              {u"RegServerPerUser", HALSwitch::RegServerPerUser}});
    if (found != HALSwitch::None)
        return found;
    return FindAmong(commandLine, {{u"Service", HALSwitch::Service}});
}
