#include "platform/resources/ResourceDirectory.h"

#include "platform/resources/module.h"
#include "platform/resources/resources.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace plat::resources {
namespace {

struct Directory {
    std::mutex mutex;
    std::map<HMODULE, std::vector<const ModuleResources*>> tables;
};

Directory& TheDirectory()
{
    // Never destroyed: registrars of modules unloaded at exit still reach it.
    static auto* directory = new Directory;
    return *directory;
}

WCHAR Upper(WCHAR c) { return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - u'a' + u'A') : c; }

// "#123" names the number 123, as resource compilers write it.
bool ParseNumberName(const WCHAR* text, WORD& number)
{
    if (text[0] != u'#' || text[1] == 0)
        return false;
    DWORD value = 0;
    for (const WCHAR* p = text + 1; *p; ++p) {
        if (*p < u'0' || *p > u'9')
            return false;
        value = value * 10 + static_cast<DWORD>(*p - u'0');
        if (value > 0xFFFF)
            return false;
    }
    number = static_cast<WORD>(value);
    return true;
}

} // namespace

void Register(HMODULE module, const ModuleResources* resources)
{
    Directory& directory = TheDirectory();
    std::lock_guard lock(directory.mutex);
    directory.tables[module].push_back(resources);
}

void Unregister(HMODULE module, const ModuleResources* resources)
{
    Directory& directory = TheDirectory();
    std::lock_guard lock(directory.mutex);
    auto it = directory.tables.find(module);
    if (it == directory.tables.end())
        return;
    std::erase(it->second, resources);
    if (it->second.empty())
        directory.tables.erase(it);
}

std::vector<const ModuleResources*> TablesOf(HMODULE module)
{
    if (!module)
        module = ProgramModule();
    Directory& directory = TheDirectory();
    std::lock_guard lock(directory.mutex);
    auto it = directory.tables.find(module);
    return it == directory.tables.end() ? std::vector<const ModuleResources*>{} : it->second;
}

bool Matches(const ResourceId& id, const WCHAR* wanted)
{
    if (!wanted)
        return false;
    WORD number = 0;
    if (IS_INTRESOURCE(wanted))
        number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(wanted));
    else if (!ParseNumberName(wanted, number)) {
        if (id.IsNumber() || !id.Name())
            return false;
        const WCHAR* a = id.Name();
        const WCHAR* b = wanted;
        for (; *a && *b; ++a, ++b)
            if (Upper(*a) != Upper(*b))
                return false;
        return *a == *b;
    }
    return id.IsNumber() && id.Number() == number;
}

} // namespace plat::resources

namespace plat {

ResourceRegistrar::ResourceRegistrar(const ModuleResources& resources)
    : m_module(ModuleFromAddress(this)), m_resources(&resources)
{
    resources::Register(m_module, m_resources);
}

ResourceRegistrar::~ResourceRegistrar() { resources::Unregister(m_module, m_resources); }

} // namespace plat
