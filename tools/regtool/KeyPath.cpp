#include "tools/regtool/KeyPath.h"

#include <cctype>

namespace regtool {

namespace {
std::string Upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
} // namespace

std::optional<KeyPath> ParseKeyPath(const std::string& text)
{
    struct Root {
        const char* shortName;
        const char* longName;
        HKEY key;
    };
    const Root roots[] = {
        {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKU", "HKEY_USERS", HKEY_USERS},
    };
    size_t sep = text.find('\\');
    std::string first = Upper(text.substr(0, sep));
    for (const Root& r : roots) {
        if (first != r.shortName && first != r.longName)
            continue;
        KeyPath path{r.key, r.longName, sep == std::string::npos ? "" : text.substr(sep + 1)};
        while (!path.subKey.empty() && path.subKey.back() == '\\')
            path.subKey.pop_back();
        while (!path.subKey.empty() && path.subKey.front() == '\\')
            path.subKey.erase(0, 1);
        return path;
    }
    return std::nullopt;
}

} // namespace regtool
