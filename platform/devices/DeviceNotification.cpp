#include "platform/devices/DeviceNotification.h"

#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/devices/BusWatch.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/dbt.h"
#include "platform/devices/setupapi.h"
#include "platform/kernel/Messages.h"
#include "platform/usb/DeviceFile.h"
#include "platform/usb/SocketEndpoint.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace plat::devices {

namespace {

struct Subscriber {
    HANDLE recipient = nullptr;
    bool service = false;
    bool allClasses = false;
    GUID classGuid{};
};

// Where a notice comes from.
enum class Source {
    Process, // a device attached or detached in this process
    Folder,  // a socket file coming or going
    Bus,     // udev: a device on the USB bus plugged in or pulled out
};

struct Notice {
    std::u16string path;
    DWORD eventType = 0;
    std::uint64_t flushTicket = 0; // non-zero: a flush marker, no notice
    Source source = Source::Process;
};

// A program may create its socket file a moment before it accepts on it.
// An arrival is passed on once the device answers; a file that never does
// (left over by a program that died) is no arrival.
bool WaitUntilServing(const std::u16string& path)
{
    const std::string endpoint = EndpointPathFor(path);
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (plat::usb::IsEndpointLive(endpoint))
            return true;
        if (access(endpoint.c_str(), F_OK) != 0)
            return false;
        usleep(10000);
    }
    return false;
}

// The process's subscribers and the one thread that delivers to them. Never
// destroyed: the thread may still run when the process ends.
class Notifier {
public:
    static Notifier& Get()
    {
        static Notifier* notifier = new Notifier;
        return *notifier;
    }

    HDEVNOTIFY Register(const Subscriber& subscriber)
    {
        std::lock_guard lock(m_mutex);
        StartLocked();
        WatchLocked(EndpointFolder());
        const std::uintptr_t id = m_nextId++;
        m_subscribers.emplace(id, subscriber);
        return reinterpret_cast<HDEVNOTIFY>(id);
    }

    void Watch()
    {
        std::lock_guard lock(m_mutex);
        StartLocked();
        WatchLocked(EndpointFolder());
    }

    bool Unregister(HDEVNOTIFY handle)
    {
        std::lock_guard lock(m_mutex);
        return m_subscribers.erase(reinterpret_cast<std::uintptr_t>(handle)) > 0;
    }

    void Announce(std::u16string_view path, DWORD eventType)
    {
        std::lock_guard lock(m_mutex);
        if (m_subscribers.empty())
            return;
        StartLocked();
        m_queue.push_back(Notice{std::u16string(path), eventType, 0});
        WakeLocked();
    }

    void Flush()
    {
        std::unique_lock lock(m_mutex);
        if (!m_started)
            return;
        const std::uint64_t ticket = ++m_lastTicket;
        m_queue.push_back(Notice{{}, 0, ticket});
        WakeLocked();
        m_flushed.wait(lock, [&] { return m_doneTicket >= ticket; });
    }

    void SetSink(ServiceDeviceEventSink sink)
    {
        std::lock_guard lock(m_mutex);
        m_sink = std::move(sink);
    }

private:
    void StartLocked()
    {
        if (m_started)
            return;
        m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        m_started = true;
        std::thread(&Notifier::Run, this).detach();
    }

    // Watches the device socket folder of the current system root (tests
    // move the root between cases).
    void WatchLocked(const std::string& folder)
    {
        if (m_inotify < 0 || folder == m_folder)
            return;
        if (m_watch >= 0)
            inotify_rm_watch(m_inotify, m_watch);
        m_watch = inotify_add_watch(m_inotify, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM);
        m_folder = m_watch >= 0 ? folder : std::string();
    }

    void WakeLocked()
    {
        std::uint64_t one = 1;
        if (m_wake >= 0)
            (void)!write(m_wake, &one, sizeof one);
    }

