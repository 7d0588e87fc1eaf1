#include "platform/usb/TransferQueue.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/Wait.h"

#include <algorithm>

namespace plat::usb {

namespace {

// The completion status kept in OVERLAPPED.Internal and the Win32 error
// GetOverlappedResult makes of it.
struct StatusCode {
    DWORD error;
    ULONG_PTR status;
};
constexpr StatusCode kStatusCodes[] = {
    {ERROR_SUCCESS, 0x00000000},           {ERROR_OPERATION_ABORTED, 0xC0000120},
    {ERROR_SEM_TIMEOUT, 0xC00000B5},       {ERROR_DEVICE_NOT_CONNECTED, 0xC000009D},
    {ERROR_GEN_FAILURE, 0xC0000001},       {ERROR_ACCESS_DENIED, 0xC0000022},
    {ERROR_INVALID_PARAMETER, 0xC000000D}, {ERROR_INVALID_FUNCTION, 0xC0000010},
};

DWORD ErrorFromStatus(ULONG_PTR status)
{
    for (const StatusCode& code : kStatusCodes)
        if (code.status == status)
            return code.error;
    return ERROR_GEN_FAILURE;
}

DWORD ErrorOf(UsbStatus status)
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

} // namespace

ULONG_PTR StatusFromError(DWORD error)
{
    for (const StatusCode& code : kStatusCodes)
        if (code.error == error)
            return code.status;
    return 0xC0000001;
}

TransferQueue::TransferQueue(std::u16string path, std::shared_ptr<UsbBackend> backend, Presence presence)
    : m_path(std::move(path)), m_backend(std::move(backend)), m_presence(std::move(presence))
{
    m_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_backend->SetTransferTimeout(m_timeoutMs);
}

TransferQueue::~TransferQueue()
{
    if (m_wake)
        CloseHandle(m_wake);
}

void TransferQueue::Start() { m_thread = std::thread(&TransferQueue::Run, this); }

void TransferQueue::Stop()
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

bool TransferQueue::Submit(const RequestPtr& request, DWORD& error)
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

void TransferQueue::RunUntilDone(const RequestPtr& request)
{
    std::unique_lock lock(m_mutex);
    while (!request->done) {
        // One thread at a time carries out the queue's work; the others
        // wait for it to finish theirs or to hand the work over.
        if (m_stepping) {
            m_changed.wait(lock, [&] { return request->done || !m_stepping; });
            continue;
        }
        m_stepping = true;
        const bool worked = Step(lock);
        m_stepping = false;
        m_changed.notify_all();
        if (!worked)
            m_changed.wait(lock, [&] { return request->done || !m_out.empty() || !m_in.empty(); });
    }
}

TransferQueue::RequestPtr TransferQueue::PendingFor(const OVERLAPPED* overlapped)
{
    for (const RequestPtr& request : m_pending)
        if (request->overlapped == overlapped && !request->done)
            return request;
    return nullptr;
}

BOOL TransferQueue::Result(OVERLAPPED* overlapped, DWORD* bytes, bool wait)
{
    // The record is written under the queue's lock, so it is read under it.
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

void TransferQueue::CancelPipes(bool in, bool out, DWORD error)
{
    std::unique_lock lock(m_mutex);
    bool parkedRead = false;
    auto cancel = [&](std::deque<RequestPtr>& queue) {
        for (const RequestPtr& request : queue) {
            if (request == m_inFlight) {
                request->cancelError = error;
                // A device on the bus is waited for: end the wait.
                m_backend->SetAborted(request->in ? kPipeBulkIn : kPipeBulkOut, true);
            } else {
                parkedRead = parkedRead || request->parked;
                Complete(*request, error, 0);
            }
        }
        std::erase_if(queue, [&](const RequestPtr& r) { return r != m_inFlight; });
    };
    if (in)
        cancel(m_in);
    if (out)
        cancel(m_out);
    // A thread waiting out a parked read's time-out sees it gone at once.
    if (parkedRead && m_wake)
        SetEvent(m_wake);
    m_changed.wait(lock, [&] { return !m_inFlight || !(m_inFlight->in ? in : out); });
}

void TransferQueue::SetTimeout(DWORD milliseconds)
{
    std::lock_guard lock(m_mutex);
    m_timeoutMs = milliseconds;
    m_backend->SetTransferTimeout(milliseconds);
}

void TransferQueue::Wake()
{
    m_changed.notify_all();
    if (m_wake)
        SetEvent(m_wake);
}

void TransferQueue::Complete(Request& request, DWORD error, std::size_t bytes)
{
    if (request.done)
        return;
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

void TransferQueue::EndInFlight(const Request& request)
{
    m_inFlight = nullptr;
    if (request.cancelError)
        m_backend->SetAborted(request.in ? kPipeBulkIn : kPipeBulkOut, false);
    m_changed.notify_all();
}

void TransferQueue::Run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        if (!Step(lock))
            m_changed.wait(lock, [&] { return m_stop || !m_out.empty() || !m_in.empty(); });
    }
}

bool TransferQueue::Step(std::unique_lock<std::mutex>& lock)
{
    if (!m_out.empty())
        SendOut(lock);
    else if (!m_in.empty() && (!m_in.front()->parked || m_retryIn || m_recheck))
        AskIn(lock);
    else if (!m_in.empty())
        WaitParked(lock);
    else
        return false;
    return true;
}

void TransferQueue::SendOut(std::unique_lock<std::mutex>& lock)
{
    RequestPtr request = m_out.front();
    m_inFlight = request;
    lock.unlock();
    DWORD error = DeviceError(false);
    UsbResult result;
    if (!error) {
        result = m_backend->BulkOut(request->buffer, request->size);
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
}

void TransferQueue::AskIn(std::unique_lock<std::mutex>& lock)
{
    RequestPtr request = m_in.front();
    // A parked read asks the device again when something may have changed:
    // a write went out, or the device may have left.
    const bool recheck = m_recheck;
    m_retryIn = false;
    m_recheck = false;
    m_inFlight = request;
    lock.unlock();
    DWORD error = DeviceError(false);
    UsbResult result{UsbStatus::NoResponse, 0};
    if (!error) {
        result = m_backend->BulkIn(request->buffer, request->size);
        error = result.status == UsbStatus::Disconnected ? DeviceError(true) : ErrorOf(result.status);
    }
    // A program that took its socket away is leaving, even if our
    // connection still answers for a moment.
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
        Complete(*request, error, error ? 0 : std::min(result.bytes, request->size));
    }
}

void TransferQueue::WaitParked(std::unique_lock<std::mutex>& lock)
{
    // Wait for news or the deadline, on the clock.
    RequestPtr request = m_in.front();
    const ULONGLONG now = GetClock().NowMs();
    if (now >= request->deadline) {
        m_in.pop_front();
        Complete(*request, ERROR_SEM_TIMEOUT, 0);
        return;
    }
    const ULONGLONG left = request->deadline - now;
    lock.unlock();
    WaitForSingleObject(m_wake, static_cast<DWORD>(std::min<ULONGLONG>(left, INFINITE - 1)));
    lock.lock();
    m_recheck = true;
}

} // namespace plat::usb
