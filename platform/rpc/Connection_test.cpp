// A connection against a peer that the test plays by hand on the other end
// of a socket pair.
#include "platform/rpc/Connection.h"

#include "platform/com/ComTesting.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/Messages.h"
#include "platform/kernel/Wait.h"
#include "platform/rpc/testing/CountingFactory.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace plat::rpc {
namespace {

using testing::CountingFactory;

// A real-time bound for what other threads do; reaching it is a failure.
constexpr auto kPatience = std::chrono::seconds(20);

const CLSID kSomeClass = MakeGuid("0C1A55E5-0000-4000-8000-00000000C0DE");

// Serves this thread's calls until `done` holds.
template <class Done>
bool PumpUntil(Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    return true;
}

// The object id an export of `object` on `connection` gives the peer.
std::uint64_t Export(Connection& connection, IClassFactory* object)
{
    MessageWriter exported(&connection);
    if (connection.WriteInterface(exported, IID_IClassFactory, object) != S_OK)
        return 0;
    MessageReader reference(exported.Data().data(), exported.Data().size());
    std::uint64_t id = 0;
    reference.ReadU64(id);
    return id;
}

// A LockServer(TRUE) call on `object` as call `callId`, carrying `payload`
// after its argument (so it is refused when served).
bool SendLockServer(int peer, std::uint64_t object, std::uint32_t callId, const Bytes& payload = {})
{
    MessageWriter body;
    body.WriteU64(object);
    body.WriteGuid(IID_IClassFactory);
    body.WriteU32(4);
    body.WriteI32(TRUE);
    FrameHeader header{FrameType::Request, callId, static_cast<std::uint32_t>(body.Data().size() + payload.size())};
    return WriteFrame(peer, header, body.Data().data(), body.Data().size(), payload.data(), payload.size());
}

// What one such call with a payload of `size` bytes holds while it waits.
std::size_t LockServerCost(std::size_t size) { return PeerBudget::RequestCost(8 + 16 + 4 + 4 + size); }

// A connection whose peer the test plays on the other socket.
class ConnectionPeerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        m_connection = Connection::Start(fds[0]);
        m_peer = fds[1];
    }
    void TearDown() override { close(m_peer); }

    plat::testing::TempSystemRoot m_root;
    plat::testing::ComScope m_com;
    std::shared_ptr<Connection> m_connection;
    int m_peer = -1;
};

TEST(ConnectionTest, ARefusedConnectionFailsEveryCallWithTheReasonGiven)
{
    for (HRESULT why : {E_ACCESSDENIED, HRESULT_FROM_WIN32(RPC_S_SERVER_TOO_BUSY)}) {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        Connection::Refuse(fds[1], why);
        auto client = Connection::Start(fds[0]);
        for (int call = 0; call < 2; ++call) {
            void* object = nullptr;
            EXPECT_EQ(client->GetClassObject(kSomeClass, IID_IClassFactory, &object), why) << call;
            EXPECT_EQ(object, nullptr);
        }
    }
}

