#include "platform/devices/MachineKeys.h"

#include "platform/base/winerror.h"

namespace plat::devices {

bool OpenKey(std::u16string_view path, REGSAM access, Key& key)
{
    std::u16string text(path);
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, text.c_str(), 0, access, key.Put()) == ERROR_SUCCESS;
}

bool CreateKey(std::u16string_view path, Key& key)
{
    std::u16string text(path);
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, text.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                           nullptr, key.Put(), nullptr) == ERROR_SUCCESS;
}

bool SetString(HKEY key, const char16_t* name, std::u16string_view value, DWORD type)
{
    std::u16string text(value);
    DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(char16_t));
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

bool SetMultiString(HKEY key, const char16_t* name, std::u16string_view first)
{
    std::u16string text(first);
    text.push_back(u'\0');
    text.push_back(u'\0');
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(char16_t));
    return RegSetValueExW(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(text.data()), bytes) ==
           ERROR_SUCCESS;
}

std::u16string ReadString(HKEY key, const char16_t* name)
{
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ)
        return {};
    std::u16string text(bytes / sizeof(char16_t) + 1, u'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS)
        return {};
    text.resize(bytes / sizeof(char16_t));
    while (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

std::vector<std::u16string> SubKeys(HKEY key)
{
    std::vector<std::u16string> names;
    for (DWORD index = 0;; ++index) {
        char16_t name[REG_MAX_KEY_NAME + 1];
        DWORD length = REG_MAX_KEY_NAME + 1;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

} // namespace plat::devices
