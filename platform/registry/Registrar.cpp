#include "platform/registry/Registrar.h"

#include "platform/base/strings.h"
#include "platform/registry/KeyName.h"
#include "platform/registry/RegistrarScript.h"
#include "platform/registry/winreg.h"

#include <new>

namespace plat {

namespace {

using registrar::KeyFlag;
using registrar::Root;
using registrar::ScriptKey;
using registrar::ScriptRoot;
using registrar::ScriptValue;

// Closes a key when the scope ends.
class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

HRESULT FromWin32(LONG err) { return err == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(err)); }

LONG SetScriptValue(HKEY key, const ScriptValue& value)
{
    return RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.empty() ? nullptr : value.data.data(),
                          static_cast<DWORD>(value.data.size()));
}

LONG DeleteTreeIfPresent(HKEY parent, const std::u16string& name)
{
    LONG err = RegDeleteTreeW(parent, name.c_str());
    return err == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : err;
}

LONG RegisterBody(HKEY key, const ScriptKey& body)
{
    for (const ScriptValue& value : body.values)
        if (LONG err = SetScriptValue(key, value); err != ERROR_SUCCESS)
            return err;
    for (const ScriptKey& sub : body.subKeys) {
        if (sub.flag == KeyFlag::Delete) {
            if (LONG err = DeleteTreeIfPresent(key, sub.name); err != ERROR_SUCCESS)
                return err;
            continue;
        }
        if (sub.flag == KeyFlag::ForceRemove)
            if (LONG err = DeleteTreeIfPresent(key, sub.name); err != ERROR_SUCCESS)
                return err;
        OpenKey opened;
        LONG err = RegCreateKeyExW(key, sub.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                   opened.Out(), nullptr);
        if (err != ERROR_SUCCESS)
            return err;
        if (sub.defaultValue)
            if (err = SetScriptValue(opened.Get(), *sub.defaultValue); err != ERROR_SUCCESS)
                return err;
        if (err = RegisterBody(opened.Get(), sub); err != ERROR_SUCCESS)
            return err;
    }
    return ERROR_SUCCESS;
}

bool IsEmpty(HKEY key, LONG* err)
{
    DWORD subKeys = 0, values = 0;
    *err = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                            nullptr, nullptr);
    return *err == ERROR_SUCCESS && subKeys == 0 && values == 0;
}

LONG IgnoreMissing(LONG err) { return err == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : err; }

// Removes what the script made below `key`, children first.
LONG UnregisterBody(HKEY key, const ScriptKey& body)
{
    for (auto sub = body.subKeys.rbegin(); sub != body.subKeys.rend(); ++sub) {
        if (sub->flag == KeyFlag::Delete)
            continue;
        if (sub->flag == KeyFlag::ForceRemove) {
            if (LONG err = DeleteTreeIfPresent(key, sub->name); err != ERROR_SUCCESS)
                return err;
            continue;
        }
        bool empty = false;
        {
            OpenKey opened;
            LONG err = RegOpenKeyExW(key, sub->name.c_str(), 0, KEY_ALL_ACCESS, opened.Out());
            if (err == ERROR_FILE_NOT_FOUND)
                continue;
            if (err != ERROR_SUCCESS)
                return err;
            if (err = UnregisterBody(opened.Get(), *sub); err != ERROR_SUCCESS)
                return err;
            if (sub->flag == KeyFlag::NoRemove)
                continue;
            if (sub->defaultValue)
                if (err = IgnoreMissing(RegDeleteValueW(opened.Get(), u"")); err != ERROR_SUCCESS)
                    return err;
            empty = IsEmpty(opened.Get(), &err);
            if (err != ERROR_SUCCESS)
                return err;
        }
        // Something the script did not make keeps the key.
        if (empty)
            if (LONG err = IgnoreMissing(RegDeleteKeyW(key, sub->name.c_str())); err != ERROR_SUCCESS)
                return err;
    }
    for (const ScriptValue& value : body.values)
        if (LONG err = IgnoreMissing(RegDeleteValueW(key, value.name.c_str())); err != ERROR_SUCCESS)
            return err;
    return ERROR_SUCCESS;
}

} // namespace

void Registrar::AddReplacement(std::u16string_view name, std::u16string_view value)
{
    m_replacements[registry::FoldName(name)] = std::u16string(value);
}

void Registrar::ClearReplacements() { m_replacements.clear(); }

HRESULT Registrar::Register(std::u16string_view script) { return Run(script, true); }
HRESULT Registrar::Unregister(std::u16string_view script) { return Run(script, false); }
HRESULT Registrar::Register(std::string_view script) { return Run(Utf8ToUtf16(script), true); }
HRESULT Registrar::Unregister(std::string_view script) { return Run(Utf8ToUtf16(script), false); }

HRESULT Registrar::Run(std::u16string_view script, bool doRegister)
{
    try {
        return RunScript(script, doRegister);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT Registrar::RunScript(std::u16string_view script, bool doRegister)
{
    std::vector<ScriptRoot> roots;
    auto replace = [this](std::u16string_view name) -> std::optional<std::u16string> {
        auto it = m_replacements.find(registry::FoldName(name));
        if (it == m_replacements.end())
            return std::nullopt;
        return it->second;
    };
    if (HRESULT hr = registrar::ParseScript(script, replace, &roots); FAILED(hr))
        return hr;

    for (const ScriptRoot& root : roots) {
        HKEY base = root.root == Root::ClassesRoot    ? HKEY_CLASSES_ROOT
                    : root.root == Root::CurrentUser  ? HKEY_CURRENT_USER
                    : root.root == Root::LocalMachine ? HKEY_LOCAL_MACHINE
                                                      : HKEY_USERS;
        OpenKey perUserClasses;
        if (root.root == Root::ClassesRoot && m_perUser) {
            LONG err = RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Classes", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_ALL_ACCESS, nullptr, perUserClasses.Out(), nullptr);
            if (err != ERROR_SUCCESS)
                return FromWin32(err);
            base = perUserClasses.Get();
        }
        if (doRegister) {
            if (LONG err = RegisterBody(base, root.body); err != ERROR_SUCCESS) {
                // Take back what this run wrote, as far as it goes.
                Run(script, false);
                return FromWin32(err);
            }
        } else if (LONG err = UnregisterBody(base, root.body); err != ERROR_SUCCESS) {
            return FromWin32(err);
        }
    }
    return S_OK;
}

} // namespace plat