TEST_F(ConnectionPeerTest, TheReaderStopsTakingRequestsWhileTheBoundOfThemWaitsToBeServed)
{
    // An object of this thread's apartment, exported to the peer.
    CountingFactory factory;
    const std::uint64_t object = Export(*m_connection, &factory);
    ASSERT_NE(object, 0u);

    // The peer sends more than the bound of requests (each is refused when
    // served: LockServer takes no payload) and reads their answers.
    constexpr std::uint32_t kRequests = 24;
    const Bytes payload(1u << 20, 0x5A);
    std::thread writer([&] {
        for (std::uint32_t call = 1; call <= kRequests && SendLockServer(m_peer, object, call, payload); ++call) {
        }
    });
    std::atomic<std::uint32_t> answered{0};
    std::thread reader([&] {
        FrameHeader header;
        Bytes body;
        while (answered < kRequests && ReadFrame(m_peer, header, body) && header.callId == answered + 1)
            ++answered;
    });

    // Nothing is served while this thread does not pump: the reader stops
    // before the next request would take the peer past its bound.
    const std::size_t cost = LockServerCost(payload.size());
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (m_connection->WaitingInputBytes() + cost <= PeerBudget::kMaxHeldBytes &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::size_t waiting = m_connection->WaitingInputBytes();
    EXPECT_LE(waiting, PeerBudget::kMaxHeldBytes);
    EXPECT_GT(waiting + cost, PeerBudget::kMaxHeldBytes);

    // Serving makes room again: every request is taken, served, answered.
    EXPECT_TRUE(PumpUntil([&] { return answered == kRequests; }));
    writer.join();
    m_connection->Shutdown();
    reader.join();
    EXPECT_EQ(m_connection->WaitingInputBytes(), 0u);
    // The closed connection gives the peer's reference back on this thread.
    EXPECT_TRUE(PumpUntil([&] { return factory.refs == 1; }));
}

// A thread waiting for the reply to its own call reads the socket; when it
// meets a request the peer has no room for, it leaves it to the reader
// thread: nothing is lost or read out of order, and the reply behind it
// arrives once the peer's calls have made room.
TEST_F(ConnectionPeerTest, ARequestWithoutRoomIsLeftToTheReaderThreadInItsPlace)
{
    Connection* connection = m_connection.get();
    const int peer = m_peer;

    // An object of a second apartment, which serves nothing until released.
    CountingFactory stalled;
    std::atomic<std::uint64_t> stalledId{0};
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> done{false};
    std::thread apartment([&] {
        plat::testing::ComScope sta;
        stalledId = Export(*connection, &stalled);
        WaitForSingleObject(release, INFINITE);
        PumpUntil([&] { return done.load(); });
    });
    ASSERT_TRUE(PumpUntil([&] { return stalledId != 0; }));

    // A call to the peer's object 5, whose thread then holds the socket.
    std::atomic<bool> returned{false};
    HRESULT called = E_FAIL;
    std::thread caller([&] {
        plat::testing::ComScope mta(COINIT_MULTITHREADED);
        MessageWriter lock;
        lock.WriteI32(TRUE);
        HRESULT status = E_FAIL;
        Bytes results;
        called = connection->Call(5, IID_IClassFactory, 4, lock, status, results);
        returned = true;
    });
    FrameHeader call;
    Bytes body;
    ASSERT_TRUE(ReadFrame(peer, call, body));
    ASSERT_EQ(call.type, FrameType::Request);

    // The peer's calls on the stalled apartment fill its room, and its
    // answer to that call follows them.
    std::atomic<std::uint32_t> answered{0};
    std::thread reader([&] {
        FrameHeader header;
        Bytes reply;
        while (ReadFrame(peer, header, reply) && header.callId == answered + 1)
            ++answered;
    });
    const Bytes payload(1u << 20, 0x5A);
    constexpr std::uint32_t kCalls = 12;
    std::thread writer([&] {
        for (std::uint32_t id = 1; id <= kCalls; ++id)
            SendLockServer(peer, stalledId, id, payload);
        MessageWriter answer;
        answer.WriteU32(0);
        answer.WriteI32(S_OK);
        FrameHeader reply{FrameType::Reply, call.callId, static_cast<std::uint32_t>(answer.Data().size())};
        WriteFrame(peer, reply, answer.Data().data(), answer.Data().size());
    });

    // The caller reads until a request does not fit, and the reader thread
    // takes it from there (it reads nothing while the caller holds the
    // socket, and the caller's answer cannot come first).
    const std::size_t cost = LockServerCost(payload.size());
    EXPECT_TRUE(PumpUntil([&] { return connection->RequestWaitsForRoom(); }));
    EXPECT_LE(connection->WaitingInputBytes(), PeerBudget::kMaxHeldBytes);
    EXPECT_GT(connection->WaitingInputBytes() + cost, PeerBudget::kMaxHeldBytes);
    EXPECT_FALSE(returned) << "the answer waits behind the request there is no room for";

    // Once the stalled apartment serves, every call is answered in order
    // and the answer reaches the caller.
    SetEvent(release);
    EXPECT_TRUE(PumpUntil([&] { return answered == kCalls && returned; }));
    EXPECT_EQ(called, S_OK);
    done = true;
    writer.join();
    caller.join();
    apartment.join();
    connection->Shutdown();
    reader.join();
    CloseHandle(release);
    // The stalled apartment is gone: its object's reference comes back on
    // the reader thread as the connection closes.
    EXPECT_TRUE(PumpUntil([&] { return stalled.refs == 1; }));
}

// The peer calls `object`'s LockServer (refused when served: it takes no
// payload) as call `callId`; true once the reply to it arrives in time.
bool PeerCallsAndGetsAnAnswer(int peer, std::uint64_t object, std::uint32_t callId)
{
    if (!SendLockServer(peer, object, callId))
        return false;
    FrameHeader header;
    pollfd readable{peer, POLLIN, 0};
    if (poll(&readable, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count())) != 1)
        return false;
    Bytes reply;
    return ReadFrame(peer, header, reply) && header.type == FrameType::Reply && header.callId == callId;
}

// An apartment that served the peer's call reads the socket while it waits
// for messages; when the thread leaves COM, or ends without leaving it, the
// socket goes back to the reader thread and the peer is still answered.
TEST(ConnectionTest, AnApartmentThatReadsTheSocketGivesItBackWhenItGoes)
{
    plat::testing::TempSystemRoot root;
    for (bool leavesCom : {true, false}) {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        auto connection = Connection::Start(fds[0]);
        const int peer = fds[1];
        std::atomic<std::uint64_t> object{0};
        std::atomic<bool> served{false};
        CountingFactory factory;
        std::thread apartment([&] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            MessageWriter exported(connection.get());
            if (connection->WriteInterface(exported, IID_IClassFactory, &factory) == S_OK) {
                MessageReader reference(exported.Data().data(), exported.Data().size());
                std::uint64_t id = 0;
                reference.ReadU64(id);
                object = id;
                PumpUntil([&] { return served.load(); });
                connection->TakeBackExported(exported); // later calls find no object
            }
            if (leavesCom)
                CoUninitialize(); // else the thread ends inside COM
        });
        ASSERT_TRUE(PumpUntil([&] { return object != 0; }));
        EXPECT_TRUE(PeerCallsAndGetsAnAnswer(peer, object, 1)) << leavesCom;
        served = true;
        apartment.join();
        EXPECT_TRUE(PeerCallsAndGetsAnAnswer(peer, object, 2)) << leavesCom;
        EXPECT_EQ(factory.refs, 1);
        connection->Shutdown();
        close(peer);
    }
}

} // namespace
} // namespace plat::rpc
