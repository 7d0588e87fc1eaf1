// A thread's message queue (internal to the platform library). Everything
// in it is guarded by the kernel lock, so a message-pumping wait decides on
// handles and queued input together.
#pragma once

#include "platform/kernel/Messages.h"

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace plat {

// Which messages a PeekMessage/GetMessage looks at.
struct MessageFilter {
    HWND hwnd = nullptr; // null: every message; HWND_THREAD_MESSAGES: thread messages only
    UINT min = 0;
    UINT max = 0;

    bool MatchesMessage(UINT message) const;
    bool Matches(HWND target, UINT message) const;
};

// A message sent from another thread, waiting to be delivered by the owner.
// Signalled when the window procedure has answered (or never will).
class SentMessage : public Waitable {
public:
    bool IsSignalled() const override { return done; }

    MSG msg{};
    LRESULT result = 0;
    bool done = false;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT period;
    ULONGLONG due;
    TIMERPROC proc;
};

class MessageQueue : public Waitable {
public:
    explicit MessageQueue(DWORD ownerThreadId) : threadId(ownerThreadId) {}

    // The queue itself is never "signalled": waits ask HasInput instead.
    bool IsSignalled() const override { return false; }

    // Kernel lock held.
    bool HasInput(DWORD wakeMask, const MessageFilter& filter, ULONGLONG now) const;
    // The earliest due time after `now` of a timer the wait looks at (a
    // timer already due is input, not a reason to wake again).
    ULONGLONG NextTimerDue(DWORD wakeMask, const MessageFilter& filter, ULONGLONG now) const;

    const DWORD threadId;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::vector<Timer> timers;
    bool quitPosted = false;
    int quitCode = 0;
    bool closed = false; // the owner thread has ended
};

// What a message-pumping wait also waits for.
// `queue` may be null for a wait on `readableFd` alone. A wait with a
// readable descriptor (not a wait for all objects) also ends, with
// WAIT_OBJECT_0 + count + 1, when the descriptor is readable; signalled
// objects and input come first.
struct InputWait {
    MessageQueue* queue;
    DWORD wakeMask;
    MessageFilter filter;
    int readableFd = -1;
};

// Runs `hook` once, the next time the calling thread enters a kernel wait
// other than one on the readable descriptor `keepFd` (replacing an earlier
// hook); an empty hook clears it. For a thread that reads a socket on
// behalf of others and must hand that over before it blocks elsewhere.
void SetBeforeBlocking(std::function<void()> hook, int keepFd);
// Runs that hook now, as a thread does that leaves its apartment.
void RunBeforeBlocking();

// While set, every wait of the calling thread for messages (one with an
// input queue and no descriptor of its own) also watches `fd` and calls
// `read` when it is readable, outside the kernel lock, then goes on
// waiting; what `read` queues for the thread ends the wait as usual. For a
// single-threaded apartment that reads its peer's socket while idle, so
// the calls it serves wake it straight from the socket. -1 (or an empty
// `read`) stops it; `read` may stop it too.
void SetMessageWaitReader(int fd, std::function<void()> read);

// The wait behind every wait call: objects (any or all), optionally input,
// a time-out on the installed clock.
DWORD WaitForObjects(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll, DWORD timeoutMs,
                     const InputWait* input);

// Resolves handles to waitable objects; false with ERROR_INVALID_HANDLE when
// one is not open or not waitable.
bool ResolveWaitHandles(DWORD count, const HANDLE* handles, std::vector<std::shared_ptr<Waitable>>& objects);

// The calling thread's queue, made on first use.
MessageQueue& CurrentMessageQueue();

// The queue of a thread, or null when it has none (takes the kernel lock).
std::shared_ptr<MessageQueue> FindMessageQueue(DWORD threadId);

// Thread end: the queue is closed and unregistered; senders waiting on it
// get 0.
void CloseCurrentMessageQueue();

// A destroyed window: its posted messages and timers go.
void ForgetWindowMessages(DWORD ownerThreadId, HWND hwnd);

// Delivers every message other threads sent to this thread's queue.
void DeliverSentMessages(MessageQueue& queue);

} // namespace plat
