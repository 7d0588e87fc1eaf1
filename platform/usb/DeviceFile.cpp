#include "platform/usb/DeviceFile.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/DeviceNotification.h"
#include "platform/devices/UsbBus.h"
#include "platform/kernel/Event.h"
#include "platform/usb/IdleConnections.h"
#include "platform/usb/LibusbBackend.h"
#include "platform/usb/SocketBackend.h"
#include "platform/usb/SocketEndpoint.h"
#include "platform/usb/TransferQueue.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace plat::usb {

namespace {

// Pipe numbers of the still-image driver's pipe controls.
constexpr DWORD kPipeEvent = 0;
constexpr DWORD kPipeAll = 3;

} // namespace

namespace {

// Open queues by path, so a detached device can wake their parked reads.
struct OpenQueues {
    std::mutex mutex;
    std::vector<std::weak_ptr<TransferQueue>> queues;
};

OpenQueues& Queues()
{
    static OpenQueues* queues = new OpenQueues;
    return *queues;
}

} // namespace

void NotifyDeviceGone(std::u16string_view interfacePath)
{
    std::vector<std::shared_ptr<TransferQueue>> wake;
    {
        OpenQueues& open = Queues();
        std::lock_guard lock(open.mutex);
        std::erase_if(open.queues, [](const std::weak_ptr<TransferQueue>& q) { return q.expired(); });
        for (auto& weak : open.queues)
            if (auto queue = weak.lock(); queue && devices::EqualsNoCase(queue->Path(), interfacePath))
                wake.push_back(queue);
    }
    for (auto& queue : wake)
        queue->Wake();
}

namespace {

// An in-process device is there while attached; attached anew, it is
// another device.
Presence InProcessPresence(const std::u16string& path, std::uint64_t generation)
{
    auto error = [path, generation](bool backendSaysGone) -> DWORD {
        AttachedDevice now = FindInProcessDevice(path);
        if (!now.backend)
            return ERROR_DEVICE_NOT_CONNECTED;
        if (now.generation != generation)
            return ERROR_ACCESS_DENIED;
        return backendSaysGone ? ERROR_DEVICE_NOT_CONNECTED : 0;
    };
    return {error, [] { return true; }};
}

// A device served by a program is there while our connection is; one that
// answers again on its socket is a new arrival, which this handle does not
// reach.
Presence SocketPresence(const std::string& endpoint)
{
    auto live = [endpoint] { return IsEndpointLive(endpoint); };
    auto error = [live](bool backendSaysGone) -> DWORD {
        if (!backendSaysGone)
            return 0;
        return live() ? ERROR_ACCESS_DENIED : ERROR_DEVICE_NOT_CONNECTED;
    };
    return {error, live};
}

// A device on the bus is gone when libusb says so; plugged in again it has
// another address, and this handle does not reach it.
Presence BusPresence(const std::u16string& path, const std::shared_ptr<LibusbBackend>& backend)
{
    std::weak_ptr<LibusbBackend> weak = backend;
    auto error = [path, weak](bool backendSaysGone) -> DWORD {
        std::shared_ptr<LibusbBackend> mine = weak.lock();
        if (!backendSaysGone || !mine)
            return 0;
        if (!mine->Gone())
            return ERROR_GEN_FAILURE;
        std::optional<devices::BusDevice> now = devices::FindBusDevice(path);
        return now && (now->sysPath != mine->Bus().sysPath || now->address != mine->Bus().address)
                   ? ERROR_ACCESS_DENIED
                   : ERROR_DEVICE_NOT_CONNECTED;
    };
    return {error, [] { return true; }};
}

// The connection an earlier handle left, or a new one.
int ConnectedEndpoint(const std::string& endpoint)
{
    const int idle = TakeIdleConnection(endpoint);
    return idle >= 0 ? idle : ConnectEndpoint(endpoint);
}

} // namespace

