// The Windows calling conventions over the registry operations: caller
// buffers and sizes, null arguments, and the A forms' UTF-8 conversion.
#include "platform/registry/winreg.h"

#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/registry/RegistryKeys.h"

#include <cstring>
#include <new>

using namespace plat::registry;

namespace {

std::u16string Wide(LPCWSTR s) { return s ? std::u16string(s) : std::u16string(); }
std::u16string FromNarrow(LPCSTR s) { return s ? Utf8ToUtf16(s) : std::u16string(); }

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// How many bytes of string data to store: up to and including the
// terminator (the list's closing empty string for REG_MULTI_SZ) when the
// stated size goes past it; the stated size otherwise. Reads never go past
// the terminator, so a stated size larger than the text is harmless.
template <typename Char>
DWORD StringDataSize(DWORD type, const BYTE* data, DWORD cbData)
{
    size_t count = cbData / sizeof(Char);
    auto at = [&](size_t i) {
        Char c;
        std::memcpy(&c, data + i * sizeof(Char), sizeof(Char)); // data need not be aligned
        return c;
    };
    for (size_t i = 0; i < count; ++i) {
        if (at(i) != 0)
            continue;
        if (type != REG_MULTI_SZ || i == 0 || at(i - 1) == 0) {
            // An empty list may be written as one or two zeros.
            if (type == REG_MULTI_SZ && i == 0 && count > 1 && at(1) == 0)
                ++i;
            return static_cast<DWORD>((i + 1) * sizeof(Char));
        }
    }
    return cbData;
}

LONG CheckData(DWORD type, const BYTE* data, DWORD cbData)
{
    if (!data && cbData > 0)
        return ERROR_NOACCESS;
    if ((type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN) && cbData != 4)
        return ERROR_INVALID_PARAMETER;
    if (type == REG_QWORD && cbData != 8)
        return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

// Stored UTF-16 string data as UTF-8 bytes (zeros stay zeros); an odd
// trailing byte has no character and is dropped.
std::vector<BYTE> NarrowStringData(const std::vector<BYTE>& data)
{
    std::u16string wide(data.size() / 2, u'\0');
    if (!wide.empty())
        std::memcpy(wide.data(), data.data(), wide.size() * 2);
    std::string narrow = Utf16ToUtf8(wide);
    return std::vector<BYTE>(narrow.begin(), narrow.end());
}

std::vector<BYTE> WideStringData(const BYTE* data, DWORD cbData)
{
    std::u16string wide = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), cbData));
    std::vector<BYTE> out(wide.size() * 2);
    if (!out.empty())
        std::memcpy(out.data(), wide.data(), out.size());
    return out;
}

// Hands value data to a caller's buffer: the size alone when lpData is
// null, ERROR_MORE_DATA with the size needed when the buffer is short.
LONG ReturnData(const std::vector<BYTE>& data, LPBYTE lpData, LPDWORD lpcbData)
{
    if (!lpcbData)
        return ERROR_SUCCESS;
    DWORD needed = static_cast<DWORD>(data.size());
    if (lpData) {
        if (*lpcbData < needed) {
            *lpcbData = needed;
            return ERROR_MORE_DATA;
        }
        if (needed)
            std::memcpy(lpData, data.data(), needed);
    }
    *lpcbData = needed;
    return ERROR_SUCCESS;
}

template <typename Char>
LONG ReturnName(const std::basic_string<Char>& name, Char* buffer, LPDWORD lpcch)
{
    if (*lpcch < name.size() + 1)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, name.data(), name.size() * sizeof(Char));
    buffer[name.size()] = 0;
    *lpcch = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

template <typename Char>
void ClearClassAndTime(Char* lpClass, LPDWORD lpcchClass, PFILETIME lpft)
{
    if (lpClass && lpcchClass && *lpcchClass > 0)
        lpClass[0] = 0;
    if (lpcchClass)
        *lpcchClass = 0;
    if (lpft)
        *lpft = FILETIME{0, 0};
}

LSTATUS Create(HKEY hKey, const std::u16string& sub, REGSAM sam, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    return CreateKey(hKey, sub, sam, phkResult, lpdwDisposition);
}

