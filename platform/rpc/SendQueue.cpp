#include "platform/rpc/SendQueue.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/socket.h>

namespace plat::rpc {
namespace {

// One non-blocking send of as much of `pieces` as the socket takes: the
// bytes sent, 0 when it has no room, -1 when it failed.
ssize_t SendSome(int fd, const std::vector<iovec>& pieces)
{
    msghdr message{};
    message.msg_iov = const_cast<iovec*>(pieces.data());
    message.msg_iovlen = std::min<std::size_t>(pieces.size(), IOV_MAX);
    for (;;) {
        ssize_t sent = sendmsg(fd, &message, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent >= 0)
            return sent;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

// Drops the first `sent` bytes of `pieces`.
void Advance(std::vector<iovec>& pieces, std::size_t sent)
{
    auto first = pieces.begin();
    while (first != pieces.end() && sent >= first->iov_len) {
        sent -= first->iov_len;
        ++first;
    }
    pieces.erase(pieces.begin(), first);
    if (sent > 0) {
        pieces.front().iov_base = static_cast<std::uint8_t*>(pieces.front().iov_base) + sent;
        pieces.front().iov_len -= sent;
    }
}

std::size_t Total(const std::vector<iovec>& pieces)
{
    std::size_t total = 0;
    for (const iovec& piece : pieces)
        total += piece.iov_len;
    return total;
}

// What an owned frame holds beside its bytes: its place in the list, its
// record and the allocations behind them (about 150 bytes measured,
// rounded up). Counted, so that a peer that leaves many small replies
// unread is held to what they take.
constexpr std::size_t kFrameBookkeeping = 256;

} // namespace

SendQueue::Outcome SendQueue::Push(int fd, const std::uint8_t (&header)[kFrameHeaderSize], std::vector<iovec> body,
                                   std::uint64_t ticket, std::size_t heldBeside)
{
    std::vector<iovec> pieces;
    pieces.reserve(body.size() + 1);
    pieces.push_back({const_cast<std::uint8_t*>(header), kFrameHeaderSize});
    for (const iovec& piece : body) {
        if (piece.iov_len > 0)
            pieces.push_back(piece);
    }
    // Behind frames that wait it waits too, so frames never interleave.
    std::size_t sent = 0;
    if (m_frames.empty()) {
        ssize_t done = SendSome(fd, pieces);
        if (done < 0)
            return Outcome::Broken;
        sent = static_cast<std::size_t>(done);
        Advance(pieces, sent);
        if (pieces.empty())
            return Outcome::Sent;
    }
    const std::size_t left = Total(pieces);
    const std::size_t held = left + kFrameBookkeeping;
    if (ticket == 0 && m_ownedBytes > 0 && heldBeside + m_ownedBytes + held > kMaxWaitingBytes)
        return Outcome::Overflow; // only ever behind other frames: nothing of it went out

    Frame& frame = m_frames.emplace_back();
    frame.ticket = ticket;
    frame.started = sent > 0;
    if (ticket == 0) {
        frame.owned.reserve(left);
        for (const iovec& piece : pieces) {
            auto* bytes = static_cast<const std::uint8_t*>(piece.iov_base);
            frame.owned.insert(frame.owned.end(), bytes, bytes + piece.iov_len);
        }
        frame.pieces.push_back({frame.owned.data(), left});
        frame.held = held;
        m_ownedBytes += held;
    } else {
        // The header is the sender's own local: what is left of it waits here.
        std::memcpy(frame.header, header, kFrameHeaderSize);
        if (sent < kFrameHeaderSize)
            pieces.front().iov_base = frame.header + sent;
        frame.pieces = std::move(pieces);
    }
    return Outcome::Waiting;
}

bool SendQueue::Flush(int fd)
{
    while (!m_frames.empty()) {
        Frame& frame = m_frames.front();
        ssize_t done = SendSome(fd, frame.pieces);
        if (done < 0)
            return false;
        if (done == 0)
            return true;
        frame.started = true;
        Advance(frame.pieces, static_cast<std::size_t>(done));
        if (!frame.pieces.empty())
            return true;            // the socket is full again
        m_ownedBytes -= frame.held; // its memory goes with it
        m_frames.pop_front();
    }
    return true;
}

bool SendQueue::Withdraw(std::uint64_t ticket)
{
    auto it =
        std::find_if(m_frames.begin(), m_frames.end(), [ticket](const Frame& frame) { return frame.ticket == ticket; });
    if (it == m_frames.end())
        return true;
    const bool whole = !it->started;
    m_frames.erase(it);
    return whole;
}

void SendQueue::Clear()
{
    m_frames.clear();
    m_ownedBytes = 0;
}

} // namespace plat::rpc
