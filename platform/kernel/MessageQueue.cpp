#include "platform/kernel/MessageQueue.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/ThreadState.h"
#include "platform/kernel/WindowTable.h"

#include <algorithm>
#include <unordered_map>

namespace plat {

namespace {

// Queues by owner thread id; guarded by the kernel lock. Never destroyed:
// threads that outlive main may still post.
std::unordered_map<DWORD, std::shared_ptr<MessageQueue>>& Queues()
{
    static auto* queues = new std::unordered_map<DWORD, std::shared_ptr<MessageQueue>>;
    return *queues;
}

} // namespace

bool MessageFilter::MatchesMessage(UINT message) const
{
    if (min == 0 && max == 0)
        return true;
    if (min <= max)
        return message >= min && message <= max;
    // A reversed range selects what lies outside it.
    return message >= min || message <= max;
}

bool MessageFilter::Matches(HWND target, UINT message) const
{
    if (hwnd == HWND_THREAD_MESSAGES) {
        if (target != nullptr)
            return false;
    } else if (hwnd != nullptr && target != hwnd) {
        return false;
    }
    return MatchesMessage(message);
}

bool MessageQueue::HasInput(DWORD wakeMask, const MessageFilter& filter, ULONGLONG now) const
{
    if ((wakeMask & QS_SENDMESSAGE) && !sent.empty())
        return true;
    if (wakeMask & (QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) {
        for (const MSG& msg : posted) {
            if (filter.Matches(msg.hwnd, msg.message))
                return true;
        }
        if (quitPosted && filter.MatchesMessage(WM_QUIT))
            return true;
    }
    if (wakeMask & QS_TIMER) {
        for (const Timer& timer : timers) {
            if (timer.due <= now && filter.Matches(timer.hwnd, WM_TIMER))
                return true;
        }
    }
    return false;
}

ULONGLONG MessageQueue::NextTimerDue(DWORD wakeMask, const MessageFilter& filter, ULONGLONG now) const
{
    ULONGLONG next = Clock::kNever;
    if (wakeMask & QS_TIMER) {
        for (const Timer& timer : timers) {
            if (timer.due > now && filter.Matches(timer.hwnd, WM_TIMER))
                next = std::min(next, timer.due);
        }
    }
    return next;
}

MessageQueue& CurrentMessageQueue()
{
    ThreadState& state = CurrentThreadState();
    if (!state.queue) {
        auto queue = std::make_shared<MessageQueue>(state.threadId);
        std::lock_guard lock(KernelMutex());
        // A thread that has ended for the kernel layer (its last thread-local
        // clean-up runs) gets a closed queue nobody can post to: its id may
        // soon belong to another thread.
        if (state.ended)
            queue->closed = true;
        else
            Queues()[state.threadId] = queue;
        state.queue = std::move(queue);
    }
    return *state.queue;
}

std::shared_ptr<MessageQueue> FindMessageQueue(DWORD threadId)
{
    std::lock_guard lock(KernelMutex());
    auto it = Queues().find(threadId);
    return it == Queues().end() ? nullptr : it->second;
}

void CloseCurrentMessageQueue()
{
    ThreadState& state = CurrentThreadState();
    if (!state.queue)
        return;
    std::lock_guard lock(KernelMutex());
    MessageQueue& queue = *state.queue;
    auto it = Queues().find(state.threadId);
    if (it != Queues().end() && it->second == state.queue)
        Queues().erase(it);
    queue.closed = true;
    for (const auto& sent : queue.sent) {
        sent->result = 0;
        sent->done = true;
        sent->WakeWaiters();
    }
    queue.sent.clear();
    queue.posted.clear();
    queue.timers.clear();
}

void ForgetWindowMessages(DWORD ownerThreadId, HWND hwnd)
{
    std::shared_ptr<MessageQueue> queue = FindMessageQueue(ownerThreadId);
    if (!queue)
        return;
    std::lock_guard lock(KernelMutex());
    std::erase_if(queue->posted, [&](const MSG& msg) { return msg.hwnd == hwnd; });
    std::erase_if(queue->timers, [&](const Timer& timer) { return timer.hwnd == hwnd; });
}

void DeliverSentMessages(MessageQueue& queue)
{
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        {
            std::lock_guard lock(KernelMutex());
            if (queue.sent.empty())
                return;
            sent = std::move(queue.sent.front());
            queue.sent.pop_front();
        }
        // The sender is released even when the window procedure throws.
        struct Answer {
            SentMessage& sent;
            LRESULT result = 0;
            ~Answer()
            {
                std::lock_guard lock(KernelMutex());
                sent.result = result;
                sent.done = true;
                sent.WakeWaiters();
            }
        } answer{*sent};
        answer.result = CallWindowProcedure(sent->msg.hwnd, sent->msg.message, sent->msg.wParam, sent->msg.lParam);
    }
}

} // namespace plat
