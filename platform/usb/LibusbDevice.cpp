#include "platform/usb/LibusbDevice.h"

#include "platform/base/winerror.h"
#include "platform/kernel/Time.h"
#include "platform/usb/LibusbContext.h"
#include "platform/usb/UsbBackend.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include <libusb-1.0/libusb.h>

namespace plat::usb {

namespace {

constexpr ULONGLONG kBusyWaitMs = 500;
constexpr DWORD kBusyRetryMs = 10;

// The devices this process has open, by sysfs path and address (a device
// plugged in again is another one).
struct OpenDevices {
    std::mutex mutex;
    std::map<std::string, std::weak_ptr<LibusbDevice>> devices;
    std::set<std::string> toldNoAccess;
};

OpenDevices& Opened()
{
    static OpenDevices* opened = new OpenDevices;
    return *opened;
}

std::string KeyOf(const devices::BusDevice& device) { return device.sysPath + "@" + std::to_string(device.address); }

DWORD ErrorOf(int result)
{
    switch (result) {
    case LIBUSB_ERROR_ACCESS:
        return ERROR_ACCESS_DENIED;
    case LIBUSB_ERROR_BUSY:
        return ERROR_SHARING_VIOLATION;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
        return ERROR_FILE_NOT_FOUND;
    case LIBUSB_ERROR_NO_MEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

// What the user can do about a device that cannot be opened; said once per
// device node and process (the service opens the device for every key poll).
void Explain(OpenDevices& opened, const devices::BusDevice& device, int result)
{
    if (result != LIBUSB_ERROR_ACCESS && result != LIBUSB_ERROR_BUSY)
        return;
    if (!opened.toldNoAccess.insert(device.deviceNode + std::to_string(result)).second)
        return;
    if (result == LIBUSB_ERROR_ACCESS)
        std::fprintf(stderr,
                     "USB: no permission to open the scanner %04x:%04x at %s: install the udev rule %s (see "
                     "\"Using a real scanner\" in the README), then unplug the scanner and plug it in again\n",
                     device.id.vendorId, device.id.productId, device.deviceNode.c_str(), kUdevRuleFile);
    else
        std::fprintf(stderr, "USB: the scanner %04x:%04x at %s is in use by another program\n", device.id.vendorId,
                     device.id.productId, device.deviceNode.c_str());
}

libusb_device* FindOnBus(libusb_context* context, const devices::BusDevice& device)
{
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    libusb_device* found = nullptr;
    for (ssize_t i = 0; i < count; ++i)
        if (libusb_get_bus_number(list[i]) == device.busNumber && libusb_get_device_address(list[i]) == device.address)
            found = libusb_ref_device(list[i]);
    if (list)
        libusb_free_device_list(list, 1);
    return found;
}

struct Interface {
    int number = -1;
    int alternate = 0;
    unsigned char in = 0;
    unsigned char out = 0;
};

// The first interface setting with a bulk IN and a bulk OUT endpoint.
Interface FindBulkInterface(libusb_device* device)
{
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS)
        return {};
    Interface found;
    for (int i = 0; i < config->bNumInterfaces && found.number < 0; ++i) {
        const libusb_interface& candidate = config->interface[i];
        for (int a = 0; a < candidate.num_altsetting && found.number < 0; ++a) {
            const libusb_interface_descriptor& setting = candidate.altsetting[a];
            Interface each{setting.bInterfaceNumber, setting.bAlternateSetting, 0, 0};
            for (int e = 0; e < setting.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
                if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
                    continue;
                unsigned char& slot = (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) ? each.in : each.out;
                if (!slot)
                    slot = endpoint.bEndpointAddress;
            }
            if (each.in && each.out)
                found = each;
        }
    }
    libusb_free_config_descriptor(config);
    return found;
}

} // namespace

// Claims the interface on a freshly opened handle, detaching a kernel
// driver that holds it.
class DeviceOpener {
public:
    static int Claim(LibusbDevice& device, libusb_device* usb)
    {
        const Interface found = FindBulkInterface(usb);
        if (found.number < 0)
            return LIBUSB_ERROR_NOT_SUPPORTED;
        if (libusb_kernel_driver_active(device.m_handle, found.number) == 1) {
            const int detached = libusb_detach_kernel_driver(device.m_handle, found.number);
            if (detached != LIBUSB_SUCCESS && detached != LIBUSB_ERROR_NOT_FOUND)
                return detached;
            if (detached == LIBUSB_SUCCESS)
                device.m_detachedInterface = found.number;
        }
        int result = libusb_claim_interface(device.m_handle, found.number);
        if (result != LIBUSB_SUCCESS)
            return result;
        device.m_interface = found.number;
        if (found.alternate != 0 && (result = libusb_set_interface_alt_setting(device.m_handle, found.number,
                                                                               found.alternate)) != LIBUSB_SUCCESS)
            return result;
        device.m_in = found.in;
        device.m_out = found.out;
        return LIBUSB_SUCCESS;
    }
};

namespace {

// One attempt: the device opened and its interface claimed, or the libusb
// error that stopped it.
int TryOpen(LibusbContext& context, const devices::BusDevice& device, std::shared_ptr<LibusbDevice>& made)
{
    libusb_device* usb = FindOnBus(context.Handle(), device);
    if (!usb)
        return LIBUSB_ERROR_NO_DEVICE;
    libusb_device_handle* handle = nullptr;
    int result = libusb_open(usb, &handle);
    if (result == LIBUSB_SUCCESS) {
        // From here the destructor gives back whatever was taken.
        made = std::make_shared<LibusbDevice>(device, handle);
        result = DeviceOpener::Claim(*made, usb);
        if (result != LIBUSB_SUCCESS)
            made.reset();
    }
    libusb_unref_device(usb);
    return result;
}

} // namespace

std::shared_ptr<LibusbDevice> LibusbDevice::Open(const devices::BusDevice& device, DWORD& error)
{
    LibusbContext* context = LibusbContext::Get();
    if (!context) {
        error = ERROR_GEN_FAILURE;
        return nullptr;
    }
    OpenDevices& opened = Opened();
    const std::string key = KeyOf(device);
    // Another process may hold the interface for a moment (the service's
    // key poll opens the scanner ten times a second): it is waited for a
    // little, on the installed clock, before the device counts as in use.
    const ULONGLONG until = GetTickCount64() + kBusyWaitMs;
    for (;;) {
        {
            std::lock_guard lock(opened.mutex);
            if (auto it = opened.devices.find(key); it != opened.devices.end())
                if (std::shared_ptr<LibusbDevice> shared = it->second.lock()) {
                    error = 0;
                    return shared;
                }
        }
        std::shared_ptr<LibusbDevice> made;
        const int result = TryOpen(*context, device, made);
        if (result == LIBUSB_ERROR_BUSY && GetTickCount64() < until) {
            Sleep(kBusyRetryMs);
            continue;
        }
        std::lock_guard lock(opened.mutex);
        if (result != LIBUSB_SUCCESS) {
            Explain(opened, device, result);
            error = result == LIBUSB_ERROR_NOT_SUPPORTED ? ERROR_NOT_SUPPORTED : ErrorOf(result);
            return nullptr;
        }
        std::erase_if(opened.devices, [](const auto& entry) { return entry.second.expired(); });
        opened.devices[key] = made;
        error = 0;
        return made;
    }
}

LibusbDevice::LibusbDevice(const devices::BusDevice& bus, libusb_device_handle* handle) : m_bus(bus), m_handle(handle)
{
}

LibusbDevice::~LibusbDevice()
{
    if (m_interface >= 0)
        libusb_release_interface(m_handle, m_interface);
    if (m_detachedInterface >= 0)
        libusb_attach_kernel_driver(m_handle, m_detachedInterface);
    libusb_close(m_handle);
}

unsigned char LibusbDevice::Endpoint(DWORD pipe) const { return pipe == kPipeBulkIn ? m_in : m_out; }

} // namespace plat::usb
