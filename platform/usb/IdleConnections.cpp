#include "platform/usb/IdleConnections.h"

#include <map>
#include <mutex>
#include <poll.h>
#include <unistd.h>

namespace plat::usb {

namespace {

struct Idle {
    std::mutex mutex;
    std::map<std::string, int> connections;
};

Idle& IdleSet()
{
    static Idle* idle = new Idle;
    return *idle;
}

// An idle connection has nothing to read: anything readable, or its end,
// means the program closed it (or broke the exchange).
bool StillOpen(int fd)
{
    pollfd entry{fd, POLLIN | POLLRDHUP, 0};
    return poll(&entry, 1, 0) == 0;
}

} // namespace

int TakeIdleConnection(const std::string& socketPath)
{
    int fd = -1;
    {
        Idle& idle = IdleSet();
        std::lock_guard lock(idle.mutex);
        auto found = idle.connections.find(socketPath);
        if (found == idle.connections.end())
            return -1;
        fd = found->second;
        idle.connections.erase(found);
    }
    if (StillOpen(fd))
        return fd;
    close(fd);
    return -1;
}

void KeepIdleConnection(const std::string& socketPath, int fd)
{
    {
        Idle& idle = IdleSet();
        std::lock_guard lock(idle.mutex);
        if (idle.connections.emplace(socketPath, fd).second)
            return;
    }
    close(fd);
}

} // namespace plat::usb
