#include "halservice/service/ModuleResources.h"

#include "platform/resources/RegistryScript.h"
#include "platform/windows.h"

namespace {

// The application identifier names the service copy; the key of the
// program's file name points back to it. HKCR\AppID itself stays.
constexpr char kAppIdScript[] = R"(HKCR
{
    NoRemove AppID
    {
        '%APPID%' = s '%HAL_NAME%'
        '%HAL_NAME%.EXE'
        {
            val AppID = s '%APPID%'
        }
    }
}
)";

const plat::StringResource kStrings[] = {
    {IDS_SERVICENAME, u"RNXHALService"},
};
const plat::BinaryResource kBinaries[] = {
    plat::RegistryScript(IDR_APPID_SCRIPT, kAppIdScript),
};
const plat::ModuleResources kResources{.strings = kStrings, .binaries = kBinaries};
const plat::ResourceRegistrar kRegistrar(kResources);

} // namespace

std::string_view LoadAppIdScript() { return plat::LoadRegistryScript(plat::ThisModule(), IDR_APPID_SCRIPT); }
