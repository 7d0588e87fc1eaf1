#include "platform/rpc/PeerBudget.h"

namespace plat::rpc {
namespace {

// What queues one request beside its bytes: the task, the message that
// announces it, the records that hold the frame (about 300 bytes measured,
// rounded up).
constexpr std::size_t kRequestBookkeeping = 512;

} // namespace

std::size_t PeerBudget::RequestCost(std::size_t bodyBytes)
{
    // The frame, and as much again for the arguments a stub takes out of
    // it: byte arrays the callee may change are copies.
    return 2 * bodyBytes + kRequestBookkeeping;
}

PeerBudget::Verdict PeerBudget::ForRequest(std::size_t requests, std::size_t replies, std::size_t cost)
{
    const std::size_t held = requests + replies;
    if (held == 0 || (held <= kMaxHeldBytes && cost <= kMaxHeldBytes - held))
        return Verdict::Take;
    return requests > 0 ? Verdict::Wait : Verdict::CutOff;
}

PeerBudget::Verdict PeerBudget::Admit(std::size_t cost, bool wait)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_closed)
            return Verdict::CutOff;
        const Verdict verdict = ForRequest(m_requests, m_replies, cost);
        if (verdict == Verdict::Take)
            m_requests += cost;
        if (verdict != Verdict::Wait || !wait)
            return verdict;
        ++m_waiting;
        m_changed.wait(lock);
        --m_waiting;
    }
}

void PeerBudget::Give(std::size_t cost)
{
    {
        std::lock_guard lock(m_mutex);
        m_requests -= cost;
    }
    m_changed.notify_all();
}

void PeerBudget::SetReplies(std::size_t bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_replies = bytes;
    }
    m_changed.notify_all();
}

void PeerBudget::Close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_changed.notify_all();
}

std::size_t PeerBudget::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::size_t PeerBudget::Held() const
{
    std::lock_guard lock(m_mutex);
    return m_requests + m_replies;
}

bool PeerBudget::Waiting() const
{
    std::lock_guard lock(m_mutex);
    return m_waiting > 0;
}

} // namespace plat::rpc
