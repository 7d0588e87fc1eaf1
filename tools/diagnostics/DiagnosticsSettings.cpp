#include "tools/diagnostics/DiagnosticsSettings.h"

#include "platform/base/winerror.h"
#include "platform/registry/winreg.h"

namespace diagnostics {
namespace {

constexpr const WCHAR* kApplicationsKey = u"Software\\DiagnosticsConfig\\Applications";
constexpr const WCHAR* kSettingsKey = u"Software\\DiagnosticsConfig\\Settings";

bool IsKeyName(const std::u16string& name) { return !name.empty() && name.find(u'\\') == std::u16string::npos; }

HRESULT FromStatus(LSTATUS status)
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

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

    LSTATUS Create(const std::u16string& path)
    {
        return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key,
                               nullptr);
    }
    LSTATUS Open(const std::u16string& path)
    {
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &m_key);
    }
    HKEY Get() const { return m_key; }

    // false when the value is missing or not a DWORD
    bool ReadDword(const WCHAR* name, DWORD* value) const
    {
        DWORD type = 0, size = sizeof(DWORD);
        LSTATUS status = RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
        return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(DWORD);
    }
    LSTATUS WriteDword(const WCHAR* name, DWORD value)
    {
        return RegSetValueExW(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }

private:
    HKEY m_key = nullptr;
};

std::u16string ComponentPath(const std::u16string& application, const std::u16string& logName)
{
    return std::u16string(kApplicationsKey) + u"\\" + application + u"\\" + logName;
}

// The key of a log name, made when missing.
HRESULT CreateComponentKey(const std::u16string& application, const std::u16string& logName, Key& key)
{
    if (!IsKeyName(application) || !IsKeyName(logName))
        return E_INVALIDARG;
    return FromStatus(key.Create(ComponentPath(application, logName)));
}

// The subkey names of a key; a missing key has none.
HRESULT ListSubkeys(const std::u16string& path, std::vector<std::u16string>* names)
{
    names->clear();
    Key key;
    LSTATUS status = key.Open(path);
    if (status == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (status != ERROR_SUCCESS)
        return FromStatus(status);
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD length = 256;
        status = RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return S_OK;
        if (status != ERROR_SUCCESS)
            return FromStatus(status);
        names->emplace_back(name, length);
    }
}

} // namespace

HRESULT RegisterComponent(const std::u16string& application, const std::u16string& logName)
{
    Key key;
    if (HRESULT hr = CreateComponentKey(application, logName, key); FAILED(hr))
        return hr;
    // A name registered again keeps the choice made for it.
    DWORD enabled = 0;
    if (key.ReadDword(u"Enabled", &enabled))
        return S_OK;
    return FromStatus(key.WriteDword(u"Enabled", 0));
}

HRESULT SetComponentEnabled(const std::u16string& application, const std::u16string& logName, bool enabled)
{
    Key key;
    if (HRESULT hr = CreateComponentKey(application, logName, key); FAILED(hr))
        return hr;
    return FromStatus(key.WriteDword(u"Enabled", enabled ? 1 : 0));
}

HRESULT IsComponentEnabled(const std::u16string& application, const std::u16string& logName, bool* enabled)
{
    if (!enabled)
        return E_POINTER;
    *enabled = false;
    if (!IsKeyName(application) || !IsKeyName(logName))
        return E_INVALIDARG;
    Key key;
    LSTATUS status = key.Open(ComponentPath(application, logName));
    if (status == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (status != ERROR_SUCCESS)
        return FromStatus(status);
    DWORD value = 0;
    *enabled = key.ReadDword(u"Enabled", &value) && value != 0;
    return S_OK;
}

HRESULT ListComponents(const std::u16string& application, std::vector<std::u16string>* names)
{
    if (!names)
        return E_POINTER;
    if (!IsKeyName(application))
        return E_INVALIDARG;
    return ListSubkeys(std::u16string(kApplicationsKey) + u"\\" + application, names);
}

HRESULT ListApplications(std::vector<std::u16string>* names)
{
    if (!names)
        return E_POINTER;
    return ListSubkeys(kApplicationsKey, names);
}

HRESULT GetLevelMask(const std::u16string& settingsName, DWORD* mask)
{
    if (!mask)
        return E_POINTER;
    *mask = 0;
    if (!IsKeyName(settingsName))
        return E_INVALIDARG;
    Key key;
    LSTATUS status = key.Open(std::u16string(kSettingsKey) + u"\\" + settingsName);
    if (status == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (status != ERROR_SUCCESS)
        return FromStatus(status);
    DWORD value = 0;
    if (key.ReadDword(u"LevelMask", &value))
        *mask = value;
    return S_OK;
}

HRESULT SetLevelMask(const std::u16string& settingsName, DWORD mask)
{
    if (!IsKeyName(settingsName))
        return E_INVALIDARG;
    Key key;
    LSTATUS status = key.Create(std::u16string(kSettingsKey) + u"\\" + settingsName);
    if (status != ERROR_SUCCESS)
        return FromStatus(status);
    return FromStatus(key.WriteDword(u"LevelMask", mask));
}

} // namespace diagnostics
