#include "platform/eventlog/ChangeWatcher.h"

#include "platform/base/sysroot.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace plat::eventlog {

ChangeWatcher& ChangeWatcher::Get()
{
    // Made on first use, after the kernel objects its subscriptions hold, so
    // it is torn down (thread joined) before them at process exit.
    static ChangeWatcher watcher;
    return watcher;
}

ChangeWatcher::~ChangeWatcher()
{
    std::lock_guard control(m_control);
    StopThread();
    m_subscriptions.clear();
}

bool ChangeWatcher::Subscribe(uintptr_t owner, const std::string& directory, const std::string& fileName,
                              std::shared_ptr<EventObject> event)
{
    std::lock_guard control(m_control);
    if (m_inotify < 0) {
        m_inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_inotify < 0 || m_wake < 0) {
            StopThread();
            return false;
        }
        m_thread = std::thread([this] { Run(); });
    }
    CreatePrivateFolder(directory);
    // A folder is watched again on every subscription: after a folder was
    // removed and made anew the old descriptor is gone.
    int watch = inotify_add_watch(m_inotify, directory.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
    if (watch < 0) {
        if (m_subscriptions.empty())
            StopThread();
        return false;
    }
    std::lock_guard lock(m_lock);
    m_watches[directory] = watch;
    m_subscriptions.push_back({owner, watch, fileName, std::move(event)});
    return true;
}

void ChangeWatcher::Unsubscribe(uintptr_t owner)
{
    std::lock_guard control(m_control);
    {
        std::lock_guard lock(m_lock);
        std::erase_if(m_subscriptions, [owner](const Subscription& s) { return s.owner == owner; });
        for (auto it = m_watches.begin(); it != m_watches.end();) {
            int watch = it->second;
            bool used = std::any_of(m_subscriptions.begin(), m_subscriptions.end(),
                                    [watch](const Subscription& s) { return s.watch == watch; });
            if (!used) {
                inotify_rm_watch(m_inotify, watch);
                it = m_watches.erase(it);
            } else {
                ++it;
            }
        }
        if (!m_subscriptions.empty())
            return;
    }
    StopThread();
}

// m_control held.
void ChangeWatcher::StopThread()
{
    if (m_thread.joinable()) {
        uint64_t one = 1;
        (void)!write(m_wake, &one, sizeof one);
        m_thread.join();
    }
    if (m_inotify >= 0)
        close(m_inotify);
    if (m_wake >= 0)
        close(m_wake);
    m_inotify = -1;
    m_wake = -1;
    std::lock_guard lock(m_lock);
    m_watches.clear();
}

void ChangeWatcher::Run()
{
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        pollfd entries[2] = {{m_inotify, POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (poll(entries, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            std::perror("event log watcher: poll");
            return;
        }
        if (entries[1].revents)
            return;
        ssize_t length = read(m_inotify, buffer, sizeof buffer);
        if (length <= 0)
            continue;
        std::vector<std::shared_ptr<EventObject>> toSignal;
        {
            std::lock_guard lock(m_lock);
            for (ssize_t offset = 0; offset < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->mask & IN_Q_OVERFLOW) {
                    // Changes were lost: any log may have changed.
                    for (const auto& subscription : m_subscriptions)
                        toSignal.push_back(subscription.event);
                    continue;
                }
                if (event->len == 0)
                    continue;
                std::string name = event->name;
                for (const auto& subscription : m_subscriptions) {
                    if (subscription.watch == event->wd && subscription.fileName == name)
                        toSignal.push_back(subscription.event);
                }
            }
        }
        for (const auto& event : toSignal)
            event->Set();
    }
}

} // namespace plat::eventlog
