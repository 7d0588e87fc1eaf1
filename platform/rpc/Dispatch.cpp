#include "platform/rpc/Dispatch.h"

#include "platform/com/objbase.h"
#include "platform/kernel/MessageQueue.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/Wait.h"
#include "platform/kernel/Window.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace plat::rpc {
namespace {

constexpr UINT WM_RPC_TASK = WM_USER + 0x3C1;
constexpr const char16_t* kWindowClass = u"QbkRpcApartmentWindow";

struct Apartment {
    DWORD threadId = 0;
    HWND window = nullptr;
    std::mutex mutex;
    std::deque<Task> tasks;
    bool closed = false;
};

struct Apartments {
    std::mutex mutex;
    std::map<DWORD, std::shared_ptr<Apartment>> byThread;
};

Apartments& AllApartments()
{
    static auto* apartments = new Apartments; // threads may post at exit
    return *apartments;
}

thread_local std::shared_ptr<Apartment> t_apartment;

LRESULT ApartmentWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_RPC_TASK)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    std::shared_ptr<Apartment> apartment = t_apartment;
    if (!apartment)
        return 0;
    Task task;
    {
        std::lock_guard lock(apartment->mutex);
        if (apartment->tasks.empty())
            return 0;
        task = std::move(apartment->tasks.front());
        apartment->tasks.pop_front();
    }
    task(true);
    return 0;
}

void RegisterWindowClassOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ApartmentWindowProc;
        windowClass.lpszClassName = kWindowClass;
        RegisterClassW(&windowClass);
    });
}

// The calling single-threaded apartment, made with its window on first use.
std::shared_ptr<Apartment> CurrentApartmentRecord()
{
    if (t_apartment)
        return t_apartment;
    RegisterWindowClassOnce();
    auto apartment = std::make_shared<Apartment>();
    apartment->threadId = GetCurrentThreadId();
    apartment->window = CreateWindowExW(0, kWindowClass, u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!apartment->window)
        return nullptr;
    t_apartment = apartment;
    std::lock_guard lock(AllApartments().mutex);
    AllApartments().byThread[apartment->threadId] = apartment;
    return apartment;
}

// Workers for multithreaded apartments: one more is started whenever a
// task finds none idle, so a call that waits on a nested call never blocks
// the nested call itself. Workers live as long as the process.
class WorkerPool {
public:
    void Post(Task task)
    {
        std::unique_lock lock(m_mutex);
        m_tasks.push_back(std::move(task));
        if (m_idle > 0) {
            m_wake.notify_one();
            return;
        }
        ++m_idle; // counted idle until it picks this task
        lock.unlock();
        std::thread([this] { Run(); }).detach();
    }

private:
    void Run()
    {
        // Workers serve objects of the multithreaded apartment, as members.
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return !m_tasks.empty(); });
            Task task = std::move(m_tasks.front());
            m_tasks.pop_front();
            --m_idle;
            lock.unlock();
            task(true);
            task = nullptr;
            lock.lock();
            ++m_idle;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    int m_idle = 0;
};

WorkerPool& Workers()
{
    static auto* pool = new WorkerPool;
    return *pool;
}

} // namespace

DWORD CurrentServingThread()
{
    if (plat::com::CurrentApartment() != plat::com::ApartmentKind::SingleThreaded)
        return 0;
    auto apartment = CurrentApartmentRecord();
    return apartment ? apartment->threadId : 0;
}

void PostTask(DWORD threadId, Task task)
{
    if (threadId == 0) {
        Workers().Post(std::move(task));
        return;
    }
    std::shared_ptr<Apartment> apartment;
    {
        std::lock_guard lock(AllApartments().mutex);
        auto it = AllApartments().byThread.find(threadId);
        if (it != AllApartments().byThread.end())
            apartment = it->second;
    }
    if (apartment) {
        std::unique_lock lock(apartment->mutex);
        if (!apartment->closed) {
            apartment->tasks.push_back(std::move(task));
            if (PostMessageW(apartment->window, WM_RPC_TASK, 0, 0))
                return;
            task = std::move(apartment->tasks.back());
            apartment->tasks.pop_back();
        }
    }
    task(false);
}

void WaitServingCalls(const std::shared_ptr<Waitable>& done)
{
    std::vector<std::shared_ptr<Waitable>> objects{done};
    if (plat::com::CurrentApartment() != plat::com::ApartmentKind::SingleThreaded) {
        WaitForObjects(objects, false, INFINITE, nullptr);
        return;
    }
    std::shared_ptr<Apartment> apartment = CurrentApartmentRecord();
    if (!apartment) {
        WaitForObjects(objects, false, INFINITE, nullptr);
        return;
    }
    // Only this apartment's calls (and messages sent by other threads, which
    // would otherwise wait on us) are served here; the thread's other
    // messages stay queued for its own loop.
    MessageFilter filter;
    filter.hwnd = apartment->window;
    const InputWait input{&CurrentMessageQueue(), QS_POSTMESSAGE | QS_SENDMESSAGE, filter};
    for (;;) {
        if (WaitForObjects(objects, false, INFINITE, &input) == WAIT_OBJECT_0)
            return;
        MSG msg;
        while (PeekMessageW(&msg, apartment->window, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
}

WaitStep WaitServingCallsOrReadable(const std::shared_ptr<Waitable>& done, int fd)
{
    std::vector<std::shared_ptr<Waitable>> objects{done};
    std::shared_ptr<Apartment> apartment;
    if (plat::com::CurrentApartment() == plat::com::ApartmentKind::SingleThreaded)
        apartment = CurrentApartmentRecord();
    if (!apartment) {
        const InputWait socket{nullptr, 0, MessageFilter{}, fd};
        return WaitForObjects(objects, false, INFINITE, &socket) == WAIT_OBJECT_0 ? WaitStep::Done : WaitStep::Readable;
    }
    MessageFilter filter;
    filter.hwnd = apartment->window;
    const InputWait input{&CurrentMessageQueue(), QS_POSTMESSAGE | QS_SENDMESSAGE, filter, fd};
    switch (WaitForObjects(objects, false, INFINITE, &input)) {
    case WAIT_OBJECT_0:
        return WaitStep::Done;
    case WAIT_OBJECT_0 + 1: {
        MSG msg;
        while (PeekMessageW(&msg, apartment->window, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        return WaitStep::Served;
    }
    default:
        return WaitStep::Readable;
    }
}

void CloseCurrentApartment()
{
    RunBeforeBlocking(); // a socket this thread read for others goes back
    std::shared_ptr<Apartment> apartment = std::move(t_apartment);
    if (!apartment)
        return;
    {
        std::lock_guard lock(AllApartments().mutex);
        AllApartments().byThread.erase(apartment->threadId);
    }
    std::deque<Task> left;
    {
        std::lock_guard lock(apartment->mutex);
        apartment->closed = true;
        left.swap(apartment->tasks);
    }
    DestroyWindow(apartment->window);
    for (Task& task : left)
        task(false);
}

} // namespace plat::rpc
