#include "platform/services/ConsoleControl.h"

#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct ConsoleState {
    std::mutex lock;
    std::vector<PHANDLER_ROUTINE> handlers;
    bool ignoreCtrlC = false;
    bool signalsInstalled = false;
};

ConsoleState& State()
{
    static ConsoleState state;
    return state;
}

int g_signalPipe[2] = {-1, -1};

void OnConsoleSignal(int signal)
{
    int saved = errno;
    char byte = static_cast<char>(signal);
    (void)!write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

// Reads signals from the pipe and runs the handlers outside signal context.
// Lives as long as the process.
void DeliveryThread()
{
    char byte;
    for (;;) {
        ssize_t n = read(g_signalPipe[0], &byte, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        int signal = static_cast<unsigned char>(byte);
        if (!plat::DispatchConsoleCtrlEvent(signal == SIGINT ? CTRL_C_EVENT : CTRL_CLOSE_EVENT)) {
            std::signal(signal, SIG_DFL);
            raise(signal);
        }
    }
}

// Lock held.
void InstallSignals(ConsoleState& state)
{
    if (state.signalsInstalled || pipe2(g_signalPipe, O_CLOEXEC) != 0)
        return;
    state.signalsInstalled = true;
    std::thread(DeliveryThread).detach();
    struct sigaction action = {};
    action.sa_handler = OnConsoleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

} // namespace

extern "C" BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE HandlerRoutine, BOOL Add)
{
    ConsoleState& state = State();
    std::lock_guard guard(state.lock);
    if (!HandlerRoutine) {
        state.ignoreCtrlC = Add != FALSE;
        if (Add)
            InstallSignals(state);
        return TRUE;
    }
    if (Add) {
        state.handlers.push_back(HandlerRoutine);
        InstallSignals(state);
        return TRUE;
    }
    auto found = std::find(state.handlers.rbegin(), state.handlers.rend(), HandlerRoutine);
    if (found == state.handlers.rend()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    state.handlers.erase(std::next(found).base());
    return TRUE;
}

namespace plat {

BOOL DispatchConsoleCtrlEvent(DWORD ctrlType)
{
    std::vector<PHANDLER_ROUTINE> handlers;
    {
        std::lock_guard guard(State().lock);
        if (ctrlType == CTRL_C_EVENT && State().ignoreCtrlC)
            return TRUE;
        handlers = State().handlers;
    }
    for (auto it = handlers.rbegin(); it != handlers.rend(); ++it) {
        if ((*it)(ctrlType))
            return TRUE;
    }
    return FALSE;
}

} // namespace plat
