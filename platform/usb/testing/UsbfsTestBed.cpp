#include "platform/usb/testing/UsbfsTestBed.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <stdexcept>
#include <string_view>
#include <utility>

#include <link.h>
#include <sys/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <unistd.h>
#include <umockdev.h>

namespace plat::usb::testing {

namespace {

constexpr const char* kPreload = "libumockdev-preload.so.0";

struct LoadedLibraries {
    bool preload = false;
    std::string sanitizerRuntime; // one loaded as a library of its own must stay first
};

int NoteLibrary(dl_phdr_info* info, size_t, void* data)
{
    auto* loaded = static_cast<LoadedLibraries*>(data);
    const std::string_view name = info->dlpi_name ? info->dlpi_name : "";
    if (name.find("libumockdev-preload.so") != std::string_view::npos)
        loaded->preload = true;
    if (name.find("libasan.so") != std::string_view::npos || name.find("clang_rt.asan") != std::string_view::npos)
        loaded->sanitizerRuntime = std::string(name);
    return 0;
}

// Owns one reference to a piece of a client's memory.
class Data {
public:
    explicit Data(UMockdevIoctlData* data = nullptr) : m_data(data) {}
    ~Data()
    {
        if (m_data)
            g_object_unref(m_data);
    }
    Data(Data&& other) noexcept : m_data(std::exchange(other.m_data, nullptr)) {}
    Data& operator=(Data&& other) noexcept
    {
        std::swap(m_data, other.m_data);
        return *this;
    }
    UMockdevIoctlData* get() const { return m_data; }
    explicit operator bool() const { return m_data != nullptr; }
    template <class T>
    T* As() const
    {
        return reinterpret_cast<T*>(m_data->data);
    }

private:
    UMockdevIoctlData* m_data;
};

Data Resolve(UMockdevIoctlData* data, size_t offset, size_t length)
{
    GError* error = nullptr;
    UMockdevIoctlData* resolved = umockdev_ioctl_data_resolve(data, offset, length, &error);
    if (error)
        g_error_free(error);
    return Data(resolved);
}

// The argument of an ioctl that passes a pointer to a value or record.
template <class T>
Data ResolveArgument(UMockdevIoctlClient* client)
{
    return Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(T));
}

// The argument of an ioctl that passes a value, as the value.
unsigned long ArgumentValue(UMockdevIoctlClient* client)
{
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    unsigned long value = 0;
    std::memcpy(&value, arg->data, std::min(sizeof value, static_cast<size_t>(arg->data_len)));
    return value;
}

std::string Hex(const std::vector<std::uint8_t>& bytes)
{
    std::string text;
    char digits[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        text += digits;
    }
    return text;
}

std::string EndpointText(unsigned endpoint)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", endpoint & 0xFF);
    return text;
}

// A scanner's descriptors: the device, and one configuration with one
// vendor-specific interface: an interrupt IN endpoint for events, then bulk
// IN and bulk OUT for data.
std::vector<std::uint8_t> Descriptors(const UsbfsDeviceSpec& spec)
{
    const auto lo = [](WORD w) { return static_cast<std::uint8_t>(w & 0xFF); };
    const auto hi = [](WORD w) { return static_cast<std::uint8_t>(w >> 8); };
    // clang-format off
    return {
        18, 1, 0x00, 0x02, 0, 0, 0, 64, lo(spec.vendorId), hi(spec.vendorId), lo(spec.productId), hi(spec.productId),
        0x00, 0x01, 1, 2, static_cast<std::uint8_t>(spec.serial.empty() ? 0 : 3), 1,
        9, 2, 39, 0, 1, 1, 0, 0xC0, 50,
        9, 4, 0, 0, 3, 0xFF, 0xFF, 0xFF, 0,
        7, 5, 0x83, 3, 8, 0, 16,
        7, 5, 0x81, 2, 0x00, 0x02, 0,
        7, 5, 0x02, 2, 0x00, 0x02, 0,
    };
    // clang-format on
}

} // namespace

