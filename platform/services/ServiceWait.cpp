// Waiting for a service to reach a state: the status file is replaced and
// the lock file closed when it changes, so the folder's notifications wake
// the wait; a short re-check interval covers anything they miss.
#include "platform/kernel/Clock.h"
#include "platform/services/ServiceControl.h"
#include "platform/services/ServiceDatabase.h"
#include "platform/services/ServiceRuntime.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace plat {

bool WaitForServiceState(std::u16string_view serviceName, DWORD state, DWORD timeoutMs)
{
    // A service deleted when it stopped has no key any more but is stopped.
    auto config = services::ReadService(serviceName);
    std::u16string name = config ? config->name : std::u16string(serviceName);
    DWORD type = config ? config->type : SERVICE_WIN32_OWN_PROCESS;
    if (!config && !services::IsServiceProcessAlive(name))
        return state == SERVICE_STOPPED;
    services::EnsureRuntimeDirectory();
    int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (watch >= 0)
        inotify_add_watch(watch, services::RuntimeDirectory().c_str(), IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE);
    ULONGLONG deadline = timeoutMs == INFINITE ? Clock::kNever : GetClock().NowMs() + timeoutMs;
    bool reached = false;
    for (;;) {
        if (services::CurrentStatus(name, type).dwCurrentState == state) {
            reached = true;
            break;
        }
        if (GetClock().NowMs() >= deadline)
            break;
        pollfd entry = {watch, POLLIN, 0};
        if (poll(&entry, watch >= 0 ? 1 : 0, 100) > 0) {
            char buffer[4096];
            while (read(watch, buffer, sizeof buffer) > 0) {
            }
        }
    }
    if (watch >= 0)
        close(watch);
    return reached;
}

} // namespace plat
