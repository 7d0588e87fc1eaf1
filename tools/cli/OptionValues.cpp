#include "tools/cli/OptionValues.h"

#include <cerrno>
#include <cstdlib>

namespace cli {

namespace {

bool ReadNumber(const std::string& text, long* number)
{
    char* end = nullptr;
    errno = 0;
    *number = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0;
}

} // namespace

std::string NumberFrom(const std::string& text, long low, long high, long* number)
{
    if (ReadNumber(text, number) && *number >= low && *number <= high)
        return {};
    return text + " is not a number from " + std::to_string(low) + " to " + std::to_string(high);
}

std::string NumberOneOf(const std::string& text, const std::vector<long>& values, long* number)
{
    std::vector<std::string> names;
    for (const long value : values) {
        if (ReadNumber(text, number) && *number == value)
            return {};
        names.push_back(std::to_string(value));
    }
    return text + " is not one of " + ListInWords(names);
}

std::string NameOneOf(const std::string& text, const std::vector<std::string>& names, size_t* index)
{
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == text) {
            *index = i;
            return {};
        }
    }
    return text + " is not one of " + ListInWords(names);
}

std::string ListInWords(const std::vector<std::string>& items, size_t shown)
{
    std::string list;
    for (size_t i = 0; i < items.size(); ++i) {
        const bool elided = items.size() > shown && i >= shown - 1 && i + 1 < items.size();
        if (elided && i > shown - 1)
            continue;
        list += (list.empty() ? "" : ", ") + (elided ? std::string("...") : items[i]);
    }
    return list;
}

} // namespace cli