void RunUnderUsbfsTestBed(int argc, char** argv)
{
    (void)argc;
    LoadedLibraries loaded;
    dl_iterate_phdr(NoteLibrary, &loaded);
    if (loaded.preload)
        return;
    if (std::getenv("QBK_USBFS_REEXEC")) {
        std::fprintf(stderr, "umockdev's preload library %s did not load\n", kPreload);
        std::exit(1);
    }
    const std::string& runtime = loaded.sanitizerRuntime;
    std::string preload = runtime.empty() ? kPreload : runtime + ":" + kPreload;
    if (const char* old = std::getenv("LD_PRELOAD"); old && *old)
        preload += std::string(":") + old;
    setenv("LD_PRELOAD", preload.c_str(), 1);
    setenv("QBK_USBFS_REEXEC", "1", 1);
    execv("/proc/self/exe", argv);
    std::perror("cannot run the test again under umockdev");
    std::exit(1);
}

UsbfsTestBed::UsbfsTestBed(const std::string& parent)
{
    std::string oldTmp;
    if (const char* tmp = std::getenv("TMPDIR"))
        oldTmp = tmp;
    if (!parent.empty())
        setenv("TMPDIR", parent.c_str(), 1);
    m_bed = umockdev_testbed_new();
    if (!parent.empty()) {
        if (oldTmp.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", oldTmp.c_str(), 1);
    }
    if (!m_bed)
        throw std::runtime_error("cannot make a umockdev test bed");
}

UsbfsTestBed::~UsbfsTestBed() { g_object_unref(m_bed); }

std::string UsbfsTestBed::Root() const
{
    gchar* root = umockdev_testbed_get_root_dir(m_bed);
    std::string text = root ? root : "";
    g_free(root);
    return text;
}

// What the device's attachments share: the device side, the kernel driver
// and the actions the hosts took.
struct UsbfsDevice::State {
    std::mutex mutex;
    UsbBackend* deviceSide = nullptr;
    std::string driver;
    bool driverBound = false;
    std::vector<std::string> actions;
};

// The device as plugged in once: its device node and the usbfs handler of
// the clients that opened it.
struct UsbfsDevice::Attachment {
    struct Urb {
        Data record;
        Data buffer;
        bool in = false;
        unsigned endpoint = 0;
    };
    struct Client {
        std::deque<Urb> pending;
        std::deque<Urb> done;
        std::set<unsigned> claimed;
    };

    std::shared_ptr<State> state;
    std::string sysPath;
    std::string deviceNode;
    UMockdevIoctlBase* handler = nullptr;
    bool gone = false;
    std::map<UMockdevIoctlClient*, Client> clients;

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        auto* attachment = static_cast<Attachment*>(self);
        long result = 0;
        int error = 0;
        {
            std::lock_guard lock(attachment->state->mutex);
            result = attachment->Handle(client, error);
        }
        umockdev_ioctl_client_complete(client, result, error);
        return TRUE;
    }

    static void OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        auto* attachment = static_cast<Attachment*>(self);
        std::lock_guard lock(attachment->state->mutex);
        attachment->clients.erase(client);
    }

    static long Fail(int code, int& error)
    {
        error = code;
        return -1;
    }

    static void Finish(Urb& urb, int status, size_t bytes)
    {
        auto* record = urb.record.As<usbdevfs_urb>();
        record->status = status;
        record->actual_length = static_cast<int>(bytes);
    }

    static int StatusOf(UsbStatus status)
    {
        switch (status) {
        case UsbStatus::Ok:
        case UsbStatus::NoResponse:
            return 0;
        case UsbStatus::Stalled:
            return -EPIPE;
        case UsbStatus::Disconnected:
            return -ENODEV;
        case UsbStatus::TimedOut:
        case UsbStatus::Failed:
            return -EPROTO;
        }
        return -EPROTO;
    }

    // An IN URB gets what the device side has; false while it has nothing.
    bool AnswerIn(Urb& urb)
    {
        UsbBackend* side = state->deviceSide;
        if (!side)
            return false;
        auto* record = urb.record.As<usbdevfs_urb>();
        const UsbResult result =
            side->BulkIn(urb.buffer ? urb.buffer.get()->data : nullptr, static_cast<size_t>(record->buffer_length));
        if (result.status == UsbStatus::NoResponse)
            return false;
        Finish(urb, StatusOf(result.status), result.status == UsbStatus::Ok ? result.bytes : 0);
        return true;
    }

    // Pending IN URBs, oldest first, get the answers the device side has now.
    void AnswerPending()
    {
        for (auto& [client, each] : clients)
            while (!each.pending.empty() && AnswerIn(each.pending.front())) {
                each.done.push_back(std::move(each.pending.front()));
                each.pending.pop_front();
            }
    }

    long Submit(UMockdevIoctlClient* client, int& error)
    {
        Urb urb;
        urb.record = ResolveArgument<usbdevfs_urb>(client);
        if (!urb.record)
            return Fail(EFAULT, error);
        auto* record = urb.record.As<usbdevfs_urb>();
        if (record->type != USBDEVFS_URB_TYPE_BULK || record->buffer_length < 0)
            return Fail(EINVAL, error);
        if (gone)
            return Fail(ENODEV, error);
        urb.in = (record->endpoint & 0x80) != 0;
        urb.endpoint = record->endpoint;
        if (record->buffer_length > 0) {
            urb.buffer =
                Resolve(urb.record.get(), offsetof(usbdevfs_urb, buffer), static_cast<size_t>(record->buffer_length));
            if (!urb.buffer)
                return Fail(EFAULT, error);
        }
        Client& owner = clients[client];
        if (urb.in) {
            owner.pending.push_back(std::move(urb));
            AnswerPending();
            return 0;
        }
        UsbBackend* side = state->deviceSide;
        if (!side) {
            owner.pending.push_back(std::move(urb));
            return 0;
        }
        const UsbResult result =
            side->BulkOut(urb.buffer ? urb.buffer.get()->data : nullptr, static_cast<size_t>(record->buffer_length));
        Finish(urb, StatusOf(result.status), result.status == UsbStatus::Ok ? result.bytes : 0);
        owner.done.push_back(std::move(urb));
        // The device may have an answer for a read that waits.
        AnswerPending();
        return 0;
    }

    long Discard(UMockdevIoctlClient* client, int& error)
    {
        const unsigned long address = ArgumentValue(client);
        Client& owner = clients[client];
        for (auto it = owner.pending.begin(); it != owner.pending.end(); ++it) {
            if (it->record.get()->client_addr != address)
                continue;
            state->actions.push_back("discard " + EndpointText(it->endpoint));
            Finish(*it, -ENOENT, 0);
            owner.done.push_back(std::move(*it));
            owner.pending.erase(it);
            return 0;
        }
        return Fail(EINVAL, error);
    }

    long Reap(UMockdevIoctlClient* client, int& error)
    {
        Client& owner = clients[client];
        if (owner.done.empty())
            return Fail(gone ? ENODEV : EAGAIN, error);
        Data slot = ResolveArgument<void*>(client);
        if (!slot)
            return Fail(EFAULT, error);
        Urb urb = std::move(owner.done.front());
        owner.done.pop_front();
        umockdev_ioctl_data_set_ptr(slot.get(), 0, urb.record.get());
        return 0;
    }

    long Interface(UMockdevIoctlClient* client, bool claim, int& error)
    {
        Data number = ResolveArgument<unsigned>(client);
        if (!number)
            return Fail(EFAULT, error);
        const unsigned interface = *number.As<unsigned>();
        Client& owner = clients[client];
        if (claim) {
            if (state->driverBound && interface == 0)
                return Fail(EBUSY, error);
            for (const auto& [other, each] : clients)
                if (other != client && each.claimed.count(interface))
                    return Fail(EBUSY, error);
            owner.claimed.insert(interface);
        } else if (!owner.claimed.erase(interface)) {
            return Fail(EINVAL, error);
        }
        state->actions.push_back((claim ? "claim " : "release ") + std::to_string(interface));
        return 0;
    }

    long ClearHalt(UMockdevIoctlClient* client, int& error)
    {
        Data endpoint = ResolveArgument<unsigned>(client);
        if (!endpoint)
            return Fail(EFAULT, error);
        const unsigned address = *endpoint.As<unsigned>();
        state->actions.push_back("clear-halt " + EndpointText(address));
        UsbBackend* side = state->deviceSide;
        if (side && !side->ResetPipe((address & 0x80) ? kPipeBulkIn : kPipeBulkOut))
            return Fail(ENODEV, error);
        return 0;
    }

    long Driver(UMockdevIoctlClient* client, int& error)
    {
        Data request = ResolveArgument<usbdevfs_getdriver>(client);
        if (!request)
            return Fail(EFAULT, error);
        auto* driver = request.As<usbdevfs_getdriver>();
        if (driver->interface != 0 || !state->driverBound)
            return Fail(ENODATA, error);
        std::snprintf(driver->driver, sizeof driver->driver, "%s", state->driver.c_str());
        return 0;
    }

    long DriverControl(UMockdevIoctlClient* client, int& error)
    {
        Data request = ResolveArgument<usbdevfs_ioctl>(client);
        if (!request)
            return Fail(EFAULT, error);
        const auto* command = request.As<usbdevfs_ioctl>();
        if (command->ifno != 0)
            return Fail(EINVAL, error);
        if (static_cast<unsigned long>(command->ioctl_code) == USBDEVFS_DISCONNECT) {
            if (!state->driverBound)
                return Fail(ENODATA, error);
            state->driverBound = false;
            state->actions.push_back("detach " + state->driver);
            return 0;
        }
        if (static_cast<unsigned long>(command->ioctl_code) == USBDEVFS_CONNECT) {
            if (state->driverBound || state->driver.empty())
                return 0;
            for (const auto& [other, each] : clients)
                if (each.claimed.count(0))
                    return 0;
            state->driverBound = true;
            state->actions.push_back("attach " + state->driver);
            return 1;
        }
        return Fail(ENOTTY, error);
    }

    long Handle(UMockdevIoctlClient* client, int& error)
    {
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        switch (request) {
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            return Reap(client, error);
        case USBDEVFS_SUBMITURB:
            return Submit(client, error);
        default:
            break;
        }
        if (gone)
            return Fail(ENODEV, error);
        switch (request) {
        case USBDEVFS_DISCARDURB:
            return Discard(client, error);
        case USBDEVFS_CLAIMINTERFACE:
            return Interface(client, true, error);
        case USBDEVFS_RELEASEINTERFACE:
            return Interface(client, false, error);
        case USBDEVFS_CLEAR_HALT:
            return ClearHalt(client, error);
        case USBDEVFS_GETDRIVER:
            return Driver(client, error);
        case USBDEVFS_IOCTL:
            return DriverControl(client, error);
        case USBDEVFS_GET_CAPABILITIES: {
            Data caps = ResolveArgument<std::uint32_t>(client);
            if (!caps)
                return Fail(EFAULT, error);
            *caps.As<std::uint32_t>() = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                        USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_BULK_SCATTER_GATHER |
                                        USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            return 0;
        }
        case USBDEVFS_GET_SPEED:
            return 3; // high speed
        case USBDEVFS_RESET:
            return 0;
        default:
            // Among them the disconnect-and-claim call, for which libusb
            // then takes the two steps one by one.
            return Fail(ENOTTY, error);
        }
    }

    // The kernel ends a departed device's URBs with ENODEV.
    void Leave()
    {
        gone = true;
        for (auto& [client, each] : clients) {
            for (Urb& urb : each.pending) {
                Finish(urb, -ENODEV, 0);
                each.done.push_back(std::move(urb));
            }
            each.pending.clear();
        }
    }
};

