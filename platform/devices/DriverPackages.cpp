#include "platform/devices/DriverPackages.h"

#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/MachineKeys.h"

namespace plat::devices {

namespace {

constexpr std::u16string_view kDeviceIds = u"SYSTEM\\DriverDatabase\\DeviceIds\\USB";

} // namespace

bool AddDriverPackage(const DriverPackage& package)
{
    for (const std::u16string& hardwareId : package.hardwareIds)
        if (!UsbIdOfHardwareId(hardwareId))
            return false;
    for (const std::u16string& hardwareId : package.hardwareIds) {
        // Stored under the id's part after "USB\", as Windows writes it.
        Key key;
        if (!CreateKey(std::u16string(kDeviceIds) + u"\\" + ToUpperAscii(hardwareId.substr(4)), key) ||
            !SetString(key.Get(), u"DeviceDesc", package.description) ||
            !SetString(key.Get(), u"Mfg", package.manufacturer))
            return false;
    }
    return true;
}

std::vector<DeviceModel> InstalledModels()
{
    std::vector<DeviceModel> models;
    Key ids;
    if (!OpenKey(kDeviceIds, KEY_READ, ids))
        return models;
    for (const std::u16string& name : SubKeys(ids.Get())) {
        const std::optional<UsbId> id = UsbIdOfHardwareId(u"USB\\" + name);
        Key model;
        if (!id || !OpenKey(std::u16string(kDeviceIds) + u"\\" + name, KEY_READ, model))
            continue;
        models.push_back({*id, ReadString(model.Get(), u"DeviceDesc"), ReadString(model.Get(), u"Mfg")});
    }
    return models;
}

} // namespace plat::devices
