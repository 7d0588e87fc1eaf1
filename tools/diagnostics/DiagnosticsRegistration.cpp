#include "tools/diagnostics/DiagnosticsRegistration.h"

#include "diag/DiagnosticsConfig.h"
#include "platform/base/strings.h"
#include "platform/registry/Registrar.h"
#include "platform/resources/module.h"

namespace diagnostics {
namespace {

constexpr const char* kScript = R"(HKCR
{
    NoRemove CLSID
    {
        ForceRemove %CLSID% = s 'DiagnosticsConfig'
        {
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
        }
    }
}
)";

void AddClassId(plat::Registrar& registrar)
{
    registrar.AddReplacement(u"CLSID", plat::GuidToWideString(CLSID_DiagnosticsConfig));
}

} // namespace

std::string DefaultServerPath() { return plat::PlatformFolder() + "/libdiagconfig.so"; }

HRESULT RegisterDiagnosticsServer(const std::string& libraryPath)
{
    plat::Registrar registrar;
    AddClassId(registrar);
    registrar.AddReplacement(u"MODULE", Utf8ToUtf16(libraryPath));
    return registrar.Register(std::string_view(kScript));
}

HRESULT UnregisterDiagnosticsServer()
{
    plat::Registrar registrar;
    AddClassId(registrar);
    registrar.AddReplacement(u"MODULE", u"");
    return registrar.Unregister(std::string_view(kScript));
}

} // namespace diagnostics
