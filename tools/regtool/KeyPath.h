// Key paths as people type them: a root (HKLM, HKEY_LOCAL_MACHINE, HKCU,
// HKCR, HKU and their long forms, any case) and the path below it.
#pragma once

#include "platform/windows.h"

#include <optional>
#include <string>

namespace regtool {

struct KeyPath {
    HKEY root = nullptr;
    std::string rootName; // the long form, HKEY_LOCAL_MACHINE
    std::string subKey;   // below the root, no leading or trailing separator

    std::string Full() const { return subKey.empty() ? rootName : rootName + "\\" + subKey; }
};

std::optional<KeyPath> ParseKeyPath(const std::string& text);

} // namespace regtool
