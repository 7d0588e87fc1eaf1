#include "platform/usb/DeviceFile.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/devices/DeviceDatabase.h"
#include "platform/devices/DeviceNotification.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/Wait.h"
#include "platform/devices/UsbBus.h"
#include "platform/usb/LibusbBackend.h"
#include "platform/usb/SocketBackend.h"
#include "platform/usb/SocketEndpoint.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace plat::usb {

namespace {

// The completion status kept in OVERLAPPED.Internal, as the system keeps
// it, and the Win32 error GetOverlappedResult makes of it.
struct StatusCode {
    DWORD error;
    ULONG_PTR status;
};
constexpr StatusCode kStatusCodes[] = {
    {ERROR_SUCCESS, 0x00000000},
    {ERROR_OPERATION_ABORTED, 0xC0000120},
    {ERROR_SEM_TIMEOUT, 0xC00000B5},
    {ERROR_DEVICE_NOT_CONNECTED, 0xC000009D},
    {ERROR_GEN_FAILURE, 0xC0000001},
    {ERROR_ACCESS_DENIED, 0xC0000022},
    {ERROR_INVALID_PARAMETER, 0xC000000D},
    {ERROR_INVALID_FUNCTION, 0xC0000010},
};

ULONG_PTR StatusFromError(DWORD error)
{
    for (const StatusCode& code : kStatusCodes)
        if (code.error == error)
            return code.status;
    return 0xC0000001;
}

DWORD ErrorFromStatus(ULONG_PTR status)
{
    for (const StatusCode& code : kStatusCodes)
        if (code.status == status)
            return code.error;
    return ERROR_GEN_FAILURE;
}

// Pipe numbers of the still-image driver's pipe controls.
constexpr DWORD kPipeEvent = 0;
constexpr DWORD kPipeAll = 3;

// How a handle learns that its device went away, or went and came back.
struct Presence {
    // 0 while the handle's device is there; else the error its transfers
    // get. `backendSaysGone`: the backend reported the device gone.
    std::function<DWORD(bool backendSaysGone)> error;
    // False once a program serving the device has taken its socket away.
    std::function<bool()> live;
};

} // namespace

// The open device and its pending transfers, shared by the handle's object
// and its transfer thread.
class TransferQueue {
public:
    TransferQueue(std::u16string path, std::shared_ptr<UsbBackend> backend, Presence presence)
        : m_path(std::move(path)), m_backend(std::move(backend)), m_presence(std::move(presence))
    {
        m_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        m_backend->SetTransferTimeout(m_timeoutMs);
    }

    ~TransferQueue()
    {
        if (m_wake)
            CloseHandle(m_wake);
    }

    struct Request {
        bool in = false;
        std::vector<std::uint8_t> data;  // OUT: the bytes to send; IN: where the device's answer lands first
        std::uint8_t* callerBuffer = nullptr;
        OVERLAPPED* overlapped = nullptr;
        std::shared_ptr<EventObject> event;
        bool done = false;
        DWORD error = 0;
        std::size_t bytes = 0;
        bool parked = false;
        ULONGLONG deadline = 0;
        DWORD cancelError = 0;  // set when cancelled while the device carries it out
    };
    using RequestPtr = std::shared_ptr<Request>;

    void Start() { m_thread = std::thread(&TransferQueue::Run, this); }

    void Stop()
    {
        CancelPipes(true, true, ERROR_OPERATION_ABORTED);
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        Wake();
        if (m_thread.joinable())
            m_thread.join();
    }

    bool Submit(const RequestPtr& request, DWORD& error)
    {
        // Reset before the transfer can complete, so its signal is never lost.
        if (request->event)
            request->event->Reset();
        {
            std::lock_guard lock(m_mutex);
            if (request->overlapped) {
                request->overlapped->Internal = STATUS_PENDING;
                request->overlapped->InternalHigh = 0;
            }
            if (m_stop) {
                error = ERROR_OPERATION_ABORTED;
                return false;
            }
            (request->in ? m_in : m_out).push_back(request);
            m_pending.push_back(request);
        }
        Wake();
        return true;
    }

