#include "platform/devices/BusWatch.h"

#include "platform/devices/BusDiscovery.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/DriverPackages.h"

#include <cstdio>

#include <libudev.h>

namespace plat::devices {

BusWatch::BusWatch() : m_udev(udev_new())
{
    if (!m_udev)
        return;
    // "udev": events after the rules ran, so a device arrives with the
    // permissions its rule gives it.
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (m_monitor && (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "usb", "usb_device") < 0 ||
                      udev_monitor_enable_receiving(m_monitor) < 0)) {
        udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
    }
    std::vector<UsbId> ids;
    for (const DeviceModel& model : InstalledModels())
        ids.push_back(model.id);
    for (const BusDevice& device : BusDevicesWithIds(ids))
        m_present[device.sysPath] =
            InterfacePathFor(InstanceIdFor(device.id.vendorId, device.id.productId, device.serial));
}

BusWatch::~BusWatch()
{
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

int BusWatch::Descriptor() const { return m_monitor ? udev_monitor_get_fd(m_monitor) : -1; }

namespace {

// A recorded device that left before this watch learnt of it: its path from
// the event's own properties (the kernel's PRODUCT "abc/def/100", udev's
// serial), since its sysfs attributes are gone.
std::u16string RecordedPathOfEvent(udev_device* event)
{
    const char* product = udev_device_get_property_value(event, "PRODUCT");
    unsigned vendorId = 0;
    unsigned productId = 0;
    if (!product || std::sscanf(product, "%x/%x/", &vendorId, &productId) != 2 || vendorId > 0xFFFF ||
        productId > 0xFFFF)
        return {};
    const char* serial = udev_device_get_property_value(event, "ID_SERIAL_SHORT");
    const std::u16string instanceId =
        InstanceIdFor(static_cast<WORD>(vendorId), static_cast<WORD>(productId),
                      InstanceSerial(serial ? serial : "", udev_device_get_sysname(event)));
    return FindDevice(instanceId) ? InterfacePathFor(instanceId) : std::u16string();
}

} // namespace

std::vector<BusWatch::Change> BusWatch::Drain()
{
    std::vector<Change> changes;
    if (!m_monitor)
        return changes;
    while (udev_device* event = udev_monitor_receive_device(m_monitor)) {
        const std::string action = udev_device_get_action(event) ? udev_device_get_action(event) : "";
        const std::string sysPath = udev_device_get_syspath(event);
        const std::u16string recordedPath =
            action == "remove" && !m_present.count(sysPath) ? RecordedPathOfEvent(event) : std::u16string();
        udev_device_unref(event);
        if (action == "add") {
            std::optional<BusDevice> device = BusDeviceAt(sysPath);
            std::u16string path = device ? RecordBusDevice(*device) : std::u16string();
            if (path.empty())
                continue;
            m_present[sysPath] = path;
            changes.push_back({std::move(path), true});
        } else if (action == "remove") {
            auto it = m_present.find(sysPath);
            if (it != m_present.end()) {
                changes.push_back({std::move(it->second), false});
                m_present.erase(it);
            } else if (!recordedPath.empty()) {
                changes.push_back({recordedPath, false});
            }
        }
    }
    return changes;
}

} // namespace plat::devices
