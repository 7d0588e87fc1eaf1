// The send queue on a socket pair whose far end the test reads, or not.
#include "platform/rpc/SendQueue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace plat::rpc {
namespace {

constexpr std::size_t kMiB = 1u << 20;

class SendQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fds), 0);
        // A small socket, so that little of a frame hides in the kernel.
        int room = 64 << 10;
        setsockopt(Near(), SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    }
    void TearDown() override
    {
        close(m_fds[0]);
        if (m_fds[1] >= 0)
            close(m_fds[1]);
    }
    int Near() const { return m_fds[0]; }
    int Far() const { return m_fds[1]; }

    // A frame whose body is `size` bytes of the value `mark`.
    struct Frame {
        std::uint8_t header[kFrameHeaderSize];
        Bytes body;
    };
    static Frame MakeFrame(std::uint32_t mark, std::size_t size)
    {
        Frame frame;
        EncodeHeader({FrameType::Reply, mark, static_cast<std::uint32_t>(size)}, frame.header);
        frame.body.assign(size, static_cast<std::uint8_t>(mark));
        return frame;
    }
    SendQueue::Outcome Push(const Frame& frame, std::uint64_t ticket = 0)
    {
        return m_queue.Push(Near(), frame.header, {{const_cast<std::uint8_t*>(frame.body.data()), frame.body.size()}},
                            ticket);
    }

    // Reads everything until `total` bytes came, flushing the queue
    // whenever the far end has taken all there was.
    Bytes Drain(std::size_t total)
    {
        Bytes received;
        std::uint8_t buffer[64 << 10];
        while (received.size() < total) {
            ssize_t got = recv(Far(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (got > 0) {
                received.insert(received.end(), buffer, buffer + got);
                continue;
            }
            if (m_queue.Empty() || !m_queue.Flush(Near()))
                break; // nothing more will come
        }
        return received;
    }

    // The frames with these marks and sizes, back to back as they travel.
    static Bytes Stream(std::initializer_list<std::pair<std::uint32_t, std::size_t>> frames)
    {
        Bytes stream;
        for (auto [mark, size] : frames) {
            Frame frame = MakeFrame(mark, size);
            stream.insert(stream.end(), frame.header, frame.header + kFrameHeaderSize);
            stream.insert(stream.end(), frame.body.begin(), frame.body.end());
        }
        return stream;
    }

    int m_fds[2] = {-1, -1};
    SendQueue m_queue;
};

TEST_F(SendQueueTest, AFrameGoesOutAtOnceWhenTheSocketHasRoom)
{
    EXPECT_EQ(Push(MakeFrame(1, 1000)), SendQueue::Outcome::Sent);
    EXPECT_TRUE(m_queue.Empty());
    EXPECT_EQ(Drain(kFrameHeaderSize + 1000), Stream({{1, 1000}}));
}

TEST_F(SendQueueTest, APeerThatNeverReadsCostsNoMoreThanTheBound)
{
    // Frames pile up while the far end reads nothing; the one that would
    // take the queue past its bound is refused and nothing of it is kept.
    std::uint32_t accepted = 0;
    SendQueue::Outcome outcome = SendQueue::Outcome::Sent;
    while (accepted < 64) {
        const std::size_t before = m_queue.OwnedBytes();
        outcome = Push(MakeFrame(accepted + 1, kMiB));
        EXPECT_LE(m_queue.OwnedBytes(), SendQueue::kMaxWaitingBytes);
        if (outcome == SendQueue::Outcome::Overflow) {
            EXPECT_EQ(m_queue.OwnedBytes(), before);
            EXPECT_GT(before + kFrameHeaderSize + kMiB, SendQueue::kMaxWaitingBytes);
            break;
        }
        ++accepted;
    }
    ASSERT_EQ(outcome, SendQueue::Outcome::Overflow);
    EXPECT_GE(accepted, 15u); // the bound, not less

    // Once the peer reads, every accepted frame arrives whole and in order.
    Bytes expected;
    for (std::uint32_t mark = 1; mark <= accepted; ++mark) {
        Bytes frame = Stream({{mark, kMiB}});
        expected.insert(expected.end(), frame.begin(), frame.end());
    }
    EXPECT_TRUE(Drain(expected.size()) == expected);
    EXPECT_TRUE(m_queue.Empty());
    EXPECT_EQ(m_queue.OwnedBytes(), 0u);
}

TEST_F(SendQueueTest, OneFrameLargerThanTheBoundIsTakenWhenNothingElseWaits)
{
    const std::size_t large = SendQueue::kMaxWaitingBytes + 4 * kMiB;
    EXPECT_EQ(Push(MakeFrame(1, large)), SendQueue::Outcome::Waiting);
    EXPECT_GT(m_queue.OwnedBytes(), SendQueue::kMaxWaitingBytes);
    EXPECT_EQ(Push(MakeFrame(2, 10)), SendQueue::Outcome::Overflow);
    EXPECT_TRUE(Drain(kFrameHeaderSize + large) == Stream({{1, large}}));
}

TEST_F(SendQueueTest, SmallFramesAndWhatThePeerHoldsBesideCountAgainstTheBound)
{
    // Each small frame costs its record too: far fewer wait than their
    // bytes alone would allow (half a million of these).
    std::size_t accepted = 0;
    while (Push(MakeFrame(1, 10)) != SendQueue::Outcome::Overflow)
        ++accepted;
    EXPECT_LT(accepted, SendQueue::kMaxWaitingBytes / 100);
    EXPECT_LE(m_queue.OwnedBytes(), SendQueue::kMaxWaitingBytes);
    m_queue.Clear();

    // A frame that waits, then one more: it fits unless what the peer
    // holds outside the queue leaves no room beside the first.
    ASSERT_EQ(Push(MakeFrame(2, kMiB)), SendQueue::Outcome::Waiting);
    const Frame next = MakeFrame(3, 10);
    auto push = [&](std::size_t beside) {
        return m_queue.Push(Near(), next.header, {{const_cast<std::uint8_t*>(next.body.data()), next.body.size()}}, 0,
                            beside);
    };
    EXPECT_EQ(push(SendQueue::kMaxWaitingBytes - kMiB), SendQueue::Outcome::Overflow);
    EXPECT_EQ(push(0), SendQueue::Outcome::Waiting);
}

TEST_F(SendQueueTest, ABorrowedFrameWaitsUncopiedUntilItIsSentOrWithdrawn)
{
    Frame first = MakeFrame(1, kMiB);
    Frame second = MakeFrame(2, 1000);
    EXPECT_EQ(Push(first, 1), SendQueue::Outcome::Waiting);
    EXPECT_EQ(Push(second, 2), SendQueue::Outcome::Waiting);
    EXPECT_EQ(m_queue.OwnedBytes(), 0u) << "borrowed bytes cost the queue nothing";

    // A frame that has not begun to go out leaves the stream whole.
    EXPECT_TRUE(m_queue.Withdraw(2));
    // What waits of the first is still the sender's own bytes.
    first.body.back() = 0xEE;
    Bytes expected = Stream({{1, kMiB}});
    expected.back() = 0xEE;
    EXPECT_TRUE(Drain(expected.size()) == expected);
    EXPECT_TRUE(m_queue.Empty());
    EXPECT_TRUE(m_queue.Withdraw(1)) << "a frame that went out whole";

    // One withdrawn half-sent ends the stream inside a frame.
    Frame third = MakeFrame(3, kMiB);
    EXPECT_EQ(Push(third, 3), SendQueue::Outcome::Waiting);
    EXPECT_FALSE(m_queue.Withdraw(3));
    EXPECT_TRUE(m_queue.Empty());
}

TEST_F(SendQueueTest, APeerThatHasGoneBreaksTheSend)
{
    close(m_fds[1]);
    m_fds[1] = -1;
    EXPECT_EQ(Push(MakeFrame(1, 100)), SendQueue::Outcome::Broken);
}

} // namespace
} // namespace plat::rpc
