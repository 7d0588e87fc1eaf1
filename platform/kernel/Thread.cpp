#include "platform/kernel/Thread.h"
#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/kernel/MessageQueue.h"
#include "platform/kernel/Mutex.h"
#include "platform/kernel/TaskObject.h"
#include "platform/kernel/ThreadState.h"
#include "platform/kernel/WindowTable.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

namespace plat {

class ThreadObject : public TaskObject {
public:
    // Kernel lock held for all members.
    DWORD threadId = 0;
    DWORD suspendCount = 0;
    std::condition_variable stateChanged; // thread id known, resumed
};

bool TaskObject::Finish(DWORD exitCode)
{
    std::lock_guard lock(KernelMutex());
    return FinishLocked(exitCode);
}

bool TaskObject::FinishLocked(DWORD exitCode)
{
    if (m_ended)
        return false;
    m_ended = true;
    m_exitCode = exitCode;
    WakeWaiters();
    return true;
}

ThreadState::ThreadState() : threadId(static_cast<DWORD>(gettid())) {}

ThreadState::~ThreadState() { End(); }

void ThreadState::End()
{
    if (ended)
        return;
    ended = true;
    RunBeforeBlocking(); // what the thread did for others is handed over
    if (queue) {
        CloseCurrentMessageQueue();
        RemoveThreadWindows(threadId);
    }
    for (const std::weak_ptr<MutexObject>& owned : std::exchange(ownedMutexes, {})) {
        if (std::shared_ptr<MutexObject> mutex = owned.lock())
            mutex->Abandon();
    }
    if (self)
        self->Finish(exitCode);
}

void ThreadState::RunBeforeBlocking()
{
    if (!beforeBlocking)
        return;
    std::function<void()> hook = std::move(beforeBlocking);
    beforeBlocking = nullptr;
    hook();
}

ThreadState& CurrentThreadState()
{
    thread_local ThreadState state;
    return state;
}

std::shared_ptr<KernelObject> CurrentThreadObject()
{
    ThreadState& state = CurrentThreadState();
    if (!state.self) {
        state.self = std::make_shared<ThreadObject>();
        state.self->threadId = state.threadId;
    }
    return state.self;
}

namespace {

struct StartBlock {
    std::shared_ptr<ThreadObject> object;
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
};

// Ends the thread for the kernel layer however it leaves: by returning, or
// by ExitThread (whose unwinding runs this destructor).
struct ThreadEnd {
    ~ThreadEnd() { CurrentThreadState().End(); }
};

void* ThreadMain(void* argument)
{
    std::unique_ptr<StartBlock> start(static_cast<StartBlock*>(argument));
    ThreadState& state = CurrentThreadState();
    state.self = start->object;
    {
        std::unique_lock lock(KernelMutex());
        start->object->threadId = state.threadId;
        start->object->stateChanged.notify_all();
        start->object->stateChanged.wait(lock, [&] { return start->object->suspendCount == 0; });
    }
    ThreadEnd end;
    const DWORD exitCode = start->routine(start->parameter);
    state.exitCode = exitCode;
    return nullptr;
}

} // namespace

} // namespace plat

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                    DWORD dwCreationFlags, LPDWORD lpThreadId)
{
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = std::make_shared<plat::ThreadObject>();
    object->suspendCount = (dwCreationFlags & CREATE_SUSPENDED) ? 1 : 0;
    auto* start = new plat::StartBlock{object, lpStartAddress, lpParameter};

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int error = pthread_create(&thread, &attributes, plat::ThreadMain, start);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete start;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    DWORD threadId;
    {
        std::unique_lock lock(plat::KernelMutex());
        object->stateChanged.wait(lock, [&] { return object->threadId != 0; });
        threadId = object->threadId;
    }
    if (lpThreadId)
        *lpThreadId = threadId;
    return plat::InsertHandle(std::move(object));
}

uintptr_t _beginthreadex(void* security, unsigned stack_size, unsigned (*start_address)(void*), void* arglist,
                         unsigned initflag, unsigned* thrdaddr)
{
    // Same calling convention and width here: the routine can start the
    // thread as it is.
    DWORD threadId = 0;
    HANDLE handle = CreateThread(static_cast<LPSECURITY_ATTRIBUTES>(security), stack_size,
                                 reinterpret_cast<LPTHREAD_START_ROUTINE>(start_address), arglist, initflag, &threadId);
    if (thrdaddr)
        *thrdaddr = threadId;
    return reinterpret_cast<uintptr_t>(handle);
}

DWORD ResumeThread(HANDLE hThread)
{
    auto object = plat::ReferenceObject<plat::ThreadObject>(hThread);
    if (!object)
        return static_cast<DWORD>(-1);
    std::lock_guard lock(plat::KernelMutex());
    const DWORD previous = object->suspendCount;
    if (object->suspendCount > 0 && --object->suspendCount == 0)
        object->stateChanged.notify_all();
    return previous;
}

void ExitThread(DWORD dwExitCode)
{
    plat::CurrentThreadState().exitCode = dwExitCode;
    pthread_exit(nullptr);
}

BOOL TerminateThread(HANDLE hThread, DWORD dwExitCode)
{
    auto object = plat::ReferenceObject<plat::ThreadObject>(hThread);
    if (!object)
        return FALSE;
    DWORD threadId;
    {
        std::lock_guard lock(plat::KernelMutex());
        threadId = object->threadId;
    }
    if (threadId == GetCurrentThreadId())
        ExitThread(dwExitCode);
    if (object->Finish(dwExitCode)) {
        std::fprintf(stderr,
                     "TerminateThread: thread %u cannot be stopped here; abandoned with exit code %u, it runs on "
                     "until it returns\n",
                     threadId, dwExitCode);
    }
    return TRUE;
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode)
{
    auto object = plat::ReferenceObject<plat::TaskObject>(hThread);
    if (!object)
        return FALSE;
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(plat::KernelMutex());
    *lpExitCode = object->ExitCode();
    return TRUE;
}

DWORD GetCurrentThreadId() { return plat::CurrentThreadState().threadId; }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

DWORD GetThreadId(HANDLE Thread)
{
    auto object = plat::ReferenceObject<plat::ThreadObject>(Thread);
    if (!object)
        return 0;
    std::lock_guard lock(plat::KernelMutex());
    return object->threadId;
}

HANDLE GetCurrentThread() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)); }

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }
