#include "coinst/DeviceKey.h"

namespace coinst {

HKEY OpenDeviceClassKey(const std::u16string& driverKey, REGSAM access)
{
    const std::u16string path = u"SYSTEM\\CurrentControlSet\\Control\\Class\\" + driverKey;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

std::optional<std::u16string> ReadDeviceString(HKEY key, const WCHAR* name)
{
    WCHAR buffer[kMaxPathChars] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return std::nullopt;
    if (size == 0)
        return std::u16string();
    if (size % sizeof(WCHAR) != 0 || size > sizeof buffer)
        return std::nullopt;
    const size_t chars = size / sizeof(WCHAR);
    if (buffer[chars - 1] != u'\0')
        return std::nullopt;
    return std::u16string(buffer);
}

bool WriteDeviceString(HKEY key, const WCHAR* name, const std::u16string& value)
{
    const DWORD size = static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), size) == ERROR_SUCCESS;
}

} // namespace coinst
