#include "tools/regtool/RegTool.h"

#include "platform/registry/Registrar.h"
#include "tools/cli/CommandLine.h"
#include "tools/regtool/KeyPath.h"
#include "tools/regtool/ValueText.h"

#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>

namespace regtool {

namespace {

// clang-format off
const char kUsage[] =
    "usage: regtool query KEY [VALUE]\n"
    "       regtool set [--separator SEP] KEY VALUE TYPE DATA\n"
    "       regtool delete KEY [VALUE]\n"
    "       regtool export KEY\n"
    "       regtool register|unregister [--user] SCRIPT [NAME=TEXT ...]\n"
    "KEY: HKLM\\path, HKCU\\path, HKCR\\path, HKU\\path (or HKEY_LOCAL_MACHINE\\path, ...).\n"
    "VALUE: a value name; \"\" or @ for the key's default value.\n"
    "TYPE: REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ (DATA split at SEP, default \\0),\n"
    "      REG_DWORD, REG_QWORD (decimal or 0x hex), REG_BINARY, REG_NONE (hex bytes).\n"
    "Options may stand anywhere; after -- every word is an operand (DATA beginning with -).\n"
    "The registry is the one of the system root (QBK_SYSROOT, else ~/.local/share/qbk24).\n"
    "       regtool --help | --version\n";
// clang-format on

const cli::Program kProgram{"regtool", kUsage, kExitUsage};

enum OptionKey { kSeparator, kUser };

const std::vector<cli::Option> kOptions = {{"separator", true, kSeparator}, {"user", false, kUser}};

struct Options {
    std::string separator = "\\0";
    bool user = false;
};

std::string Describe(LONG err)
{
    // clang-format off
    switch (err) {
    case ERROR_FILE_NOT_FOUND: return "no such key or value";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_INVALID_PARAMETER: return "invalid name or data";
    case ERROR_BADDB: return "the registry file is not a registry database";
    case ERROR_REGISTRY_CORRUPT: return "the registry database is corrupt";
    case ERROR_CANTREAD:
    case ERROR_CANTWRITE: return "the registry database is locked by another process";
    case ERROR_CANTOPEN: return "cannot open the registry database";
    case ERROR_REGISTRY_IO_FAILED: return "input/output error on the registry database";
    case ERROR_KEY_DELETED: return "the key was deleted";
    default: return "registry error";
    }
    // clang-format on
}

// Prints a failure and gives the exit code.
int Fail(std::ostream& err, const std::string& what, LONG code)
{
    err << "regtool: " << what << ": " << Describe(code) << " (error " << code << ")\n";
    return kExitFailed;
}

int Usage(std::ostream& err, const std::string& problem)
{
    err << "regtool: " << problem << "\n" << kUsage;
    return kExitUsage;
}

std::u16string ValueName(const std::string& arg) { return arg == "@" ? std::u16string() : Utf8ToUtf16(arg); }

// Closes a key at the end of a scope.
class Key {
public:
    ~Key()
    {
        if (m_h)
            RegCloseKey(m_h);
    }
    HKEY* Out() { return &m_h; }
    operator HKEY() const { return m_h; }

private:
    HKEY m_h = nullptr;
};

LONG Open(const KeyPath& path, REGSAM access, Key& key)
{
    return RegOpenKeyExW(path.root, Utf8ToUtf16(path.subKey).c_str(), 0, access, key.Out());
}

struct Value {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

LONG ReadValues(HKEY key, std::vector<Value>& values)
{
    DWORD count = 0, maxName = 0, maxData = 0;
    LONG err = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName, &maxData,
                                nullptr, nullptr);
    if (err != ERROR_SUCCESS)
        return err;
    for (DWORD i = 0;; ++i) {
        std::u16string name(maxName + 1, u'\0');
        std::vector<BYTE> data(maxData);
        DWORD cch = maxName + 1, size = maxData, type = 0;
        err = RegEnumValueW(key, i, name.data(), &cch, nullptr, &type, data.data(), &size);
        if (err == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (err == ERROR_MORE_DATA) { // changed under us: start again with the new sizes
            values.clear();
            return ReadValues(key, values);
        }
        if (err != ERROR_SUCCESS)
            return err;
        data.resize(size);
        values.push_back({Utf16ToUtf8(name.substr(0, cch)), type, std::move(data)});
    }
}

LONG ReadSubKeys(HKEY key, std::vector<std::string>& names)
{
    for (DWORD i = 0;; ++i) {
        WCHAR name[REG_MAX_KEY_NAME + 1];
        DWORD cch = REG_MAX_KEY_NAME + 1;
        LONG err = RegEnumKeyExW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (err == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (err != ERROR_SUCCESS)
            return err;
        names.push_back(Utf16ToUtf8(std::u16string(name, cch)));
    }
}

void PrintQueryLine(std::ostream& out, const Value& v)
{
    out << "    " << (v.name.empty() ? "(Default)" : v.name) << "    " << TypeName(v.type) << "    "
        << QueryText(v.type, v.data) << "\n";
}

int Query(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() < 2 || args.size() > 3)
        return Usage(err, "query takes KEY and an optional VALUE");
    auto path = ParseKeyPath(args[1]);
    if (!path)
        return Usage(err, "unknown root key in " + args[1]);
    Key key;
    if (LONG e = Open(*path, KEY_READ, key); e != ERROR_SUCCESS)
        return Fail(err, path->Full(), e);
    out << path->Full() << "\n";
    if (args.size() == 3) {
        Value v{args[2] == "@" ? "" : args[2], 0, {}};
        std::u16string name = ValueName(args[2]);
        DWORD size = 0;
        LONG e = RegQueryValueExW(key, name.c_str(), nullptr, &v.type, nullptr, &size);
        v.data.resize(size);
        if (e == ERROR_SUCCESS)
            e = RegQueryValueExW(key, name.c_str(), nullptr, &v.type, v.data.data(), &size);
        if (e != ERROR_SUCCESS)
            return Fail(err, path->Full() + " value " + (args[2].empty() ? "(Default)" : args[2]), e);
        v.data.resize(size);
        PrintQueryLine(out, v);
        return kExitOk;
    }
    std::vector<Value> values;
    std::vector<std::string> subKeys;
    if (LONG e = ReadValues(key, values); e != ERROR_SUCCESS)
        return Fail(err, path->Full(), e);
    if (LONG e = ReadSubKeys(key, subKeys); e != ERROR_SUCCESS)
        return Fail(err, path->Full(), e);
    for (const Value& v : values)
        PrintQueryLine(out, v);
    if (!subKeys.empty())
        out << "\n";
    for (const std::string& sub : subKeys)
        out << path->Full() << "\\" << sub << "\n";
    return kExitOk;
}

int Set(const std::vector<std::string>& args, const Options& options, std::ostream& err)
{
    const std::vector<std::string> plain(args.begin() + 1, args.end());
    const std::string& separator = options.separator;
    if (plain.size() != 4)
        return Usage(err, "set takes KEY VALUE TYPE DATA");
    auto path = ParseKeyPath(plain[0]);
    if (!path)
        return Usage(err, "unknown root key in " + plain[0]);
    auto type = ParseTypeName(plain[2]);
    if (!type)
        return Usage(err, "unknown type " + plain[2]);
    auto data = ParseValueData(*type, plain[3], separator);
    if (!data)
        return Usage(err, "data \"" + plain[3] + "\" does not fit " + TypeName(*type));
    Key key;
    LONG e = RegCreateKeyExW(path->root, Utf8ToUtf16(path->subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, key.Out(), nullptr);
    if (e != ERROR_SUCCESS)
        return Fail(err, path->Full(), e);
    e = RegSetValueExW(key, ValueName(plain[1]).c_str(), 0, *type, data->empty() ? nullptr : data->data(),
                       static_cast<DWORD>(data->size()));
    if (e != ERROR_SUCCESS)
        return Fail(err, path->Full() + " value " + plain[1], e);
    e = RegFlushKey(key);
    return e == ERROR_SUCCESS ? kExitOk : Fail(err, path->Full(), e);
}

int Delete(const std::vector<std::string>& args, std::ostream& err)
{
    if (args.size() < 2 || args.size() > 3)
        return Usage(err, "delete takes KEY and an optional VALUE");
    auto path = ParseKeyPath(args[1]);
    if (!path)
        return Usage(err, "unknown root key in " + args[1]);
    if (args.size() == 3) {
        Key key;
        LONG e = Open(*path, KEY_ALL_ACCESS, key);
        if (e == ERROR_SUCCESS)
            e = RegDeleteValueW(key, ValueName(args[2]).c_str());
        return e == ERROR_SUCCESS ? kExitOk : Fail(err, path->Full() + " value " + args[2], e);
    }
    if (path->subKey.empty())
        return Usage(err, "a root key cannot be deleted");
    LONG e = RegDeleteTreeW(path->root, Utf8ToUtf16(path->subKey).c_str());
    return e == ERROR_SUCCESS ? kExitOk : Fail(err, path->Full(), e);
}

LONG ExportKey(HKEY key, const std::string& fullName, std::ostream& out)
{
    std::vector<Value> values;
    std::vector<std::string> subKeys;
    if (LONG e = ReadValues(key, values); e != ERROR_SUCCESS)
        return e;
    if (LONG e = ReadSubKeys(key, subKeys); e != ERROR_SUCCESS)
        return e;
    out << "[" << fullName << "]\n";
    for (const Value& v : values)
        out << (v.name.empty() ? "@" : Quote(v.name)) << "=" << ExportText(v.type, v.data) << "\n";
    out << "\n";
    for (const std::string& sub : subKeys) {
        Key child;
        LONG e = RegOpenKeyExW(key, Utf8ToUtf16(sub).c_str(), 0, KEY_READ, child.Out());
        if (e == ERROR_FILE_NOT_FOUND) // deleted meanwhile by someone else
            continue;
        if (e == ERROR_SUCCESS)
            e = ExportKey(child, fullName + "\\" + sub, out);
        if (e != ERROR_SUCCESS)
            return e;
    }
    return ERROR_SUCCESS;
}

int Export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 2)
        return Usage(err, "export takes KEY");
    auto path = ParseKeyPath(args[1]);
    if (!path)
        return Usage(err, "unknown root key in " + args[1]);
    Key key;
    LONG e = Open(*path, KEY_READ, key);
    if (e == ERROR_SUCCESS) {
        // Collected first, so a failure half-way prints nothing partial.
        std::ostringstream text;
        e = ExportKey(key, path->Full(), text);
        if (e == ERROR_SUCCESS)
            out << text.str();
    }
    return e == ERROR_SUCCESS ? kExitOk : Fail(err, path->Full(), e);
}

int RunScript(const std::vector<std::string>& args, const Options& options, std::ostream& err)
{
    bool doRegister = args[0] == "register";
    if (args.size() < 2)
        return Usage(err, args[0] + " takes a script file");
    plat::Registrar registrar;
    registrar.SetPerUser(options.user);
    for (size_t i = 2; i < args.size(); ++i) {
        size_t eq = args[i].find('=');
        if (eq == std::string::npos || eq == 0)
            return Usage(err, "replacements are NAME=TEXT, not " + args[i]);
        registrar.AddReplacement(Utf8ToUtf16(args[i].substr(0, eq)), Utf8ToUtf16(args[i].substr(eq + 1)));
    }
    std::ifstream file(args[1], std::ios::binary);
    if (!file)
        return Usage(err, "cannot read " + args[1]);
    std::stringstream text;
    text << file.rdbuf();
    std::string script = text.str();
    HRESULT hr =
        doRegister ? registrar.Register(std::string_view(script)) : registrar.Unregister(std::string_view(script));
    if (SUCCEEDED(hr))
        return kExitOk;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    err << "regtool: " << args[0] << " " << args[1] << " failed: "
        << (hr == DISP_E_EXCEPTION ? "malformed script"
            : hr == E_INVALIDARG   ? "a %NAME% in the script has no replacement"
                                   : "registry error")
        << " (" << code << ")\n";
    return kExitFailed;
}

} // namespace

int RunRegTool(const std::vector<std::string>& words, std::ostream& out, std::ostream& err)
{
    Options options;
    const cli::Parsed parsed = cli::Parse(
        kProgram, words, kOptions,
        [&](int key, const std::string& value) {
            if (key == kSeparator)
                options.separator = value;
            else
                options.user = true;
            return std::string();
        },
        out, err);
    if (parsed.exitCode)
        return *parsed.exitCode;
    const std::vector<std::string>& args = parsed.operands;
    if (args.empty())
        return Usage(err, "no command");
    const std::string& command = args[0];
    if (command == "query")
        return Query(args, out, err);
    if (command == "set")
        return Set(args, options, err);
    if (command == "delete")
        return Delete(args, err);
    if (command == "export")
        return Export(args, out, err);
    if (command == "register" || command == "unregister")
        return RunScript(args, options, err);
    if (command == "help") {
        out << kUsage;
        return kExitOk;
    }
    return Usage(err, "unknown command " + command);
}

} // namespace regtool
