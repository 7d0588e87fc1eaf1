// The registration scripts the library carries (REGISTRY resources): its
// application id, the icon handler's class with both shell extension
// entries under it, and the page's class.
#include "shellext/RegistryScripts.h"

#include "platform/resources/RegistryScript.h"
#include "shellext/ResourceIds.h"

namespace {

constexpr char kRNXShellExtScript[] = R"(HKCR
{
    NoRemove AppID
    {
        '%APPID%' = s 'RNXShellExt'
        'RNXShellExt.DLL'
        {
            val AppID = s '%APPID%'
        }
    }
}
)";

constexpr char kRNXWIADialogExtHandlerScript[] = R"(HKCR
{
    RNXShellExt.RNXWIADialogExtHandler.1 = s 'RNXWIADialogExtHandler Class'
    {
        CLSID = s '%HANDLER%'
    }
    RNXShellExt.RNXWIADialogExtHandler = s 'RNXWIADialogExtHandler Class'
    {
        CLSID = s '%HANDLER%'
        CurVer = s 'RNXShellExt.RNXWIADialogExtHandler.1'
    }
    NoRemove CLSID
    {
        ForceRemove %HANDLER% = s 'RNXWIADialogExtHandler Class'
        {
            ProgID = s 'RNXShellExt.RNXWIADialogExtHandler.1'
            VersionIndependentProgID = s 'RNXShellExt.RNXWIADialogExtHandler'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            'TypeLib' = s '%LIBID%'
            val AppID = s '%APPID%'
            shellex
            {
                WiaDialogExtensionHandlers
                {
                    %HANDLER% = s 'RNX WIA Extenstion'
                }
                PropertySheetHandlers
                {
                    %PAGE% = s 'RNX Shell Extenstion'
                }
            }
        }
    }
}
)";

constexpr char kRNXHWPropertyPageScript[] = R"(HKCR
{
    RNXShellExtLib.RNXHWPropertyPage.1 = s 'RNXHWPropertyPage Class'
    {
        CLSID = s '%PAGE%'
    }
    RNXShellExtLib.RNXHWPropertyPage = s 'RNXHWPropertyPage Class'
    {
        CLSID = s '%PAGE%'
        CurVer = s 'RNXShellExtLib.RNXHWPropertyPage.1'
    }
    NoRemove CLSID
    {
        ForceRemove %PAGE% = s 'RNXHWPropertyPage Class'
        {
            ProgID = s 'RNXShellExtLib.RNXHWPropertyPage.1'
            VersionIndependentProgID = s 'RNXShellExtLib.RNXHWPropertyPage'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            'TypeLib' = s '%LIBID%'
            val AppID = s '%APPID%'
        }
    }
}
)";

const plat::BinaryResource kScripts[] = {
    plat::RegistryScript(IDR_RNXSHELLEXT, kRNXShellExtScript),
    plat::RegistryScript(IDR_RNXWIADIALOGEXTHANDLER, kRNXWIADialogExtHandlerScript),
    plat::RegistryScript(IDR_RNXHWPROPERTYPAGE, kRNXHWPropertyPageScript),
};

const plat::ModuleResources kResources{.binaries = kScripts};
const plat::ResourceRegistrar kRegistrar(kResources);

} // namespace

std::string_view LoadRegistryScript(WORD id) { return plat::LoadRegistryScript(ShellExtInstance(), id); }
