// The parsed form of a registration script (see Registrar.h for the syntax).
#pragma once

#include "platform/base/winerror.h"
#include "platform/registry/winreg.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat::registrar {

struct ScriptValue {
    std::u16string name; // empty for a key's default value
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
};

enum class KeyFlag { None, ForceRemove, NoRemove, Delete };

struct ScriptKey {
    std::u16string name;
    KeyFlag flag = KeyFlag::None;
    std::optional<ScriptValue> defaultValue;
    std::vector<ScriptValue> values;
    std::vector<ScriptKey> subKeys;
};

enum class Root { ClassesRoot, CurrentUser, LocalMachine, Users };

struct ScriptRoot {
    Root root;
    ScriptKey body; // the root's values and subkeys; its name and flag unused
};

// Looks up %NAME% (the name without the percent signs); nullopt when unknown.
using Replacer = std::function<std::optional<std::u16string>(std::u16string_view name)>;

// S_OK with the roots in script order; DISP_E_EXCEPTION for malformed text,
// E_INVALIDARG for an unknown replacement.
HRESULT ParseScript(std::u16string_view text, const Replacer& replace, std::vector<ScriptRoot>* roots);

} // namespace plat::registrar
