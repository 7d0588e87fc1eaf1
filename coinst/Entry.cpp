// The library's exports: the co-installer callback and DllMain.
#include "coinst/CoInstaller.h"
#include "platform/windows.h"

namespace {

BOOL DllMain(HINSTANCE hInstance, DWORD /*reason*/, LPVOID /*reserved*/)
{
    coinst::SetModuleHandle(hInstance);
    return TRUE;
}

plat::DllMainCaller s_dllMain(&DllMain);

} // namespace

extern "C" __attribute__((visibility("default"))) DWORD fnCoInstaller(DI_FUNCTION InstallFunction,
                                                                      HDEVINFO DeviceInfoSet,
                                                                      PSP_DEVINFO_DATA DeviceInfoData,
                                                                      PCOINSTALLER_CONTEXT_DATA Context)
{
    return coinst::CoInstallerEntry(InstallFunction, DeviceInfoSet, DeviceInfoData, Context);
}
