// Where incoming calls run, and how a thread waits for its own call's reply.
//
// An object exported from a single-threaded apartment is served on that
// thread: its calls are queued as tasks and a message to the apartment's
// hidden window runs them, so they run in the thread's message loop and in
// every message-pumping wait. Objects of a multithreaded apartment (or of a
// thread outside COM) are served by a pool of worker threads.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/kernel/KernelObject.h"

#include <functional>
#include <memory>

namespace plat::rpc {

// A queued piece of work: `run` true to run it, false when it never will
// (its apartment has gone) so that it can answer or clean up.
using Task = std::function<void(bool run)>;

// The apartment the calling thread serves objects in: its thread id when it
// is a single-threaded apartment (the hidden window is made here), 0 for
// the worker pool.
DWORD CurrentServingThread();

// Queues `task` for thread `threadId` (0: the worker pool). When the
// apartment is gone the task is called with false at once.
void PostTask(DWORD threadId, Task task);

// Waits until `done` is signalled. On a single-threaded apartment's thread
// the wait serves incoming calls meanwhile (calls arriving from the peer of
// this call, and any other call for this apartment).
void WaitServingCalls(const std::shared_ptr<Waitable>& done);

// One step of WaitServingCalls that also ends when `fd` is readable (or
// ended): Done when `done` is signalled, Served after serving the calls
// that were queued for this apartment, Readable when `fd` has bytes.
enum class WaitStep { Done, Served, Readable };
WaitStep WaitServingCallsOrReadable(const std::shared_ptr<Waitable>& done, int fd);

// A single-threaded apartment's thread leaves COM: its window goes and the
// tasks still queued are called with false.
void CloseCurrentApartment();

} // namespace plat::rpc
