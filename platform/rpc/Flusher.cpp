#include "platform/rpc/Flusher.h"

#include "platform/rpc/Connection.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <sys/epoll.h>
#include <thread>
#include <unistd.h>

namespace plat::rpc {
namespace {

// Sockets are watched one-shot: after it reports room a socket is quiet
// until its connection asks again, so a socket with room and nothing to
// send never keeps the thread busy.
class Flusher {
public:
    Flusher() : m_epoll(epoll_create1(EPOLL_CLOEXEC))
    {
        std::thread([this] { Run(); }).detach();
    }

    bool Watch(const std::shared_ptr<Connection>& connection, int fd)
    {
        std::lock_guard lock(m_mutex);
        epoll_event event{};
        event.events = EPOLLOUT | EPOLLONESHOT;
        event.data.fd = fd;
        if (epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event) != 0 &&
            (errno != ENOENT || epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) != 0))
            return false;
        m_watched[fd] = connection;
        return true;
    }

    void Forget(int fd)
    {
        std::lock_guard lock(m_mutex);
        if (m_watched.erase(fd) > 0)
            epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
    }

private:
    void Run()
    {
        epoll_event events[32];
        for (;;) {
            int ready = epoll_wait(m_epoll, events, 32, -1);
            if (ready < 0 && errno != EINTR)
                return;
            for (int i = 0; i < ready; ++i) {
                std::shared_ptr<Connection> connection;
                {
                    std::lock_guard lock(m_mutex);
                    auto it = m_watched.find(events[i].data.fd);
                    if (it != m_watched.end())
                        connection = it->second.lock();
                }
                if (connection)
                    connection->FlushWaiting(); // watches again if some still waits
            }
        }
    }

    int m_epoll;
    std::mutex m_mutex;
    std::map<int, std::weak_ptr<Connection>> m_watched;
};

Flusher& TheFlusher()
{
    static auto* flusher = new Flusher; // its thread runs until the process ends
    return *flusher;
}

} // namespace

bool FlushWhenWritable(const std::shared_ptr<Connection>& connection, int fd)
{
    return TheFlusher().Watch(connection, fd);
}

void StopWatching(int fd) { TheFlusher().Forget(fd); }

} // namespace plat::rpc
