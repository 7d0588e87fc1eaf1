#include "platform/kernel/Clock.h"
#include "platform/rpc/ClassTable.h"
#include "platform/rpc/Connection.h"

#include <algorithm>

namespace plat::rpc {
namespace {

// Whether `one` goes before `other`: a peer that holds nothing of the
// server loses nothing, then the one idle longer.
bool GoesFirst(const ConnectionStanding& one, const ConnectionStanding& other)
{
    if (one.holdsObjects != other.holdsObjects)
        return !one.holdsObjects;
    return one.quietSince < other.quietSince;
}

} // namespace

std::size_t IdleToLetGo(const std::vector<ConnectionStanding>& standings, ULONGLONG now,
                        const std::function<bool(DWORD)>& kept)
{
    std::size_t chosen = standings.size();
    for (std::size_t i = 0; i < standings.size(); ++i) {
        const ConnectionStanding& standing = standings[i];
        if (standing.busy || standing.lendsObjects || standing.quietSince + ConnectionSlots::kIdleMs > now)
            continue;
        if (chosen < standings.size() && !GoesFirst(standing, standings[chosen]))
            continue;
        if (!kept(standing.peer))
            chosen = i;
    }
    return chosen;
}

bool ConnectionSlots::Admit(int fd)
{
    std::lock_guard lock(m_mutex);
    if (m_served.size() >= static_cast<std::size_t>(kMaxConnections)) {
        std::vector<ConnectionStanding> standings;
        for (const std::shared_ptr<Connection>& connection : m_served)
            standings.push_back(connection->Standing());
        const std::size_t idle = IdleToLetGo(standings, GetClock().NowMs(), PeerIsKept);
        if (idle == m_served.size())
            return false;
        // Its place is the new client's from now on.
        std::shared_ptr<Connection> leaving = std::move(m_served[idle]);
        m_served.erase(m_served.begin() + static_cast<std::ptrdiff_t>(idle));
        leaving->LetGo();
    }
    m_served.push_back(Connection::Start(fd, shared_from_this()));
    return true;
}

void ConnectionSlots::Leave(const Connection* connection)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_served,
                  [connection](const std::shared_ptr<Connection>& served) { return served.get() == connection; });
}

} // namespace plat::rpc
