// Tells subscribers when a log file changes: one thread per process reads
// inotify events of the log folders that have subscribers and sets their
// events. The thread runs only while there are subscriptions.
#pragma once

#include "platform/kernel/Event.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include <mutex>
#include <map>

namespace plat::eventlog {

class ChangeWatcher {
public:
    static ChangeWatcher& Get();

    ~ChangeWatcher();

    // `owner` names the subscription (the log handle) for Unsubscribe.
    bool Subscribe(uintptr_t owner, const std::string& directory, const std::string& fileName,
                   std::shared_ptr<EventObject> event);
    // Ends every subscription of `owner`; when none is left, the thread ends
    // before this returns.
    void Unsubscribe(uintptr_t owner);

private:
    struct Subscription {
        uintptr_t owner;
        int watch;
        std::string fileName;
        std::shared_ptr<EventObject> event;
    };

    ChangeWatcher() = default;
    void Run();
    void StopThread();

    std::mutex m_control; // one Subscribe / Unsubscribe at a time
    std::mutex m_lock;    // the subscriptions, also read by the thread
    std::vector<Subscription> m_subscriptions;
    std::map<std::string, int> m_watches; // directory -> watch descriptor
    int m_inotify = -1;
    int m_wake = -1;
    std::thread m_thread;
};

} // namespace plat::eventlog
