// What one peer's frames may hold in this process, counted by the memory
// behind them: its requests from the moment one is read until its call has
// returned (the frame, the arguments its call takes out of it, the records
// that queue it), and the replies it has not read yet (their bytes and the
// queue's records, see SendQueue). Together they stay within
// kMaxHeldBytes; a single frame larger than that is taken only when it is
// all the peer has here, so that every frame the wire allows reaches a peer
// that reads.
//
// A request that does not fit waits while calls of the peer run (they make
// room as they return), so a peer that floods only slows itself. When its
// unread replies alone leave no room, the peer sends and does not read: it
// is cut off, as it is when a reply would not fit beside replies that wait.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace plat::rpc {

class PeerBudget {
public:
    static constexpr std::size_t kMaxHeldBytes = 16u << 20;

    enum class Verdict {
        Take,   // there is room: it is taken
        Wait,   // calls of the peer hold the room and will give it back
        CutOff, // unread replies hold the room (or the connection ended)
    };

    // What a request with a body of `bodyBytes` holds until its call returns.
    static std::size_t RequestCost(std::size_t bodyBytes);
    // Where a request costing `cost` stands beside `requests` and `replies`
    // bytes the peer holds already.
    static Verdict ForRequest(std::size_t requests, std::size_t replies, std::size_t cost);

    // Takes room for a request costing `cost` when there is some; with
    // `wait`, waits while the verdict is Wait.
    Verdict Admit(std::size_t cost, bool wait);
    // The call of a request taken with that cost has returned.
    void Give(std::size_t cost);
    // The replies waiting for the peer now hold `bytes`.
    void SetReplies(std::size_t bytes);
    // The connection ends: nobody waits for room any more.
    void Close();

    std::size_t Requests() const;
    std::size_t Held() const;
    // Whether an Admit waits now.
    bool Waiting() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_requests = 0;
    std::size_t m_replies = 0;
    int m_waiting = 0;
    bool m_closed = false;
};

} // namespace plat::rpc