LSTATUS Query(HKEY hKey, const std::u16string& name, bool narrow, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    ValueRecord value;
    if (LONG err = QueryValue(hKey, name, &value); err != ERROR_SUCCESS)
        return err;
    if (lpType)
        *lpType = value.type;
    if (narrow && IsStringType(value.type))
        value.data = NarrowStringData(value.data);
    return ReturnData(value.data, lpData, lpcbData);
}

// No exception leaves the registry calls: running out of memory is an
// error code like any other.
template <typename Body>
LSTATUS Guarded(Body body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    } catch (...) {
        return ERROR_GEN_FAILURE;
    }
}

} // namespace

extern "C" {

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired,
                        const SECURITY_ATTRIBUTES*, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    return Guarded([&]() -> LSTATUS { return Create(hKey, Wide(lpSubKey), samDesired, phkResult, lpdwDisposition); });
}

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired, const SECURITY_ATTRIBUTES*,
                        PHKEY phkResult, LPDWORD lpdwDisposition)
{
    return Guarded(
        [&]() -> LSTATUS { return Create(hKey, FromNarrow(lpSubKey), samDesired, phkResult, lpdwDisposition); });
}

LSTATUS RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult)
{
    return Guarded([&]() -> LSTATUS { return Create(hKey, Wide(lpSubKey), KEY_ALL_ACCESS, phkResult, nullptr); });
}

LSTATUS RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult)
{
    return Guarded([&]() -> LSTATUS { return Create(hKey, FromNarrow(lpSubKey), KEY_ALL_ACCESS, phkResult, nullptr); });
}

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    return Guarded([&]() -> LSTATUS { return OpenKey(hKey, Wide(lpSubKey), samDesired, phkResult); });
}

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    return Guarded([&]() -> LSTATUS { return OpenKey(hKey, FromNarrow(lpSubKey), samDesired, phkResult); });
}

LSTATUS RegOpenKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult)
{
    return Guarded([&]() -> LSTATUS { return OpenKey(hKey, Wide(lpSubKey), KEY_ALL_ACCESS, phkResult); });
}

LSTATUS RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult)
{
    return Guarded([&]() -> LSTATUS { return OpenKey(hKey, FromNarrow(lpSubKey), KEY_ALL_ACCESS, phkResult); });
}

LSTATUS RegCloseKey(HKEY hKey)
{
    return Guarded([&] { return CloseKey(hKey); });
}

LSTATUS RegFlushKey(HKEY hKey)
{
    return Guarded([&] { return FlushKey(hKey); });
}

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    return Guarded([&]() -> LSTATUS { return Query(hKey, Wide(lpValueName), false, lpType, lpData, lpcbData); });
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    return Guarded([&]() -> LSTATUS { return Query(hKey, FromNarrow(lpValueName), true, lpType, lpData, lpcbData); });
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
    return Guarded([&]() -> LSTATUS {
        if (LONG err = CheckData(dwType, lpData, cbData); err != ERROR_SUCCESS)
            return err;
        if (IsStringType(dwType) && lpData)
            cbData = StringDataSize<char16_t>(dwType, lpData, cbData);
        std::vector<BYTE> data(lpData, lpData + (lpData ? cbData : 0));
        return SetValue(hKey, Wide(lpValueName), dwType, std::move(data));
    });
}

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
    return Guarded([&]() -> LSTATUS {
        if (LONG err = CheckData(dwType, lpData, cbData); err != ERROR_SUCCESS)
            return err;
        std::vector<BYTE> data;
        if (IsStringType(dwType) && lpData)
            data = WideStringData(lpData, StringDataSize<char>(dwType, lpData, cbData));
        else if (lpData)
            data.assign(lpData, lpData + cbData);
        return SetValue(hKey, FromNarrow(lpValueName), dwType, std::move(data));
    });
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName)
{
    return Guarded([&] { return DeleteValue(hKey, Wide(lpValueName)); });
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    return Guarded([&] { return DeleteValue(hKey, FromNarrow(lpValueName)); });
}

LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey)
{
    return Guarded([&]() -> LSTATUS {
        if (!lpSubKey)
            return ERROR_INVALID_PARAMETER;
        return DeleteKey(hKey, lpSubKey);
    });
}

LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    return Guarded([&]() -> LSTATUS {
        if (!lpSubKey)
            return ERROR_INVALID_PARAMETER;
        return DeleteKey(hKey, FromNarrow(lpSubKey));
    });
}

LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey)
{
    return Guarded([&]() -> LSTATUS {
        if (!lpSubKey)
            return DeleteTree(hKey, std::nullopt);
        std::u16string sub = lpSubKey;
        return DeleteTree(hKey, std::u16string_view(sub));
    });
}

LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey)
{
    return Guarded([&]() -> LSTATUS {
        if (!lpSubKey)
            return DeleteTree(hKey, std::nullopt);
        std::u16string sub = FromNarrow(lpSubKey);
        return DeleteTree(hKey, std::u16string_view(sub));
    });
}

LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR lpClass,
                      LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    return Guarded([&]() -> LSTATUS {
        if (!lpName || !lpcchName)
            return ERROR_INVALID_PARAMETER;
        std::u16string name;
        if (LONG err = EnumKey(hKey, dwIndex, &name); err != ERROR_SUCCESS)
            return err;
        if (LONG err = ReturnName(name, lpName, lpcchName); err != ERROR_SUCCESS)
            return err;
        ClearClassAndTime(lpClass, lpcchClass, lpftLastWriteTime);
        return ERROR_SUCCESS;
    });
}

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD, LPSTR lpClass,
                      LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    return Guarded([&]() -> LSTATUS {
        if (!lpName || !lpcchName)
            return ERROR_INVALID_PARAMETER;
        std::u16string name;
        if (LONG err = EnumKey(hKey, dwIndex, &name); err != ERROR_SUCCESS)
            return err;
        if (LONG err = ReturnName(Utf16ToUtf8(name), lpName, lpcchName); err != ERROR_SUCCESS)
            return err;
        ClearClassAndTime(lpClass, lpcchClass, lpftLastWriteTime);
        return ERROR_SUCCESS;
    });
}

LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData)
{
    return Guarded([&]() -> LSTATUS {
        if (!lpValueName || !lpcchValueName || (lpData && !lpcbData))
            return ERROR_INVALID_PARAMETER;
        ValueRecord value;
        if (LONG err = EnumValue(hKey, dwIndex, &value); err != ERROR_SUCCESS)
            return err;
        if (LONG err = ReturnName(value.name, lpValueName, lpcchValueName); err != ERROR_SUCCESS)
            return err;
        if (lpType)
            *lpType = value.type;
        return ReturnData(value.data, lpData, lpcbData);
    });
}

LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD, LPDWORD lpType,
                      LPBYTE lpData, LPDWORD lpcbData)
{
    return Guarded([&]() -> LSTATUS {
        if (!lpValueName || !lpcchValueName || (lpData && !lpcbData))
            return ERROR_INVALID_PARAMETER;
        ValueRecord value;
        if (LONG err = EnumValue(hKey, dwIndex, &value); err != ERROR_SUCCESS)
            return err;
        if (LONG err = ReturnName(Utf16ToUtf8(value.name), lpValueName, lpcchValueName); err != ERROR_SUCCESS)
            return err;
        if (lpType)
            *lpType = value.type;
        if (IsStringType(value.type))
            value.data = NarrowStringData(value.data);
        return ReturnData(value.data, lpData, lpcbData);
    });
}

LSTATUS RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                         LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                         LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                         PFILETIME lpftLastWriteTime)
{
    return Guarded([&]() -> LSTATUS {
        KeyInfo info;
        if (LONG err = QueryKeyInfo(hKey, &info); err != ERROR_SUCCESS)
            return err;
        ClearClassAndTime(lpClass, lpcchClass, lpftLastWriteTime);
        if (lpcSubKeys)
            *lpcSubKeys = info.subKeys;
        if (lpcbMaxSubKeyLen)
            *lpcbMaxSubKeyLen = info.maxSubKeyLen;
        if (lpcbMaxClassLen)
            *lpcbMaxClassLen = 0;
        if (lpcValues)
            *lpcValues = info.values;
        if (lpcbMaxValueNameLen)
            *lpcbMaxValueNameLen = info.maxValueNameLen;
        if (lpcbMaxValueLen)
            *lpcbMaxValueLen = info.maxValueLen;
        if (lpcbSecurityDescriptor)
            *lpcbSecurityDescriptor = 0;
        return ERROR_SUCCESS;
    });
}

} // extern "C"
