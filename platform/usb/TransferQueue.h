// The open device behind a handle and its pending transfers.
//
// OUT transfers go to the device in the order they were issued, before the
// oldest IN transfer, which is asked of the device when it may have an
// answer. A read the device has nothing for waits ("parked") until a later
// write may have produced an answer, its time-out passes on the installed
// clock, or it is cancelled.
//
// The device moves the bytes straight from and into the caller's buffer, so
// a cancel waits for the transfer the device is carrying out: after it,
// and after any completion, nothing touches the caller's memory. The
// OVERLAPPED record is written only under the queue's lock, once.
//
// Who carries the transfers out: on a synchronous handle the calling thread
// itself, while it waits for its own transfer (it also serves what other
// threads queued meanwhile); on an overlapped handle a transfer thread of
// the queue's own.
#pragma once

#include "platform/kernel/Event.h"
#include "platform/usb/UsbBackend.h"
#include "platform/usb/fileio.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plat::usb {

// The completion status kept in OVERLAPPED.Internal, as the system keeps it.
ULONG_PTR StatusFromError(DWORD error);

// How a handle learns that its device went away, or went and came back.
struct Presence {
    // 0 while the handle's device is there; else the error its transfers
    // get. `backendSaysGone`: the backend reported the device gone.
    std::function<DWORD(bool backendSaysGone)> error;
    // False once a program serving the device has taken its socket away.
    std::function<bool()> live;
};

class TransferQueue {
public:
    TransferQueue(std::u16string path, std::shared_ptr<UsbBackend> backend, Presence presence);
    ~TransferQueue();
    TransferQueue(const TransferQueue&) = delete;
    TransferQueue& operator=(const TransferQueue&) = delete;

    struct Request {
        bool in = false;
        std::uint8_t* buffer = nullptr; // the caller's: OUT the bytes to send, IN where the answer goes
        std::size_t size = 0;
        OVERLAPPED* overlapped = nullptr;
        std::shared_ptr<EventObject> event;
        bool done = false;
        DWORD error = 0;
        std::size_t bytes = 0;
        bool parked = false;
        ULONGLONG deadline = 0;
        DWORD cancelError = 0; // set when cancelled while the device carries it out
    };
    using RequestPtr = std::shared_ptr<Request>;

    // The transfer thread, for an overlapped handle.
    void Start();
    // Cancels everything pending and ends the transfer thread.
    void Stop();

    // Queues the transfer; false (with the error) once the queue stopped.
    bool Submit(const RequestPtr& request, DWORD& error);
    // Carries out queued transfers on the calling thread until this one is
    // done (a synchronous handle's transfer).
    void RunUntilDone(const RequestPtr& request);

    // GetOverlappedResult on a record of this queue's transfers.
    BOOL Result(OVERLAPPED* overlapped, DWORD* bytes, bool wait);

    // Completes every pending transfer of the pipes with `error`. A transfer
    // the device is carrying out right now is let finish first: what it
    // moved is reported as done (the device has it, or the caller has its
    // data); a read that found nothing ends with `error`. Either way nothing
    // touches the caller's memory after this returns.
    void CancelPipes(bool in, bool out, DWORD error);

    // 0 while the handle's device is there; else the error its transfers get.
    DWORD DeviceError(bool backendSaysGone) { return m_presence.error(backendSaysGone); }
    bool EndpointLive() const { return m_presence.live(); }

    UsbBackend& Backend() { return *m_backend; }
    const std::u16string& Path() const { return m_path; }

    void SetTimeout(DWORD milliseconds);
    // Something may have changed for a parked read: a write, or the device left.
    void Wake();

private:
    void Complete(Request& request, DWORD error, std::size_t bytes);
    // Under the lock, once the device is done with the transfer.
    void EndInFlight(const Request& request);
    // The request that uses this record, if it is still pending.
    RequestPtr PendingFor(const OVERLAPPED* overlapped);

    void Run();
    // One step of the work, under the lock (which it lets go while the
    // device works or a parked read waits); false when nothing is queued.
    bool Step(std::unique_lock<std::mutex>& lock);
    void SendOut(std::unique_lock<std::mutex>& lock);
    void AskIn(std::unique_lock<std::mutex>& lock);
    void WaitParked(std::unique_lock<std::mutex>& lock);

    const std::u16string m_path;
    const std::shared_ptr<UsbBackend> m_backend;
    const Presence m_presence;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    HANDLE m_wake = nullptr;
    std::deque<RequestPtr> m_out;
    std::deque<RequestPtr> m_in;
    std::vector<RequestPtr> m_pending;
    RequestPtr m_inFlight;   // the transfer the device is carrying out
    bool m_stepping = false; // a thread carries out the work
    bool m_retryIn = false;
    bool m_recheck = false;
    bool m_stop = false;
    DWORD m_timeoutMs = kDefaultTransferTimeoutMs;
    std::thread m_thread;
};

} // namespace plat::usb
