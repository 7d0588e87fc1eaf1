// Registry scripts carried as "REGISTRY" resources, as a module's
// self-registration reads them: the text without a terminating zero.
#pragma once

#include "platform/resources/ResourceTable.h"
#include "platform/resources/resources.h"

#include <cstddef>
#include <string_view>

namespace plat {

template <std::size_t N>
constexpr BinaryResource RegistryScript(WORD id, const char (&text)[N])
{
    return {u"REGISTRY", id, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(N - 1)};
}

// The text of registry script `id` of `module`; empty when it carries none.
std::string_view LoadRegistryScript(HMODULE module, WORD id);

} // namespace plat
