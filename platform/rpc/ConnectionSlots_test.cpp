// A class socket whose places are all taken: a new client gets the place of
// an idle connection, in the order the rules give, or is refused.
#include "platform/com/ComTesting.h"
#include "platform/kernel/Messages.h"
#include "platform/kernel/TestClock.h"
#include "platform/kernel/Thread.h"
#include "platform/rpc/Connection.h"
#include "platform/rpc/rpc.h"
#include "platform/rpc/testing/CountingFactory.h"
#include "platform/rpc/testing/RawPeer.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <poll.h>

namespace plat::rpc {
namespace {

using testing::CountingFactory;

constexpr ULONGLONG kIdle = ConnectionSlots::kIdleMs;

TEST(ConnectionSlotsTest, AnIdleConnectionThatLosesLeastGivesItsPlace)
{
    const ULONGLONG now = 100 * kIdle;
    auto kept = [](DWORD peer) { return peer == 7; };
    // quiet since, holds objects, lends objects, busy, peer
    auto make = [](ULONGLONG quietSince, bool holds, bool lends = false, bool busy = false, DWORD peer = 1) {
        ConnectionStanding standing;
        standing.quietSince = quietSince;
        standing.holdsObjects = holds;
        standing.lendsObjects = lends;
        standing.busy = busy;
        standing.peer = peer;
        return standing;
    };
    const struct {
        const char* what;
        std::vector<ConnectionStanding> standings;
        std::size_t chosen; // standings.size(): none
    } cases[] = {
        {"the one idle longest", {make(now - 2 * kIdle, true), make(now - 3 * kIdle, true)}, 1},
        {"one that holds nothing before one idle longer", {make(now - 9 * kIdle, true), make(now - kIdle, false)}, 1},
        {"idle for exactly the time", {make(now - kIdle, true)}, 0},
        {"not yet idle", {make(now - kIdle + 1, false)}, 1},
        {"a call runs", {make(now - 9 * kIdle, false, false, true)}, 1},
        {"it lends the server an object (a sink)", {make(now - 9 * kIdle, true, true)}, 1},
        {"the server keeps its process", {make(now - 9 * kIdle, false, false, false, 7)}, 1},
        {"kept, so the next in line", {make(now - 9 * kIdle, false, false, false, 7), make(now - 2 * kIdle, true)}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IdleToLetGo(c.standings, now, kept), c.chosen) << c.what;
}

// Serves this thread's calls until `done` holds. The clock is the test's,
// so the waits between looks are real ones on the socket, not timed waits.
bool PumpUntil(int fd, const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        pollfd entry{fd, POLLIN, 0};
        poll(&entry, 1, 1);
    }
}

// A client of the class socket; this thread serves the class while it
// waits for answers.
class RawClient : public testing::RawPeer {
public:
    explicit RawClient(REFCLSID clsid) : RawPeer(clsid, 0, [](int fd) { return PumpUntilReadable(fd); }) {}

    // Still open: the server has sent nothing, not even the end.
    bool Open()
    {
        pollfd entry{Socket(), POLLIN, 0};
        return poll(&entry, 1, 0) == 0;
    }

private:
    static bool PumpUntilReadable(int fd)
    {
        return PumpUntil(fd, [fd] {
            pollfd entry{fd, POLLIN, 0};
            return poll(&entry, 1, 0) == 1;
        });
    }
};

TEST(ConnectionSlotsTest, ANewClientTakesThePlaceOfAnIdleOneOrIsRefused)
{
    plat::testing::TempSystemRoot root;
    plat::ScopedTestClock clock;
    plat::testing::ComScope com;
    const CLSID clsid = MakeGuid("0C1A55E5-0000-4000-8000-00000000510E");
    CountingFactory factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(clsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);

    // Two that went idle a while ago: one that only connected, one that
    // holds the class object; then fresh clients take every other place.
    std::vector<std::unique_ptr<RawClient>> clients;
    clients.push_back(std::make_unique<RawClient>(clsid));
    clients.push_back(std::make_unique<RawClient>(clsid));
    ASSERT_EQ(clients[1]->AskForClassObject(), S_OK);
    clock->Advance(kIdle);
    while (clients.size() < static_cast<std::size_t>(ConnectionSlots::kMaxConnections)) {
        clients.push_back(std::make_unique<RawClient>(clsid));
        ASSERT_EQ(clients.back()->AskForClassObject(), S_OK) << clients.size();
    }

    // The one that holds nothing goes first, then the other idle one; each
    // new client is served in its place.
    for (std::size_t idle : {0u, 1u}) {
        clients.push_back(std::make_unique<RawClient>(clsid));
        EXPECT_EQ(clients.back()->AskForClassObject(), S_OK);
        EXPECT_TRUE(clients[idle]->Ended()) << idle;
    }
    for (std::size_t i = 2; i < clients.size(); ++i)
        EXPECT_TRUE(clients[i]->Open()) << i;

    // Now every connection is fresh: the next client is refused.
    auto newcomer = [&] { return clients.emplace_back(std::make_unique<RawClient>(clsid))->AskForClassObject(); };
    EXPECT_EQ(newcomer(), HRESULT_FROM_WIN32(RPC_S_SERVER_TOO_BUSY));

    // Once they are idle, a process the server keeps is served on; one it
    // does not keep gives its place.
    clock->Advance(kIdle);
    SetPeerKeeper([](DWORD peer) { return peer == GetCurrentProcessId(); });
    EXPECT_EQ(newcomer(), HRESULT_FROM_WIN32(RPC_S_SERVER_TOO_BUSY));
    SetPeerKeeper(nullptr);
    EXPECT_EQ(newcomer(), S_OK);

    // Every reference the clients held comes back before the class goes.
    clients.clear();
    EXPECT_TRUE(PumpUntil(-1, [&] { return factory.refs == 2; }));
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
}

} // namespace
} // namespace plat::rpc
