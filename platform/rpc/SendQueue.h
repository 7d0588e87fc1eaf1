// The frames waiting to go out on one socket. A frame is sent at once as far
// as the socket takes it, without ever blocking the sender; the rest waits
// here until the socket has room again (Flush). Not thread-safe: the
// connection serialises its callers.
//
// A frame either owns what waits of it (the rest is copied here) or borrows
// it from its sender, who keeps the bytes unchanged until the frame has gone
// or is withdrawn (a call's request: the caller waits for the reply anyway,
// so a band goes from the caller's array to the socket without a copy).
// Only owned frames count against the bound, by the memory they hold (their
// bytes and the queue's record of each): they are what a peer that stops
// reading costs this process.
#pragma once

#include "platform/rpc/PeerBudget.h"
#include "platform/rpc/Wire.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <sys/uio.h>
#include <vector>

namespace plat::rpc {

class SendQueue {
public:
    // The memory owned frames may hold, beside what else the peer holds in
    // this process (see PeerBudget). A single frame larger than this is
    // still taken when no other owned frame waits, so that every frame the
    // wire allows reaches a peer that reads.
    static constexpr std::size_t kMaxWaitingBytes = PeerBudget::kMaxHeldBytes;

    enum class Outcome {
        Sent,     // all of it went out
        Waiting,  // some of it waits for room (Flush once the socket has it)
        Overflow, // the peer would hold more than the bound: nothing was queued
        Broken,   // the socket failed
    };

    // Sends one frame: its header, then `body`. `ticket` 0: the frame owns
    // its bytes; any other value names a borrowing frame for Withdraw.
    // `heldBeside` is the memory the peer holds here outside the queue.
    Outcome Push(int fd, const std::uint8_t (&header)[kFrameHeaderSize], std::vector<iovec> body, std::uint64_t ticket,
                 std::size_t heldBeside = 0);
    // Sends what waits, as far as the socket takes it; false when the
    // socket failed.
    bool Flush(int fd);
    // Takes the borrowing frame `ticket` out if it still waits. False when
    // it had already begun to go out: the stream then ends inside a frame,
    // and the connection must end with it.
    bool Withdraw(std::uint64_t ticket);
    void Clear();

    bool Empty() const { return m_frames.empty(); }
    // The memory the owned frames that wait hold.
    std::size_t OwnedBytes() const { return m_ownedBytes; }

private:
    struct Frame {
        std::uint64_t ticket = 0;
        bool started = false;
        std::size_t held = 0; // what an owned frame counts against the bound
        std::uint8_t header[kFrameHeaderSize] = {};
        Bytes owned;
        std::vector<iovec> pieces; // what is left to send, in order
    };

    // A list keeps each frame in place: pieces may point into its header.
    std::list<Frame> m_frames;
    std::size_t m_ownedBytes = 0;
};

} // namespace plat::rpc