std::shared_ptr<DeviceFile> DeviceFile::Open(std::u16string_view path, DWORD access, bool overlapped, DWORD& error)
{
    std::string endpoint = devices::EndpointPathFor(path);
    if (endpoint.empty()) {
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    const std::u16string name(path);
    std::shared_ptr<TransferQueue> queue;
    if (AttachedDevice attached = FindInProcessDevice(path); attached.backend) {
        queue = std::make_shared<TransferQueue>(name, attached.backend, InProcessPresence(name, attached.generation));
    } else if (int fd = ConnectedEndpoint(endpoint); fd >= 0) {
        queue = std::make_shared<TransferQueue>(name, std::make_shared<SocketBackend>(fd, endpoint),
                                                SocketPresence(endpoint));
        devices::WatchDeviceEndpoints();
    } else if (std::optional<devices::BusDevice> bus = devices::FindBusDevice(path)) {
        std::shared_ptr<LibusbDevice> device = LibusbDevice::Open(*bus, error);
        if (!device)
            return nullptr;
        auto backend = std::make_shared<LibusbBackend>(std::move(device));
        queue = std::make_shared<TransferQueue>(name, backend, BusPresence(name, backend));
        devices::WatchDeviceEndpoints();
    } else {
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    // A synchronous handle's transfers run on the thread that asks for them.
    if (overlapped)
        queue->Start();
    {
        OpenQueues& open = Queues();
        std::lock_guard lock(open.mutex);
        std::erase_if(open.queues, [](const std::weak_ptr<TransferQueue>& q) { return q.expired(); });
        open.queues.push_back(queue);
    }
    error = 0;
    return std::make_shared<DeviceFile>(std::move(queue), access, overlapped);
}

DeviceFile::DeviceFile(std::shared_ptr<TransferQueue> queue, DWORD access, bool overlapped)
    : m_queue(std::move(queue)), m_access(access), m_overlapped(overlapped)
{
}

DeviceFile::~DeviceFile() { m_queue->Stop(); }

namespace {

// The record's event, held for the transfer's life (the caller may close
// its handle meanwhile). Null without a record or event; false for a handle
// that is no event.
bool EventOf(OVERLAPPED* overlapped, std::shared_ptr<EventObject>& event)
{
    if (!overlapped || !overlapped->hEvent)
        return true;
    event = ReferenceObject<EventObject>(overlapped->hEvent);
    return event != nullptr;
}

} // namespace

namespace {

// A read's or write's arguments against the handle: the access it needs, a
// buffer for any bytes, and somewhere for the result to go.
bool TransferArgumentsValid(DWORD access, DWORD needed, bool overlappedHandle, const void* buffer, DWORD size,
                            const DWORD* bytesDone, const OVERLAPPED* overlapped)
{
    if (!(access & needed)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if ((!buffer && size > 0) || (overlappedHandle && !overlapped) ||
        (!overlappedHandle && !overlapped && !bytesDone)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

// Hands the transfer to the queue; on a synchronous handle waits for it
// and reports its outcome, on an overlapped one leaves it pending.
BOOL RunTransfer(TransferQueue& queue, bool overlappedHandle, const TransferQueue::RequestPtr& request,
                 OVERLAPPED* overlapped, DWORD* bytesDone)
{
    request->overlapped = overlapped;
    if (!EventOf(overlapped, request->event))
        return FALSE;
    DWORD error = 0;
    if (!queue.Submit(request, error)) {
        SetLastError(error);
        return FALSE;
    }
    if (overlappedHandle) {
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    queue.RunUntilDone(request);
    if (bytesDone)
        *bytesDone = static_cast<DWORD>(request->bytes);
    if (request->error) {
        SetLastError(request->error);
        return FALSE;
    }
    return TRUE;
}

} // namespace

BOOL DeviceFile::Read(void* buffer, DWORD size, DWORD* bytesRead, OVERLAPPED* overlapped)
{
    if (bytesRead)
        *bytesRead = 0;
    if (!TransferArgumentsValid(m_access, GENERIC_READ, m_overlapped, buffer, size, bytesRead, overlapped))
        return FALSE;
    auto request = std::make_shared<TransferQueue::Request>();
    request->in = true;
    request->buffer = static_cast<std::uint8_t*>(buffer);
    request->size = size;
    return RunTransfer(*m_queue, m_overlapped, request, overlapped, bytesRead);
}

BOOL DeviceFile::Write(const void* buffer, DWORD size, DWORD* bytesWritten, OVERLAPPED* overlapped)
{
    if (bytesWritten)
        *bytesWritten = 0;
    if (!TransferArgumentsValid(m_access, GENERIC_WRITE, m_overlapped, buffer, size, bytesWritten, overlapped))
        return FALSE;
    // The caller keeps the bytes until the transfer is done; the device
    // takes them from there.
    auto request = std::make_shared<TransferQueue::Request>();
    request->buffer = static_cast<std::uint8_t*>(const_cast<void*>(buffer));
    request->size = size;
    return RunTransfer(*m_queue, m_overlapped, request, overlapped, bytesWritten);
}

BOOL DeviceFile::Control(DWORD code, const void* in, DWORD inSize, DWORD* bytesReturned, OVERLAPPED* overlapped)
{
    if (bytesReturned)
        *bytesReturned = 0;
    std::shared_ptr<EventObject> event;
    if (!EventOf(overlapped, event))
        return FALSE;
    DWORD error = 0;
    if (code != IOCTL_RESET_PIPE && code != IOCTL_CANCEL_IO) {
        error = ERROR_INVALID_FUNCTION;
    } else if (!in || inSize < sizeof(DWORD)) {
        error = ERROR_INVALID_PARAMETER;
    } else {
        DWORD pipe = 0;
        std::memcpy(&pipe, in, sizeof pipe);
        if (pipe > kPipeAll) {
            error = ERROR_INVALID_PARAMETER;
        } else if ((error = m_queue->DeviceError(false)) == 0 && pipe != kPipeEvent) {
            const bool inPipe = pipe == kPipeBulkIn || pipe == kPipeAll;
            const bool outPipe = pipe == kPipeBulkOut || pipe == kPipeAll;
            if (code == IOCTL_CANCEL_IO)
                m_queue->CancelPipes(inPipe, outPipe, ERROR_OPERATION_ABORTED);
            bool done = true;
            for (DWORD each : {kPipeBulkIn, kPipeBulkOut})
                if ((each == kPipeBulkIn ? inPipe : outPipe))
                    done = (code == IOCTL_RESET_PIPE ? m_queue->Backend().ResetPipe(each)
                                                     : m_queue->Backend().CancelPipe(each)) &&
                           done;
            if (!done)
                error = m_queue->DeviceError(true);
            if (!done && !error)
                error = ERROR_GEN_FAILURE;
        }
    }
    if (overlapped) {
        overlapped->InternalHigh = 0;
        overlapped->Internal = StatusFromError(error);
    }
    if (event)
        event->Set();
    if (error) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL DeviceFile::GetResult(OVERLAPPED* overlapped, DWORD* bytes, bool wait)
{
    if (!overlapped) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return m_queue->Result(overlapped, bytes, wait);
}

void DeviceFile::CancelAll() { m_queue->CancelPipes(true, true, ERROR_OPERATION_ABORTED); }

void DeviceFile::SetTimeout(DWORD milliseconds) { m_queue->SetTimeout(milliseconds); }

} // namespace plat::usb
