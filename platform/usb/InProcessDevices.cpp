#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/DeviceNotification.h"
#include "platform/usb/DeviceFile.h"
#include "platform/usb/UsbBackend.h"

#include <map>
#include <mutex>

namespace plat::usb {

namespace {

struct InProcessDevices {
    std::mutex mutex;
    std::map<std::u16string, AttachedDevice> devices; // by lower-case path
    std::uint64_t nextGeneration = 1;
};

InProcessDevices& Devices()
{
    static InProcessDevices* devices = new InProcessDevices;
    return *devices;
}

} // namespace

void AttachInProcessDevice(std::u16string_view interfacePath, std::shared_ptr<UsbBackend> backend)
{
    if (!backend)
        return;
    bool replaced = false;
    {
        InProcessDevices& all = Devices();
        std::lock_guard lock(all.mutex);
        AttachedDevice& entry = all.devices[devices::ToLowerAscii(interfacePath)];
        replaced = entry.backend != nullptr;
        entry.backend = std::move(backend);
        entry.generation = all.nextGeneration++;
    }
    // A replaced device left and came back.
    if (replaced) {
        NotifyDeviceGone(interfacePath);
        devices::AnnounceDeviceEvent(interfacePath, devices::DeviceEvent::Removal);
    }
    devices::AnnounceDeviceEvent(interfacePath, devices::DeviceEvent::Arrival);
}

void DetachInProcessDevice(std::u16string_view interfacePath)
{
    bool found = false;
    {
        InProcessDevices& all = Devices();
        std::lock_guard lock(all.mutex);
        found = all.devices.erase(devices::ToLowerAscii(interfacePath)) > 0;
    }
    if (!found)
        return;
    NotifyDeviceGone(interfacePath);
    devices::AnnounceDeviceEvent(interfacePath, devices::DeviceEvent::Removal);
}

AttachedDevice FindInProcessDevice(std::u16string_view interfacePath)
{
    InProcessDevices& all = Devices();
    std::lock_guard lock(all.mutex);
    auto it = all.devices.find(devices::ToLowerAscii(interfacePath));
    return it == all.devices.end() ? AttachedDevice{} : it->second;
}

} // namespace plat::usb
