#include "halservice/service/DevicePresence.h"

#include "halservice/service/HALClassIds.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/windows.h"

#include <string>

namespace {

constexpr DWORD kMaxChars = 260;

std::u16string DriverKeyOf(HDEVINFO devices, SP_DEVINFO_DATA& device)
{
    WCHAR buffer[kMaxChars] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_DRIVER, &type, reinterpret_cast<BYTE*>(buffer),
                                           sizeof buffer - sizeof(WCHAR), nullptr))
        return {};
    return buffer;
}

std::u16string InstanceIdOf(HDEVINFO devices, SP_DEVINFO_DATA& device)
{
    WCHAR buffer[kMaxChars] = {};
    if (!SetupDiGetDeviceInstanceIdW(devices, &device, buffer, kMaxChars - 1, nullptr))
        return {};
    return buffer;
}

} // namespace

bool CheckDevicePresence(std::u16string_view symbolicName, std::u16string_view instanceKey)
{
    HDEVINFO devices = SetupDiGetClassDevsW(&kImageClassGuid, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    if (devices == INVALID_HANDLE_VALUE)
        return false;

    const std::u16string driverKeyWanted = u"{6bdd1fc6-810f-11d0-bec7-08002be2092f}\\" + std::u16string(instanceKey);
    bool present = false;
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof device;
        if (!SetupDiEnumDeviceInfo(devices, index, &device))
            break;
        std::u16string driverKey = DriverKeyOf(devices, device);
        std::u16string path = InstanceIdOf(devices, device);
        for (WCHAR& c : path) {
            if (c == u'\\')
                c = u'#';
        }
        path = u"\\\\?\\" + path + u"#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
        if (plat::devices::EqualsNoCase(path, symbolicName) &&
            plat::devices::EqualsNoCase(driverKeyWanted, driverKey)) {
            ULONG status = 0;
            ULONG problem = 0;
            present = CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) == CR_SUCCESS;
            break;
        }
    }
    SetupDiDestroyDeviceInfoList(devices);
    return present;
}
