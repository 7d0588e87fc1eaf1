// Key handles and the registry operations on them, in UTF-16 and whole
// buffers; winreg.cpp puts the Windows calling conventions (caller buffers,
// sizes, A and W forms) on top.
//
// A handle names a key of one hive by its database id, so a key deleted and
// created again under an open handle is a different key (ERROR_KEY_DELETED).
// HKEY_CLASSES_ROOT and handles opened below it name a path in the classes
// view instead: HKCU\Software\Classes laid over HKLM\Software\Classes. Reads
// take the user's key or value first; enumerations list the union, the
// user's names first where both have one. Values are written to the user's
// key when it exists there, else to the machine's; a new key goes to the
// hive that holds the deepest existing part of its path (the machine's when
// both do).
// Deletes remove the key or value from both.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/winreg.h"

#include <optional>
#include <string>
#include <string_view>

namespace plat::registry {

LONG OpenKey(HKEY key, std::u16string_view subKey, REGSAM access, HKEY* result);
LONG CreateKey(HKEY key, std::u16string_view subKey, REGSAM access, HKEY* result, DWORD* disposition);
LONG CloseKey(HKEY key);
LONG FlushKey(HKEY key);

LONG QueryValue(HKEY key, std::u16string_view name, ValueRecord* value);
LONG SetValue(HKEY key, std::u16string_view name, DWORD type, std::vector<BYTE> data);
LONG DeleteValue(HKEY key, std::u16string_view name);

LONG DeleteKey(HKEY key, std::u16string_view subKey);
// No subkey: empties the key.
LONG DeleteTree(HKEY key, std::optional<std::u16string_view> subKey);

LONG EnumKey(HKEY key, DWORD index, std::u16string* name);
LONG EnumValue(HKEY key, DWORD index, ValueRecord* value);

struct KeyInfo {
    DWORD subKeys = 0;
    DWORD maxSubKeyLen = 0;
    DWORD values = 0;
    DWORD maxValueNameLen = 0;
    DWORD maxValueLen = 0;
};
LONG QueryKeyInfo(HKEY key, KeyInfo* info);

} // namespace plat::registry