UsbfsDevice::UsbfsDevice(UsbfsTestBed& bed, UsbBackend* deviceSide, UsbfsDeviceSpec spec)
    : m_bed(bed), m_deviceSide(deviceSide), m_spec(std::move(spec)), m_state(std::make_shared<State>())
{
    m_state->deviceSide = deviceSide;
    m_state->driver = m_spec.kernelDriver;
    m_state->driverBound = !m_spec.kernelDriver.empty();
    Plug();
}

UsbfsDevice::~UsbfsDevice()
{
    {
        std::lock_guard lock(m_plugMutex);
        if (m_plugger.joinable())
            m_plugger.join();
    }
    Unplug();
    for (const std::unique_ptr<Attachment>& attachment : m_attachments) {
        if (attachment->handler) {
            GError* error = nullptr;
            umockdev_testbed_detach_ioctl(m_bed.Get(), attachment->deviceNode.c_str(), &error);
            if (error)
                g_error_free(error);
            g_object_unref(attachment->handler);
        }
    }
}

void UsbfsDevice::Plug()
{
    if (Plugged())
        return;
    const unsigned address = m_bed.NextAddress();
    char node[32];
    std::snprintf(node, sizeof node, "bus/usb/%03u/%03u", unsigned{m_spec.busNumber}, address);
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x/%04x", m_spec.vendorId, m_spec.productId);
    const std::string vendor(ids, 4);
    const std::string product(ids + 5, 4);
    const std::string sysPath =
        "/sys/devices/pci0000:00/0000:00:14.0/usb" + std::to_string(m_spec.busNumber) + "/" + m_spec.sysName;
    const std::vector<std::uint8_t> descriptors = Descriptors(m_spec);
    std::string record = "P: " + sysPath.substr(4) + "\n" + "N: " + node + "=00\n" + "E: DEVNAME=/dev/" + node + "\n" +
                         "E: DEVTYPE=usb_device\n" + "E: SUBSYSTEM=usb\n" + "E: DRIVER=usb\n" +
                         "E: BUSNUM=" + std::string(node + 8, 3) + "\n" + "E: DEVNUM=" + std::string(node + 12, 3) +
                         "\n" + "E: ID_VENDOR_ID=" + vendor + "\n" + "E: ID_MODEL_ID=" + product + "\n" +
                         "A: idVendor=" + vendor + "\n" + "A: idProduct=" + product + "\n" + "A: bcdDevice=0100\n" +
                         "A: busnum=" + std::to_string(m_spec.busNumber) + "\n" +
                         "A: devnum=" + std::to_string(address) + "\n" + "A: speed=480\n" +
                         "A: bConfigurationValue=1\n" + "A: bNumConfigurations=1\n" + "A: bNumInterfaces= 1\n" +
                         "A: dev=189:" + std::to_string((m_spec.busNumber - 1) * 128 + address - 1) + "\n" +
                         "H: descriptors=" + Hex(descriptors) + "\n";
    if (!m_spec.serial.empty())
        record += "A: serial=" + m_spec.serial + "\nE: ID_SERIAL_SHORT=" + m_spec.serial + "\n";

    auto attachment = std::make_unique<Attachment>();
    attachment->state = m_state;
    attachment->sysPath = sysPath;
    attachment->deviceNode = std::string("/dev/") + node;
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(m_bed.Get(), record.c_str(), &error)) {
        const std::string message = error ? error->message : "?";
        if (error)
            g_error_free(error);
        throw std::runtime_error("cannot add the device to the test bed: " + message);
    }
    if (m_deviceSide || !m_spec.kernelDriver.empty()) {
        attachment->handler = umockdev_ioctl_base_new();
        g_signal_connect(attachment->handler, "handle-ioctl", G_CALLBACK(Attachment::OnIoctl), attachment.get());
        g_signal_connect(attachment->handler, "client-vanished", G_CALLBACK(Attachment::OnVanished), attachment.get());
        if (!umockdev_testbed_attach_ioctl(m_bed.Get(), attachment->deviceNode.c_str(), attachment->handler, &error)) {
            const std::string message = error ? error->message : "?";
            if (error)
                g_error_free(error);
            throw std::runtime_error("cannot answer the device's usbfs calls: " + message);
        }
    }
    std::lock_guard lock(m_state->mutex);
    m_attachments.push_back(std::move(attachment));
}

