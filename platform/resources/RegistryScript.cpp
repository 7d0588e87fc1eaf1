#include "platform/resources/RegistryScript.h"

namespace plat {

std::string_view LoadRegistryScript(HMODULE module, WORD id)
{
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), u"REGISTRY");
    if (!resource)
        return {};
    HGLOBAL data = LoadResource(module, resource);
    return {static_cast<const char*>(LockResource(data)), SizeofResource(module, resource)};
}

} // namespace plat
