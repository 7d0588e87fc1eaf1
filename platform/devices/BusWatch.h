// Arrivals and removals of served devices on the USB bus, from udev's
// events: a device an installed driver package serves that is plugged in
// is recorded (BusDiscovery) and arrives; one that is pulled out leaves.
// Devices no package serves are not seen.
//
// Used on the notification thread only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

struct udev;
struct udev_monitor;

namespace plat::devices {

class BusWatch {
public:
    // Listens to udev (nothing comes when it cannot) and learns the served
    // devices present now, so that their removal is recognised.
    BusWatch();
    ~BusWatch();
    BusWatch(const BusWatch&) = delete;
    BusWatch& operator=(const BusWatch&) = delete;

    // Readable when udev has news; -1 without a monitor.
    int Descriptor() const;

    struct Change {
        std::u16string interfacePath;
        bool arrived = false;
    };
    // What udev reported since the last call.
    std::vector<Change> Drain();

private:
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    std::map<std::string, std::u16string> m_present; // interface paths by sysfs path
};

} // namespace plat::devices
