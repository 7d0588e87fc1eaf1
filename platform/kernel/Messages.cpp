#include "platform/kernel/Messages.h"
#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/InputPump.h"
#include "platform/kernel/MessageQueue.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/Time.h"
#include "platform/kernel/Wait.h"
#include "platform/kernel/WindowTable.h"

#include <algorithm>
#include <atomic>

namespace plat {

namespace {

BOOL PostToThread(DWORD threadId, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const MSG msg{hwnd, message, wParam, lParam, GetTickCount(), {0, 0}};
    std::shared_ptr<MessageQueue> queue = FindMessageQueue(threadId);
    if (!queue) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    std::lock_guard lock(KernelMutex());
    if (queue->closed) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    if (queue->posted.size() >= kMaxPostedMessages) {
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    queue->posted.push_back(msg);
    queue->WakeWaiters();
    return TRUE;
}

// Takes the first message the filter lets through, in the order PeekMessage
// promises; the caller has delivered sent messages already.
bool TakeMessage(MessageQueue& queue, MSG* msg, const MessageFilter& filter, bool remove)
{
    const ULONGLONG now = GetClock().NowMs();
    std::lock_guard lock(KernelMutex());
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (filter.Matches(it->hwnd, it->message)) {
            *msg = *it;
            if (remove)
                queue.posted.erase(it);
            return true;
        }
    }
    if (queue.quitPosted && filter.MatchesMessage(WM_QUIT)) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, static_cast<DWORD>(now), {0, 0}};
        if (remove)
            queue.quitPosted = false;
        return true;
    }
    for (Timer& timer : queue.timers) {
        if (timer.due <= now && filter.Matches(timer.hwnd, WM_TIMER)) {
            *msg = MSG{timer.hwnd, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc), static_cast<DWORD>(now),
                       {0, 0}};
            if (remove)
                timer.due = now + timer.period;
            return true;
        }
    }
    return false;
}

// Whether `proc` belongs to a live timer of the calling thread.
bool IsOwnTimerProc(HWND hwnd, UINT_PTR id, LPARAM proc)
{
    std::shared_ptr<MessageQueue> queue = FindMessageQueue(GetCurrentThreadId());
    if (!queue)
        return false;
    std::lock_guard lock(KernelMutex());
    return std::any_of(queue->timers.begin(), queue->timers.end(), [&](const Timer& timer) {
        return timer.hwnd == hwnd && timer.id == id && reinterpret_cast<LPARAM>(timer.proc) == proc;
    });
}

bool FilterWindowExists(HWND hwnd)
{
    DWORD owner;
    return hwnd == nullptr || hwnd == HWND_THREAD_MESSAGES || WindowOwner(hwnd, &owner);
}

std::atomic<UINT_PTR> g_nextThreadTimerId{0x7F00};

} // namespace

void EnsureThreadMessageQueue() { CurrentMessageQueue(); }

} // namespace plat

BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return plat::PostToThread(idThread, nullptr, Msg, wParam, lParam);
}

BOOL PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return PostThreadMessageW(idThread, Msg, wParam, lParam);
}

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (!hWnd) {
        plat::EnsureThreadMessageQueue();
        return plat::PostToThread(GetCurrentThreadId(), nullptr, Msg, wParam, lParam);
    }
    DWORD owner;
    if (!plat::WindowOwner(hWnd, &owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return plat::PostToThread(owner, hWnd, Msg, wParam, lParam);
}

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) { return PostMessageW(hWnd, Msg, wParam, lParam); }

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    DWORD owner;
    if (!plat::WindowOwner(hWnd, &owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (owner == GetCurrentThreadId())
        return plat::CallWindowProcedure(hWnd, Msg, wParam, lParam);

    plat::MessageQueue& own = plat::CurrentMessageQueue();
    std::shared_ptr<plat::MessageQueue> target = plat::FindMessageQueue(owner);
    if (!target)
        return 0;
    auto sent = std::make_shared<plat::SentMessage>();
    sent->msg = MSG{hWnd, Msg, wParam, lParam, GetTickCount(), {0, 0}};
    {
        std::lock_guard lock(plat::KernelMutex());
        if (target->closed)
            return 0;
        target->sent.push_back(sent);
        target->WakeWaiters();
    }
    // Serve what others send to this thread meanwhile, so two threads that
    // send to each other do not dead-lock.
    const std::vector<std::shared_ptr<plat::Waitable>> objects{sent};
    const plat::InputWait input{&own, QS_SENDMESSAGE, {}};
    for (;;) {
        const DWORD result = plat::WaitForObjects(objects, false, INFINITE, &input);
        if (result != WAIT_OBJECT_0 + 1)
            break;
        plat::DeliverSentMessages(own);
    }
    std::lock_guard lock(plat::KernelMutex());
    return sent->result;
}

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return SendMessageW(hWnd, Msg, wParam, lParam);
}

void PostQuitMessage(int nExitCode)
{
    plat::MessageQueue& queue = plat::CurrentMessageQueue();
    std::lock_guard lock(plat::KernelMutex());
    queue.quitPosted = true;
    queue.quitCode = nExitCode;
    queue.WakeWaiters();
}

BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    plat::MessageQueue& queue = plat::CurrentMessageQueue();
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (plat::InputPump pump = plat::ThreadInputPump())
        pump();
    plat::DeliverSentMessages(queue);
    const plat::MessageFilter filter{hWnd, wMsgFilterMin, wMsgFilterMax};
    return plat::TakeMessage(queue, lpMsg, filter, (wRemoveMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    return PeekMessageW(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}

BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    plat::MessageQueue& queue = plat::CurrentMessageQueue();
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!plat::FilterWindowExists(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    const plat::MessageFilter filter{hWnd, wMsgFilterMin, wMsgFilterMax};
    const plat::InputWait input{&queue, QS_ALLINPUT, filter};
    for (;;) {
        plat::DeliverSentMessages(queue);
        if (plat::TakeMessage(queue, lpMsg, filter, true))
            return lpMsg->message == WM_QUIT ? FALSE : TRUE;
        plat::WaitForObjects({}, false, INFINITE, &input);
    }
}

BOOL GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    return GetMessageW(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageW(const MSG* lpMsg)
{
    if (!lpMsg)
        return 0;
    if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
        if (!plat::IsOwnTimerProc(lpMsg->hwnd, lpMsg->wParam, lpMsg->lParam))
            return 0;
        auto proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
        proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, GetTickCount());
        return 0;
    }
    if (!lpMsg->hwnd)
        return 0;
    DWORD owner;
    if (!plat::WindowOwner(lpMsg->hwnd, &owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (owner != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    return plat::CallWindowProcedure(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT DispatchMessageA(const MSG* lpMsg) { return DispatchMessageW(lpMsg); }

BOOL WaitMessage()
{
    plat::MessageQueue& queue = plat::CurrentMessageQueue();
    const plat::InputWait input{&queue, QS_ALLINPUT, {}};
    plat::WaitForObjects({}, false, INFINITE, &input);
    return TRUE;
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    std::shared_ptr<plat::MessageQueue> queue;
    if (hWnd) {
        DWORD owner;
        if (!plat::WindowOwner(hWnd, &owner) || !(queue = plat::FindMessageQueue(owner))) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
    } else {
        plat::CurrentMessageQueue();
        // Null once the thread's queue was closed at its end.
        if (!(queue = plat::FindMessageQueue(GetCurrentThreadId()))) {
            SetLastError(ERROR_INVALID_THREAD_ID);
            return 0;
        }
    }
    const UINT period = std::clamp(uElapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    const ULONGLONG due = plat::GetClock().NowMs() + period;

    std::lock_guard lock(plat::KernelMutex());
    // The same window and id (or an id this thread already got) resets that timer.
    auto it = std::find_if(queue->timers.begin(), queue->timers.end(), [&](const plat::Timer& t) {
        return t.hwnd == hWnd && t.id == nIDEvent && (hWnd || nIDEvent != 0);
    });
    if (it == queue->timers.end()) {
        const UINT_PTR id = hWnd ? nIDEvent : plat::g_nextThreadTimerId++;
        queue->timers.push_back(plat::Timer{hWnd, id, period, due, lpTimerFunc});
        it = queue->timers.end() - 1;
    } else {
        it->period = period;
        it->due = due;
        it->proc = lpTimerFunc;
    }
    // An owner blocked in a wait recomputes when to wake.
    queue->WakeWaiters();
    return hWnd && it->id == 0 ? 1 : it->id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
    std::shared_ptr<plat::MessageQueue> queue;
    if (hWnd) {
        DWORD owner;
        if (!plat::WindowOwner(hWnd, &owner) || !(queue = plat::FindMessageQueue(owner))) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
    } else {
        queue = plat::FindMessageQueue(GetCurrentThreadId());
    }
    if (queue) {
        std::lock_guard lock(plat::KernelMutex());
        const auto removed =
            std::erase_if(queue->timers, [&](const plat::Timer& t) { return t.hwnd == hWnd && t.id == uIDEvent; });
        if (removed)
            return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

DWORD MsgWaitForMultipleObjectsEx(DWORD nCount, const HANDLE* pHandles, DWORD dwMilliseconds, DWORD dwWakeMask,
                                  DWORD dwFlags)
{
    if (nCount >= MAXIMUM_WAIT_OBJECTS || (nCount > 0 && !pHandles)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<plat::Waitable>> objects;
    if (!plat::ResolveWaitHandles(nCount, pHandles, objects))
        return WAIT_FAILED;
    plat::MessageQueue& queue = plat::CurrentMessageQueue();
    const plat::InputWait input{&queue, dwWakeMask, {}};
    return plat::WaitForObjects(objects, (dwFlags & MWMO_WAITALL) != 0, dwMilliseconds, &input);
}

DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll, DWORD dwMilliseconds,
                                DWORD dwWakeMask)
{
    return MsgWaitForMultipleObjectsEx(nCount, pHandles, dwMilliseconds, dwWakeMask, fWaitAll ? MWMO_WAITALL : 0);
}
