// A connection against a peer that the test plays by hand on the other end
// of a socket pair.
#include "platform/rpc/Connection.h"

#include "platform/com/ComTesting.h"
#include "platform/kernel/Messages.h"
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

TEST(ConnectionTest, TheReaderStopsTakingRequestsWhileTheBoundOfThemWaitsToBeServed)
{
    plat::testing::TempSystemRoot root;
    plat::testing::ComScope com;
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    auto connection = Connection::Start(fds[0]);
    const int peer = fds[1];

    // An object of this thread's apartment, exported to the peer.
    CountingFactory factory;
    MessageWriter exported(connection.get());
    ASSERT_EQ(connection->WriteInterface(exported, IID_IClassFactory, &factory), S_OK);
    MessageReader reference(exported.Data().data(), exported.Data().size());
    std::uint64_t object = 0;
    ASSERT_TRUE(reference.ReadU64(object));

    // The peer sends more than the bound of requests (each is refused when
    // served: LockServer takes no payload) and reads their answers.
    constexpr std::uint32_t kRequests = 24;
    const Bytes payload(1u << 20, 0x5A);
    std::thread writer([&] {
        for (std::uint32_t call = 1; call <= kRequests; ++call) {
            MessageWriter body;
            body.WriteU64(object);
            body.WriteGuid(IID_IClassFactory);
            body.WriteU32(4);
            body.WriteI32(TRUE);
            FrameHeader header{FrameType::Request, call,
                               static_cast<std::uint32_t>(body.Data().size() + payload.size())};
            if (!WriteFrame(peer, header, body.Data().data(), body.Data().size(), payload.data(), payload.size()))
                return;
        }
    });
    std::atomic<std::uint32_t> answered{0};
    std::thread reader([&] {
        FrameHeader header;
        Bytes body;
        while (answered < kRequests && ReadFrame(peer, header, body) && header.callId == answered + 1)
            ++answered;
    });

    // Nothing is served while this thread does not pump: the reader stops
    // once the bound waits, one request over it at most.
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (connection->WaitingInputBytes() < SendQueue::kMaxWaitingBytes && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::size_t waiting = connection->WaitingInputBytes();
    EXPECT_GE(waiting, SendQueue::kMaxWaitingBytes);
    EXPECT_LT(waiting, SendQueue::kMaxWaitingBytes + payload.size() + 64);

    // Serving makes room again: every request is taken, served, answered.
    EXPECT_TRUE(PumpUntil([&] { return answered == kRequests; }));
    writer.join();
    connection->Shutdown();
    reader.join();
    EXPECT_EQ(connection->WaitingInputBytes(), 0u);
    // The closed connection gives the peer's reference back on this thread.
    EXPECT_TRUE(PumpUntil([&] { return factory.refs == 1; }));
    close(peer);
}

// The peer calls `object`'s LockServer (refused when served: it takes no
// payload) as call `callId`; true once the reply to it arrives in time.
bool PeerCallsAndGetsAnAnswer(int peer, std::uint64_t object, std::uint32_t callId)
{
    MessageWriter body;
    body.WriteU64(object);
    body.WriteGuid(IID_IClassFactory);
    body.WriteU32(4);
    body.WriteI32(TRUE);
    FrameHeader header{FrameType::Request, callId, static_cast<std::uint32_t>(body.Data().size())};
    if (!WriteFrame(peer, header, body.Data().data(), body.Data().size(), nullptr, 0))
        return false;
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
