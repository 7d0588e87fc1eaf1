// Feeds arbitrary text to the registration-script parser: it must answer an
// HRESULT for anything, never crash or run away.
#include "platform/base/strings.h"
#include "platform/registry/RegistrarScript.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::u16string text = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<plat::registrar::ScriptRoot> roots;
    plat::registrar::ParseScript(
        text,
        [](std::u16string_view name) -> std::optional<std::u16string> {
            if (name == u"MODULE")
                return std::u16string(u"/lib/x.so");
            return std::nullopt;
        },
        &roots);
    return 0;
}
