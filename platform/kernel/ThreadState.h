// What the kernel layer keeps per thread (internal to the platform library).
#pragma once

#include "platform/kernel/KernelObject.h"

#include <functional>
#include <memory>
#include <vector>

namespace plat {

class MessageQueue;
class MutexObject;
class ThreadObject;

struct ThreadState {
    ThreadState();
    ~ThreadState();

    // Ends the thread for the kernel layer: its queue and windows go away,
    // then its handle is signalled with `exitCode`. Runs once.
    void End();
    // Runs the hook set by SetBeforeBlocking once, now.
    void RunBeforeBlocking();

    DWORD threadId;
    ThreadWaiter waiter;
    std::shared_ptr<ThreadObject> self;                   // made on demand for threads not made by CreateThread
    std::shared_ptr<MessageQueue> queue;                  // made on the first message call
    std::vector<std::weak_ptr<MutexObject>> ownedMutexes; // abandoned if still owned at the end
    DWORD exitCode = 0;
    bool ended = false;
    std::function<void()> beforeBlocking; // see SetBeforeBlocking
    int beforeBlockingKeepFd = -1;
    int messageWaitFd = -1; // see SetMessageWaitReader
    std::function<void()> messageWaitRead;
};

ThreadState& CurrentThreadState();

// The calling thread's own object (what GetCurrentThread stands for).
std::shared_ptr<KernelObject> CurrentThreadObject();

} // namespace plat
