#include "coinst/CoInstaller.h"

#include "coinst/CoInstallerLog.h"
#include "coinst/DeviceKey.h"
#include "coinst/FirmwareUpdate.h"
#include "coinst/RegisterScanner.h"
#include "coinst/UnregisterScanner.h"
#include "platform/windows.h"

#include <atomic>
#include <string>

namespace coinst {

namespace {

std::atomic<HINSTANCE> g_module{nullptr};

// The driver key ("{class}\NNNN") and the device instance id; each stays
// empty when it cannot be read.
struct DeviceIdentity {
    std::u16string driverKey;
    std::u16string deviceInstanceId;

    bool Complete() const { return !driverKey.empty() && !deviceInstanceId.empty(); }
};

DeviceIdentity ReadDeviceIdentity(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData)
{
    DeviceIdentity identity;
    // 260 bytes, read as text; one character more keeps it terminated.
    WCHAR driverKey[kMaxPathChars / 2 + 1] = {};
    if (SetupDiGetDeviceRegistryPropertyW(DeviceInfoSet, DeviceInfoData, SPDRP_DRIVER, nullptr,
                                          reinterpret_cast<BYTE*>(driverKey), kMaxPathChars, nullptr))
        identity.driverKey = driverKey;
    if (DeviceInfoData) {
        WCHAR instanceId[kMaxPathChars + 1] = {};
        if (CM_Get_Device_IDW(DeviceInfoData->DevInst, instanceId, kMaxPathChars, 0) == CR_SUCCESS)
            identity.deviceInstanceId = instanceId;
    }
    return identity;
}

// Asks the installer for DIF_FINISHINSTALL_ACTION later; false when this
// system has no such call, so the caller runs the firmware step at once.
bool RequestFinishInstallAction(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, bool* versionKnown)
{
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    BOOL known = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
    if (!known) {
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        known = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
    }
    *versionKnown = known != FALSE;
    if (!known)
        return true;
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT || version.dwMajorVersion < 6)
        return false;

    SP_DEVINSTALL_PARAMS_W params = {};
    params.cbSize = sizeof params;
    if (!SetupDiGetDeviceInstallParamsW(DeviceInfoSet, DeviceInfoData, &params)) {
        CoInstallerLog(u"SetupDiGetDeviceInstallParams ERROR:%08X\n", GetLastError());
        return true;
    }
    params.FlagsEx |= DI_FLAGSEX_FINISHINSTALL_ACTION;
    if (!SetupDiSetDeviceInstallParamsW(DeviceInfoSet, DeviceInfoData, &params))
        CoInstallerLog(u"SetupDiSetDeviceInstallParams ERROR:%08X\n", GetLastError());
    return true;
}

} // namespace

HINSTANCE ModuleHandle() { return g_module; }

void SetModuleHandle(HINSTANCE module) { g_module = module; }

DWORD CoInstallerEntry(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                       PCOINSTALLER_CONTEXT_DATA /*Context*/)
{
    CoInstallerLog(u"InstallFunction: %08X\n", InstallFunction);
    bool finishInstallNow = false;

    switch (InstallFunction) {
    case DIF_INSTALLDEVICE: {
        const DeviceIdentity identity = ReadDeviceIdentity(DeviceInfoSet, DeviceInfoData);
        if (identity.Complete())
            RegisterScanner(identity.driverKey, identity.deviceInstanceId);
        break;
    }
    case DIF_REMOVE: {
        CoInstallerLog(u"DIF_REMOVE\n");
        const DeviceIdentity identity = ReadDeviceIdentity(DeviceInfoSet, DeviceInfoData);
        if (identity.Complete())
            UnregisterScanner(identity.driverKey, identity.deviceInstanceId);
        CoInstallerLog(u"DIF_REMOVE exit\n");
        break;
    }
    case DIF_NEWDEVICEWIZARD_FINISHINSTALL: {
        CoInstallerLog(u"DIF_NEWDEVICEWIZARD_FINISHINSTALL\n");
        bool versionKnown = false;
        const bool requested = RequestFinishInstallAction(DeviceInfoSet, DeviceInfoData, &versionKnown);
        finishInstallNow = versionKnown && !requested;
        CoInstallerLog(u"DIF_NEWDEVICEWIZARD_FINISHINSTALL exit\n");
        break;
    }
    default:
        break;
    }

    if (InstallFunction == DIF_FINISHINSTALL_ACTION || finishInstallNow) {
        CoInstallerLog(u"DIF_FINISHINSTALL_ACTION\n");
        const DeviceIdentity identity = ReadDeviceIdentity(DeviceInfoSet, DeviceInfoData);
        if (identity.Complete())
            HandleFirmwareUpdate(identity.driverKey, identity.deviceInstanceId);
        CoInstallerLog(u"DIF_FINISHINSTALL_ACTION exit\n");
    }

    CoInstallerLog(u"InstallFunction exit\n");
    return NO_ERROR;
}

} // namespace coinst