    // Turns socket appearances and disappearances into notices.
    void DrainFolderEvents()
    {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            ssize_t got = read(m_inotify, buffer, sizeof buffer);
            if (got <= 0)
                return;
            std::lock_guard lock(m_mutex);
            for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->wd != m_watch || event->len == 0)
                    continue;
                std::u16string path = InterfacePathForEndpointName(event->name);
                if (path.empty())
                    continue;
                const DWORD type =
                    (event->mask & (IN_CREATE | IN_MOVED_TO)) ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
                m_queue.push_back(Notice{std::move(path), type, 0, Source::Folder});
            }
        }
    }

    // Turns udev's news of served devices into notices.
    void DrainBusEvents(BusWatch& bus)
    {
        for (BusWatch::Change& change : bus.Drain()) {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(Notice{std::move(change.interfacePath),
                                     change.arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, 0, Source::Bus});
        }
    }

    void Deliver(const Notice& notice)
    {
        if (notice.source == Source::Folder && notice.eventType == DBT_DEVICEARRIVAL && !WaitUntilServing(notice.path))
            return;
        // Reads waiting on a device that left look again, and fail.
        if (notice.source != Source::Process && notice.eventType == DBT_DEVICEREMOVECOMPLETE)
            plat::usb::NotifyDeviceGone(notice.path);
        std::vector<Subscriber> subscribers;
        ServiceDeviceEventSink sink;
        {
            std::lock_guard lock(m_mutex);
            for (const auto& [id, subscriber] : m_subscribers)
                if (subscriber.allClasses || subscriber.classGuid == GUID_DEVINTERFACE_IMAGE)
                    subscribers.push_back(subscriber);
            sink = m_sink;
        }
        const std::size_t size =
            offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (notice.path.size() + 1) * sizeof(WCHAR);
        std::vector<DWORD> storage((std::max(size, sizeof(DEV_BROADCAST_DEVICEINTERFACE_W)) + 3) / 4, 0);
        auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(storage.data());
        record->dbcc_size = static_cast<DWORD>(size);
        record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        record->dbcc_classguid = GUID_DEVINTERFACE_IMAGE;
        std::memcpy(record->dbcc_name, notice.path.c_str(), (notice.path.size() + 1) * sizeof(WCHAR));

        for (const Subscriber& subscriber : subscribers) {
            if (subscriber.service) {
                if (sink)
                    sink(subscriber.recipient, notice.eventType, record);
            } else {
                SendMessageW(static_cast<HWND>(subscriber.recipient), WM_DEVICECHANGE, notice.eventType,
                             reinterpret_cast<LPARAM>(record));
            }
        }
    }

    void Run()
    {
        BusWatch bus;
        for (;;) {
            pollfd fds[3] = {{m_wake, POLLIN, 0}, {m_inotify, POLLIN, 0}, {bus.Descriptor(), POLLIN, 0}};
            poll(fds, 3, -1);
            std::uint64_t count = 0;
            (void)!read(m_wake, &count, sizeof count);
            if (m_inotify >= 0)
                DrainFolderEvents();
            DrainBusEvents(bus);
            for (;;) {
                Notice notice;
                {
                    std::lock_guard lock(m_mutex);
                    if (m_queue.empty())
                        break;
                    notice = std::move(m_queue.front());
                    m_queue.pop_front();
                }
                if (notice.flushTicket) {
                    // Whatever the folder and the bus saw before the flush
                    // was asked for goes out before the flush is answered.
                    DrainFolderEvents();
                    DrainBusEvents(bus);
                    std::lock_guard lock(m_mutex);
                    if (std::any_of(m_queue.begin(), m_queue.end(), [](const Notice& n) { return !n.flushTicket; })) {
                        m_queue.push_back(std::move(notice));
                        continue;
                    }
                    m_doneTicket = notice.flushTicket;
                    m_flushed.notify_all();
                } else {
                    Deliver(notice);
                }
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_flushed;
    std::map<std::uintptr_t, Subscriber> m_subscribers;
    std::uintptr_t m_nextId = 0x2000;
    std::deque<Notice> m_queue;
    ServiceDeviceEventSink m_sink;
    bool m_started = false;
    int m_inotify = -1;
    int m_wake = -1;
    int m_watch = -1;
    std::string m_folder;
    std::uint64_t m_lastTicket = 0;
    std::uint64_t m_doneTicket = 0;
};

} // namespace

void AnnounceDeviceEvent(std::u16string_view interfacePath, DeviceEvent event)
{
    Notifier::Get().Announce(interfacePath,
                             event == DeviceEvent::Arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE);
}

void SetServiceDeviceEventSink(ServiceDeviceEventSink sink) { Notifier::Get().SetSink(std::move(sink)); }

void WatchDeviceEndpoints() { Notifier::Get().Watch(); }

void FlushDeviceEvents() { Notifier::Get().Flush(); }

} // namespace plat::devices

HDEVNOTIFY RegisterDeviceNotificationW(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags)
{
    using namespace plat::devices;
    if (!hRecipient || (Flags & ~(DEVICE_NOTIFY_SERVICE_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!NotificationFilter) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    // Only device-interface filters exist here; their size must cover the class.
    const auto* header = static_cast<const DEV_BROADCAST_HDR*>(NotificationFilter);
    if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        header->dbch_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const auto* filter = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(NotificationFilter);
    Subscriber subscriber;
    subscriber.recipient = hRecipient;
    subscriber.service = (Flags & DEVICE_NOTIFY_SERVICE_HANDLE) != 0;
    subscriber.allClasses = (Flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0;
    subscriber.classGuid = filter->dbcc_classguid;
    SetLastError(ERROR_SUCCESS);
    return Notifier::Get().Register(subscriber);
}

BOOL UnregisterDeviceNotification(HDEVNOTIFY Handle)
{
    if (!plat::devices::Notifier::Get().Unregister(Handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
