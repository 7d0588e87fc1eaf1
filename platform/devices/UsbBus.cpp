#include "platform/devices/UsbBus.h"

#include "platform/base/strings.h"
#include "platform/devices/DeviceDatabase.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include <libudev.h>

namespace plat::devices {

namespace {

struct UdevFree {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <class T>
using UdevPtr = std::unique_ptr<T, UdevFree>;

// Exactly four hexadecimal digits, as USB ids are written.
std::optional<WORD> Hex4(std::u16string_view text)
{
    if (text.size() != 4)
        return std::nullopt;
    WORD value = 0;
    for (char16_t c : text) {
        int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                    : c >= u'a' && c <= u'f' ? c - u'a' + 10
                    : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                             : -1;
        if (digit < 0)
            return std::nullopt;
        value = static_cast<WORD>(value * 16 + digit);
    }
    return value;
}

std::optional<unsigned> Number(const char* text, int base)
{
    if (!text)
        return std::nullopt;
    const std::string_view view(text);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value, base);
    if (error != std::errc() || end == view.data())
        return std::nullopt;
    return value;
}

// A character Windows accepts in a serial number that names a device; one
// outside it makes the number unfit, and the device is named by its port.
bool SerialCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-' ||
           c == '.';
}

std::optional<BusDevice> FromUdev(udev_device* device)
{
    const auto vendor = Number(udev_device_get_sysattr_value(device, "idVendor"), 16);
    const auto product = Number(udev_device_get_sysattr_value(device, "idProduct"), 16);
    const auto bus = Number(udev_device_get_sysattr_value(device, "busnum"), 10);
    const auto address = Number(udev_device_get_sysattr_value(device, "devnum"), 10);
    const char* node = udev_device_get_devnode(device);
    if (!vendor || !product || !bus || !address || !node || *vendor > 0xFFFF || *product > 0xFFFF || *bus > 255 ||
        *address > 255)
        return std::nullopt;
    const char* serial = udev_device_get_sysattr_value(device, "serial");
    BusDevice found;
    found.id = {static_cast<WORD>(*vendor), static_cast<WORD>(*product)};
    found.serial = InstanceSerial(serial ? serial : "", udev_device_get_sysname(device));
    found.sysPath = udev_device_get_syspath(device);
    found.deviceNode = node;
    found.busNumber = static_cast<std::uint8_t>(*bus);
    found.address = static_cast<std::uint8_t>(*address);
    return found;
}

} // namespace

std::u16string InstanceSerial(std::string_view serialNumber, std::string_view sysName)
{
    const bool fit = !serialNumber.empty() && serialNumber.size() <= 126 && serialNumber.front() != '.' &&
                     std::all_of(serialNumber.begin(), serialNumber.end(), SerialCharacter);
    return Utf8ToUtf16(fit ? serialNumber : sysName);
}

namespace {

// "vid_xxxx&pid_xxxx", in either case.
std::optional<UsbId> UsbIdOf(std::u16string_view text)
{
    const std::u16string lower = ToLowerAscii(text);
    if (lower.size() != 17 || !lower.starts_with(u"vid_") || lower.substr(8, 5) != u"&pid_")
        return std::nullopt;
    const auto vendor = Hex4(std::u16string_view(lower).substr(4, 4));
    const auto product = Hex4(std::u16string_view(lower).substr(13, 4));
    if (!vendor || !product)
        return std::nullopt;
    return UsbId{*vendor, *product};
}

} // namespace

std::optional<UsbId> UsbIdOfHardwareId(std::u16string_view hardwareId)
{
    // USB\VID_xxxx&PID_xxxx
    if (hardwareId.size() != 21 || ToUpperAscii(hardwareId.substr(0, 4)) != u"USB\\")
        return std::nullopt;
    return UsbIdOf(hardwareId.substr(4));
}

std::optional<UsbId> UsbIdOfInterfacePath(std::u16string_view interfacePath)
{
    // vid_xxxx&pid_xxxx#serial
    const std::u16string name = DeviceNameOf(interfacePath);
    if (name.size() < 19 || name[17] != u'#')
        return std::nullopt;
    return UsbIdOf(std::u16string_view(name).substr(0, 17));
}

std::vector<BusDevice> BusDevicesWithIds(std::span<const UsbId> ids)
{
    std::vector<BusDevice> found;
    UdevPtr<udev> context(udev_new());
    if (!context || ids.empty())
        return found;
    UdevPtr<udev_enumerate> scan(udev_enumerate_new(context.get()));
    if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "usb") < 0 ||
        udev_enumerate_add_match_property(scan.get(), "DEVTYPE", "usb_device") < 0 ||
        udev_enumerate_scan_devices(scan.get()) < 0)
        return found;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get()))
    {
        UdevPtr<udev_device> device(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!device)
            continue;
        std::optional<BusDevice> bus = FromUdev(device.get());
        if (bus && std::find(ids.begin(), ids.end(), bus->id) != ids.end())
            found.push_back(std::move(*bus));
    }
    return found;
}

std::optional<BusDevice> FindBusDevice(std::u16string_view interfacePath)
{
    const std::optional<UsbId> id = UsbIdOfInterfacePath(interfacePath);
    if (!id)
        return std::nullopt;
    const std::u16string serial = DeviceNameOf(interfacePath).substr(18);
    for (BusDevice& device : BusDevicesWithIds(std::span(&*id, 1)))
        if (EqualsNoCase(device.serial, serial))
            return std::move(device);
    return std::nullopt;
}

std::optional<BusDevice> BusDeviceAt(const std::string& sysPath)
{
    UdevPtr<udev> context(udev_new());
    if (!context)
        return std::nullopt;
    UdevPtr<udev_device> device(udev_device_new_from_syspath(context.get(), sysPath.c_str()));
    const char* type = device ? udev_device_get_devtype(device.get()) : nullptr;
    if (!type || std::string_view(type) != "usb_device")
        return std::nullopt;
    return FromUdev(device.get());
}

} // namespace plat::devices
