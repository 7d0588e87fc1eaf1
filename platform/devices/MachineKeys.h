// The registry calls of the device database and the driver packages, on
// keys of HKEY_LOCAL_MACHINE: a key closed when it goes, strings and
// subkey names.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/registry/winreg.h"

#include <string>
#include <string_view>
#include <vector>

namespace plat::devices {

// Closes a key when it goes out of scope.
class Key {
public:
    Key() = default;
    ~Key()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    HKEY* Put() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

bool OpenKey(std::u16string_view path, REGSAM access, Key& key);
// Opens the key for reading and writing, creating it when missing.
bool CreateKey(std::u16string_view path, Key& key);
bool SetString(HKEY key, const char16_t* name, std::u16string_view value, DWORD type = REG_SZ);
// A REG_MULTI_SZ of one string.
bool SetMultiString(HKEY key, const char16_t* name, std::u16string_view first);
// A REG_SZ value; empty when missing or of another type.
std::u16string ReadString(HKEY key, const char16_t* name);
std::vector<std::u16string> SubKeys(HKEY key);

} // namespace plat::devices
