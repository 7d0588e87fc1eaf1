#include "halservice/service/ModuleResources.h"

#include "platform/resources/ResourceTable.h"
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
    {u"REGISTRY", IDR_APPID_SCRIPT, reinterpret_cast<const BYTE*>(kAppIdScript), sizeof kAppIdScript - 1},
};
const plat::ModuleResources kResources{.strings = kStrings, .binaries = kBinaries};
const plat::ResourceRegistrar kRegistrar(kResources);

} // namespace

std::string_view LoadAppIdScript()
{
    HMODULE module = plat::ThisModule();
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDR_APPID_SCRIPT), u"REGISTRY");
    if (!resource)
        return {};
    HGLOBAL data = LoadResource(module, resource);
    return {static_cast<const char*>(LockResource(data)), SizeofResource(module, resource)};
}
