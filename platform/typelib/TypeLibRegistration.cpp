#include "platform/typelib/TypeLibRegistration.h"

#include "platform/base/format.h"
#include "platform/registry/Registrar.h"

#include <string>

namespace plat {

namespace {

constexpr char16_t kScript[] = uR"(HKCR
{
    NoRemove TypeLib
    {
        '%LIBID%'
        {
            '%VERSION%' = s '%HELPSTRING%'
            {
                '0'
                {
                    '%PLATFORM%' = s '%PATH%'
                }
                FLAGS = s '0'
                HELPDIR = s '%HELPDIR%'
            }
        }
    }
}
)";

void Prepare(Registrar& registrar, const TypeLibraryDesc& lib, const WCHAR* modulePath, bool perUser)
{
    WCHAR version[32] = {};
    FormatToBuffer(version, 32, u"%u.%u", lib.majorVersion, lib.minorVersion);
    std::u16string path = modulePath ? modulePath : u"";
    size_t slash = path.find_last_of(u"/\\");
    std::u16string folder = slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);

    registrar.SetPerUser(perUser);
    registrar.AddReplacement(u"LIBID", GuidToWideString(lib.libid));
    registrar.AddReplacement(u"VERSION", version);
    registrar.AddReplacement(u"HELPSTRING", lib.helpString ? lib.helpString : u"");
    registrar.AddReplacement(u"PLATFORM", sizeof(void*) == 8 ? u"win64" : u"win32");
    registrar.AddReplacement(u"PATH", path);
    registrar.AddReplacement(u"HELPDIR", folder);
}

} // namespace

HRESULT RegisterTypeLibrary(const TypeLibraryDesc& lib, const WCHAR* modulePath, bool perUser)
{
    if (!modulePath || !*modulePath)
        return E_INVALIDARG;
    Registrar registrar;
    Prepare(registrar, lib, modulePath, perUser);
    return registrar.Register(std::u16string_view(kScript));
}

HRESULT UnregisterTypeLibrary(const TypeLibraryDesc& lib, bool perUser)
{
    Registrar registrar;
    // Unregistering removes what the script names whatever its values.
    Prepare(registrar, lib, u"", perUser);
    return registrar.Unregister(std::u16string_view(kScript));
}

} // namespace plat