void UsbfsDevice::Unplug()
{
    Attachment* current = nullptr;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_attachments.empty() || m_attachments.back()->gone)
            return;
        current = m_attachments.back().get();
        current->Leave();
    }
    // As on a machine, whoever hears of the removal no longer finds the
    // device on the bus; umockdev makes the event from the device's own
    // folder, so that goes last.
    unlink((m_bed.Root() + "/sys/bus/usb/devices/" + m_spec.sysName).c_str());
    umockdev_testbed_uevent(m_bed.Get(), current->sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(m_bed.Get(), current->sysPath.c_str());
}

void UsbfsDevice::PlugLater(bool plugged, std::function<void()> done)
{
    std::lock_guard lock(m_plugMutex);
    m_plugger = std::thread([this, plugged, done = std::move(done), previous = std::move(m_plugger)]() mutable {
        if (previous.joinable())
            previous.join();
        if (plugged)
            Plug();
        else
            Unplug();
        if (done)
            done();
    });
}

bool UsbfsDevice::Plugged() const
{
    std::lock_guard lock(m_state->mutex);
    return !m_attachments.empty() && !m_attachments.back()->gone;
}

std::string UsbfsDevice::SysPath() const
{
    std::lock_guard lock(m_state->mutex);
    return m_attachments.back()->sysPath;
}

std::string UsbfsDevice::DeviceNode() const
{
    std::lock_guard lock(m_state->mutex);
    return m_attachments.back()->deviceNode;
}

std::string UsbfsDevice::NodeFile() const { return m_bed.Root() + DeviceNode(); }

std::vector<std::string> UsbfsDevice::Actions() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->actions;
}

bool UsbfsDevice::KernelDriverBound() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->driverBound;
}

} // namespace plat::usb::testing
