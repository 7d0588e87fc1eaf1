// The device class key, where every per-device value of the co-installer
// lives: HKLM "SYSTEM\CurrentControlSet\Control\Class\" + the driver key.
#pragma once

#include "platform/windows.h"

#include <optional>
#include <string>

namespace coinst {

// Longest path or value text, terminator included.
constexpr size_t kMaxPathChars = 260;

// Opens the key; null on failure.
HKEY OpenDeviceClassKey(const std::u16string& driverKey, REGSAM access);

// A string value: REG_SZ or REG_EXPAND_SZ (not expanded), at most 260
// characters with the terminator. Missing, of another type, too long, of an
// odd byte count or without its terminator: nothing. Length 0: empty.
std::optional<std::u16string> ReadDeviceString(HKEY key, const WCHAR* name);

// Writes REG_SZ with the terminator counted.
bool WriteDeviceString(HKEY key, const WCHAR* name, const std::u16string& value);

// Closes the key when the scope ends.
class ScopedKey {
public:
    explicit ScopedKey(HKEY key) : m_key(key) {}
    ~ScopedKey() { Close(); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    HKEY get() const { return m_key; }
    explicit operator bool() const { return m_key != nullptr; }
    void Close()
    {
        if (m_key)
            RegCloseKey(m_key);
        m_key = nullptr;
    }

private:
    HKEY m_key;
};

} // namespace coinst