    void WaitDone(const RequestPtr& request)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return request->done; });
    }

    // The request that uses this record, if it is still pending.
    RequestPtr PendingFor(const OVERLAPPED* overlapped)
    {
        for (const RequestPtr& request : m_pending)
            if (request->overlapped == overlapped && !request->done)
                return request;
        return nullptr;
    }

    // GetOverlappedResult: reads the record under the queue's lock, since
    // the transfer thread writes it under that lock.
    BOOL Result(OVERLAPPED* overlapped, DWORD* bytes, bool wait)
    {
        std::unique_lock lock(m_mutex);
        if (wait)
            m_changed.wait(lock, [&] { return !PendingFor(overlapped) && overlapped->Internal != STATUS_PENDING; });
        if (overlapped->Internal == STATUS_PENDING) {
            SetLastError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
        if (bytes)
            *bytes = static_cast<DWORD>(overlapped->InternalHigh);
        if (overlapped->Internal != 0) {
            SetLastError(ErrorFromStatus(overlapped->Internal));
            return FALSE;
        }
        return TRUE;
    }

    // Completes every pending transfer of the pipes with `error`. A transfer
    // the device is carrying out right now is let finish first: what it
    // moved is reported as done (the device has it, or the caller has its
    // data); a read that found nothing ends with `error`. Either way nothing
    // touches the caller's memory after this returns.
    void CancelPipes(bool in, bool out, DWORD error)
    {
        {
            std::unique_lock lock(m_mutex);
            auto cancel = [&](std::deque<RequestPtr>& queue) {
                for (const RequestPtr& request : queue) {
                    if (request == m_inFlight) {
                        request->cancelError = error;
                        // A device on the bus is waited for: end the wait.
                        m_backend->SetAborted(request->in ? kPipeBulkIn : kPipeBulkOut, true);
                    } else {
                        Complete(*request, error, 0);
                    }
                }
                std::erase_if(queue, [&](const RequestPtr& r) { return r != m_inFlight; });
            };
            if (in)
                cancel(m_in);
            if (out)
                cancel(m_out);
            m_changed.wait(lock, [&] { return !m_inFlight || !(m_inFlight->in ? in : out); });
        }
    }

    // 0 while the handle's device is there; else the error its transfers get.
    DWORD DeviceError(bool backendSaysGone) { return m_presence.error(backendSaysGone); }
    bool EndpointLive() const { return m_presence.live(); }

    UsbBackend& Backend() { return *m_backend; }
    const std::u16string& Path() const { return m_path; }

    void SetTimeout(DWORD milliseconds)
    {
        std::lock_guard lock(m_mutex);
        m_timeoutMs = milliseconds;
        m_backend->SetTransferTimeout(milliseconds);
    }

    void Wake()
    {
        m_changed.notify_all();
        if (m_wake)
            SetEvent(m_wake);
    }

private:
    void Complete(Request& request, DWORD error, std::size_t bytes)
    {
        if (request.done)
            return;
        if (request.in && error == 0 && bytes > 0)
            std::memcpy(request.callerBuffer, request.data.data(), bytes);
        request.done = true;
        request.error = error;
        request.bytes = bytes;
        if (request.overlapped) {
            request.overlapped->InternalHigh = bytes;
            request.overlapped->Internal = StatusFromError(error);
        }
        // Signalled before anyone can see the transfer done, so a caller
        // that returns from a synchronous transfer finds its event set.
        if (request.event)
            request.event->Set();
        std::erase_if(m_pending, [&](const RequestPtr& p) { return p.get() == &request; });
        m_changed.notify_all();
    }

    static DWORD ErrorOf(UsbStatus status)
    {
        switch (status) {
        case UsbStatus::Ok:
        case UsbStatus::NoResponse:
            return 0;
        case UsbStatus::Stalled:
        case UsbStatus::Failed:
            return ERROR_GEN_FAILURE;
        case UsbStatus::Disconnected:
            return ERROR_DEVICE_NOT_CONNECTED;
        case UsbStatus::TimedOut:
            return ERROR_SEM_TIMEOUT;
        }
        return ERROR_GEN_FAILURE;
    }

    // Under the lock, once the device is done with the transfer.
    void EndInFlight(const Request& request)
    {
        m_inFlight = nullptr;
        if (request.cancelError)
            m_backend->SetAborted(request.in ? kPipeBulkIn : kPipeBulkOut, false);
        m_changed.notify_all();
    }

    void Run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            if (!m_out.empty()) {
                RequestPtr request = m_out.front();
                m_inFlight = request;
                lock.unlock();
                DWORD error = DeviceError(false);
                UsbResult result;
                if (!error) {
                    result = m_backend->BulkOut(request->data.data(), request->data.size());
                    error = result.status == UsbStatus::Disconnected ? DeviceError(true) : ErrorOf(result.status);
                }
                lock.lock();
                EndInFlight(*request);
                std::erase(m_out, request);
                // A write that was aborted before the device took anything.
                if (!error && result.status == UsbStatus::NoResponse && request->cancelError)
                    error = request->cancelError;
                Complete(*request, error, error ? 0 : result.bytes);
                // The device may have an answer for a parked read now.
                m_retryIn = true;
            } else if (!m_in.empty() && (!m_in.front()->parked || m_retryIn || m_recheck)) {
                RequestPtr request = m_in.front();
                // A parked read asks the device again when something may have
                // changed: a write went out, or the device may have left.
                const bool poll = !request->parked || m_retryIn || m_recheck;
                const bool recheck = m_recheck;
                m_retryIn = false;
                m_recheck = false;
                m_inFlight = request;
                lock.unlock();
                DWORD error = DeviceError(false);
                UsbResult result{UsbStatus::NoResponse, 0};
                if (!error && poll) {
                    result = m_backend->BulkIn(request->data.data(), request->data.size());
                    error = result.status == UsbStatus::Disconnected ? DeviceError(true) : ErrorOf(result.status);
                }
                // A program that took its socket away is leaving, even if
                // our connection still answers for a moment.
                if (!error && recheck && result.status == UsbStatus::NoResponse && !EndpointLive())
                    error = ERROR_DEVICE_NOT_CONNECTED;
                lock.lock();
                EndInFlight(*request);
                if (!error && result.status == UsbStatus::NoResponse && request->cancelError) {
                    std::erase(m_in, request);
                    Complete(*request, request->cancelError, 0);
                } else if (!error && result.status == UsbStatus::NoResponse) {
                    if (!request->parked) {
                        request->parked = true;
                        request->deadline = GetClock().NowMs() + m_timeoutMs;
                    }
                } else {
                    std::erase(m_in, request);
                    Complete(*request, error, error ? 0 : std::min(result.bytes, request->data.size()));
                }
            } else if (!m_in.empty()) {
                // A parked read: wait for news or its deadline, on the clock.
                RequestPtr request = m_in.front();
                const ULONGLONG now = GetClock().NowMs();
                if (now >= request->deadline) {
                    m_in.pop_front();
                    Complete(*request, ERROR_SEM_TIMEOUT, 0);
                } else {
                    const ULONGLONG left = request->deadline - now;
                    lock.unlock();
                    WaitForSingleObject(m_wake, static_cast<DWORD>(std::min<ULONGLONG>(left, INFINITE - 1)));
                    lock.lock();
                    m_recheck = true;
                }
            } else {
                m_changed.wait(lock, [&] { return m_stop || !m_out.empty() || !m_in.empty(); });
            }
        }
    }

    const std::u16string m_path;
    const std::shared_ptr<UsbBackend> m_backend;
    const Presence m_presence;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    HANDLE m_wake = nullptr;
    std::deque<RequestPtr> m_out;
    std::deque<RequestPtr> m_in;
    std::vector<RequestPtr> m_pending;
    RequestPtr m_inFlight;  // the transfer the device is carrying out
    bool m_retryIn = false;
    bool m_recheck = false;
    bool m_stop = false;
    DWORD m_timeoutMs = kDefaultTransferTimeoutMs;
    std::thread m_thread;
};

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
    } else if (int fd = ConnectEndpoint(endpoint); fd >= 0) {
        queue = std::make_shared<TransferQueue>(name, std::make_shared<SocketBackend>(fd), SocketPresence(endpoint));
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

DeviceFile::~DeviceFile()
{
    m_queue->Stop();
}

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
    queue.WaitDone(request);
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
    request->data.resize(size);
    request->callerBuffer = static_cast<std::uint8_t*>(buffer);
    return RunTransfer(*m_queue, m_overlapped, request, overlapped, bytesRead);
}

BOOL DeviceFile::Write(const void* buffer, DWORD size, DWORD* bytesWritten, OVERLAPPED* overlapped)
{
    if (bytesWritten)
        *bytesWritten = 0;
    if (!TransferArgumentsValid(m_access, GENERIC_WRITE, m_overlapped, buffer, size, bytesWritten, overlapped))
        return FALSE;
    auto request = std::make_shared<TransferQueue::Request>();
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    request->data.assign(bytes, bytes + size);
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

void DeviceFile::CancelAll()
{
    m_queue->CancelPipes(true, true, ERROR_OPERATION_ABORTED);
}

void DeviceFile::SetTimeout(DWORD milliseconds)
{
    m_queue->SetTimeout(milliseconds);
}

} // namespace plat::usb
