#include "twainfw/CTWAINRegistry.h"

#include "twainfw/TWAINException.h"

#include <cstring>
#include <vector>

namespace Trellis {

namespace {

// The registry's own ids do not matter; this one marks a value that came
// through the bool operations.
constexpr TW_UINT32 kNoCapability = 0xBAADF00Du;

void Check(LSTATUS status)
{
    if (status != ERROR_SUCCESS)
        throw CTWAINStorageException();
}

} // namespace

CTWAINRegistry::~CTWAINRegistry() { Close(); }

void CTWAINRegistry::Open(const std::string& path)
{
    Close();
    HKEY hKey = nullptr;
    Check(RegCreateKeyExA(m_hRoot, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &hKey,
                          nullptr));
    m_hKey = hKey;
}

void CTWAINRegistry::Close()
{
    if (!m_hKey)
        return;
    RegFlushKey(m_hKey);
    RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

HKEY CTWAINRegistry::OpenKey() const
{
    if (!m_hKey)
        throw CTWAINStorageException();
    return m_hKey;
}

void CTWAINRegistry::WriteInt(const std::string& name, TW_INT32 value, TW_UINT32)
{
    Check(RegSetValueExA(OpenKey(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)));
}

TW_INT32 CTWAINRegistry::ReadInt(const std::string& name, TW_UINT32)
{
    TW_INT32 value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof(value);
    Check(RegQueryValueExA(OpenKey(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    if (type != REG_DWORD)
        throw CTWAINStorageException();
    return value;
}

void CTWAINRegistry::WriteBool(const std::string& name, bool value, TW_UINT32)
{
    WriteInt(name, value ? 1 : 0, kNoCapability);
}

bool CTWAINRegistry::ReadBool(const std::string& name, TW_UINT32) { return ReadInt(name, kNoCapability) != 0; }

void CTWAINRegistry::WriteFloat(const std::string& name, float value, TW_UINT32)
{
    Check(RegSetValueExA(OpenKey(), name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(&value), sizeof(value)));
}

float CTWAINRegistry::ReadFloat(const std::string& name, TW_UINT32)
{
    float value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof(value);
    Check(RegQueryValueExA(OpenKey(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    if (type != REG_BINARY || size != sizeof(value))
        throw CTWAINStorageException();
    return value;
}

void CTWAINRegistry::WriteString(const std::string& name, const std::string& value, TW_UINT32)
{
    Check(RegSetValueExA(OpenKey(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                         static_cast<DWORD>(value.size())));
}

std::string CTWAINRegistry::ReadString(const std::string& name, TW_UINT32)
{
    HKEY hKey = OpenKey();
    DWORD type = REG_NONE;
    DWORD size = 0;
    Check(RegQueryValueExA(hKey, name.c_str(), nullptr, &type, nullptr, &size));
    if (type != REG_SZ)
        throw CTWAINStorageException();
    std::vector<char> data(size + 1, '\0');
    Check(RegQueryValueExA(hKey, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size));
    if (type != REG_SZ || size >= data.size())
        throw CTWAINStorageException();
    return std::string(data.data(), strnlen(data.data(), size));
}

} // namespace Trellis
