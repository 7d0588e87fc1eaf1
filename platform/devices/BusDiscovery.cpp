#include "platform/devices/BusDiscovery.h"

#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/DriverPackages.h"

#include <algorithm>

namespace plat::devices {

namespace {

std::u16string Record(const BusDevice& device, const std::vector<DeviceModel>& models)
{
    const auto model =
        std::find_if(models.begin(), models.end(), [&](const DeviceModel& m) { return m.id == device.id; });
    if (model == models.end())
        return {};
    DeviceIdentity identity;
    identity.vendorId = device.id.vendorId;
    identity.productId = device.id.productId;
    identity.serial = device.serial;
    identity.description = model->description;
    identity.manufacturer = model->manufacturer;
    DeviceRecord record;
    return AddDevice(identity, &record) ? record.interfacePath : std::u16string();
}

} // namespace

std::vector<std::u16string> RecordBusDevices()
{
    std::vector<std::u16string> paths;
    const std::vector<DeviceModel> models = InstalledModels();
    if (models.empty())
        return paths;
    std::vector<UsbId> ids;
    for (const DeviceModel& model : models)
        ids.push_back(model.id);
    for (const BusDevice& device : BusDevicesWithIds(ids))
        if (std::u16string path = Record(device, models); !path.empty())
            paths.push_back(std::move(path));
    return paths;
}

std::u16string RecordBusDevice(const BusDevice& device) { return Record(device, InstalledModels()); }

} // namespace plat::devices
