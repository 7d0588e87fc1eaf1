// Every key below a registry key with its values, for tests that check what
// a registration wrote and what it took back. String values are kept as
// text, other values as "<binary>"; "" names a key's default value.
#pragma once

#include "platform/base/winerror.h"
#include "platform/registry/winreg.h"

#include <map>
#include <string>

namespace plat::testing {

using RegistryRows = std::map<std::u16string, std::map<std::u16string, std::u16string>>;

inline void CollectRegistryRows(HKEY key, const std::u16string& path, RegistryRows& rows)
{
    auto& values = rows[path];
    for (DWORD i = 0;; ++i) {
        WCHAR name[256] = {};
        DWORD nameLength = 256;
        BYTE data[2048] = {};
        DWORD size = sizeof data - sizeof(WCHAR);
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        values[name] = type == REG_SZ ? std::u16string(reinterpret_cast<const WCHAR*>(data)) : u"<binary>";
    }
    for (DWORD i = 0;; ++i) {
        WCHAR name[256] = {};
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS)
            continue;
        CollectRegistryRows(child, path.empty() ? std::u16string(name) : path + u"\\" + name, rows);
        RegCloseKey(child);
    }
}

// The rows under HKEY_CLASSES_ROOT (the root itself left out).
inline RegistryRows ClassesRootRows()
{
    RegistryRows rows;
    CollectRegistryRows(HKEY_CLASSES_ROOT, u"", rows);
    rows.erase(u"");
    return rows;
}

} // namespace plat::testing
