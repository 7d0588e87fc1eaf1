#include "platform/profile/profile.h"

#include "platform/base/lasterror.h"
#include "platform/base/posixio.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace plat {
std::string ProfilePath() { return SystemRoot() + "/win.ini"; }
} // namespace plat

namespace {

// The file is read whole and rewritten whole: it is small, and a rename
// keeps readers from ever seeing half of it.
// Comment lines are kept where they stood (in `key`, whole).
struct Entry {
    std::string key;
    std::string value;
    bool comment = false;
};
struct Section {
    std::string name;
    std::vector<Entry> entries;
    bool preamble = false; // the lines before the first section
};

std::mutex g_lock;

std::string Trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool SameName(const std::string& a, const char* b)
{
    size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::vector<Section> Load()
{
    std::vector<Section> sections;
    std::ifstream in(plat::ProfilePath());
    std::string line;
    while (std::getline(in, line)) {
        std::string t = Trim(line);
        if (t.empty())
            continue;
        if (t[0] == '[') {
            size_t close = t.find(']');
            sections.push_back({Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
            continue;
        }
        if (sections.empty())
            sections.push_back({"", {}, true});
        size_t eq = t.find('=');
        if (t[0] == ';' || eq == std::string::npos)
            sections.back().entries.push_back({t, "", true});
        else
            sections.back().entries.push_back({Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))});
    }
    return sections;
}

bool Save(const std::vector<Section>& sections)
{
    if (!plat::EnsureSystemRootLayout())
        return false;
    std::ostringstream out;
    for (const Section& s : sections) {
        if (!s.preamble)
            out << '[' << s.name << "]\n";
        for (const Entry& e : s.entries) {
            if (e.comment)
                out << e.key << '\n';
            else
                out << e.key << '=' << e.value << '\n';
        }
        out << '\n';
    }
    std::string path = plat::ProfilePath();
    std::string temp = path + ".tmp" + std::to_string(getpid());
    int fd = plat::OpenPrivateFile(temp, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0)
        return false;
    bool written = plat::WriteAll(fd, out.str());
    written = close(fd) == 0 && written;
    if (!written || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

Section* FindSection(std::vector<Section>& sections, const char* name)
{
    for (Section& s : sections)
        if (!s.preamble && SameName(s.name, name))
            return &s;
    return nullptr;
}

std::optional<std::string> Lookup(const char* app, const char* key)
{
    std::vector<Section> sections = Load();
    Section* s = FindSection(sections, app);
    if (!s)
        return std::nullopt;
    for (const Entry& e : s->entries)
        if (!e.comment && SameName(e.key, key))
            return e.value;
    return std::nullopt;
}

// One matching pair of quotes around a value is not part of it.
std::string Unquote(const std::string& v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

DWORD CopyList(const std::vector<std::string>& names, LPSTR out, DWORD size)
{
    if (size < 2) {
        if (size == 1)
            out[0] = '\0';
        return 0;
    }
    DWORD pos = 0;
    for (const std::string& n : names) {
        // Room for the name, its NUL and the list's final NUL.
        if (pos + n.size() + 2 > size) {
            if (pos < size - 2)
                std::memcpy(out + pos, n.data(), size - 2 - pos);
            out[size - 2] = '\0';
            out[size - 1] = '\0';
            return size - 2;
        }
        std::memcpy(out + pos, n.data(), n.size());
        pos += static_cast<DWORD>(n.size());
        out[pos++] = '\0';
    }
    out[pos] = '\0';
    return pos;
}

} // namespace

UINT GetProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault)
{
    if (!lpAppName || !lpKeyName)
        return static_cast<UINT>(nDefault);
    std::optional<std::string> value;
    {
        std::lock_guard guard(g_lock);
        value = Lookup(lpAppName, lpKeyName);
    }
    if (!value)
        return static_cast<UINT>(nDefault);
    std::string v = Unquote(*value);
    size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+'))
        negative = v[i++] == '-';
    UINT n = 0;
    for (; i < v.size() && std::isdigit(static_cast<unsigned char>(v[i])); ++i)
        n = n * 10 + static_cast<UINT>(v[i] - '0');
    return negative ? 0 : n;
}

DWORD GetProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString, DWORD nSize)
{
    if (!lpReturnedString || nSize == 0)
        return 0;
    std::vector<Section> sections;
    {
        std::lock_guard guard(g_lock);
        sections = Load();
    }
    if (!lpAppName) {
        std::vector<std::string> names;
        for (const Section& s : sections)
            if (!s.preamble)
                names.push_back(s.name);
        return CopyList(names, lpReturnedString, nSize);
    }
    Section* s = FindSection(sections, lpAppName);
    if (!lpKeyName) {
        std::vector<std::string> names;
        if (s)
            for (const Entry& e : s->entries)
                if (!e.comment)
                    names.push_back(e.key);
        return CopyList(names, lpReturnedString, nSize);
    }
    std::string value = Trim(lpDefault ? lpDefault : "");
    bool found = false;
    if (s)
        for (const Entry& e : s->entries)
            if (!found && !e.comment && SameName(e.key, lpKeyName)) {
                value = Unquote(e.value);
                found = true;
            }
    SetLastError(found ? NO_ERROR : ERROR_FILE_NOT_FOUND);
    size_t n = std::min<size_t>(value.size(), nSize - 1);
    std::memcpy(lpReturnedString, value.data(), n);
    lpReturnedString[n] = '\0';
    return static_cast<DWORD>(n);
}

BOOL WriteProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString)
{
    if (!lpAppName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard guard(g_lock);
    std::vector<Section> sections = Load();
    Section* s = FindSection(sections, lpAppName);
    if (!lpKeyName) {
        if (s)
            sections.erase(sections.begin() + (s - sections.data()));
    } else if (!lpString) {
        if (s)
            std::erase_if(s->entries, [&](const Entry& e) { return !e.comment && SameName(e.key, lpKeyName); });
    } else {
        if (!s) {
            sections.push_back({Trim(lpAppName), {}});
            s = &sections.back();
        }
        auto it = std::find_if(s->entries.begin(), s->entries.end(),
                               [&](const Entry& e) { return !e.comment && SameName(e.key, lpKeyName); });
        if (it != s->entries.end())
            it->value = lpString;
        else
            s->entries.push_back({Trim(lpKeyName), lpString});
    }
    if (!Save(sections)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}
