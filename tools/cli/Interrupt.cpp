#include "tools/cli/Interrupt.h"

#include <csignal>

namespace cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void Note(int signal)
{
    if (g_interrupted) {
        // The second one: the default action, which ends the program.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_interrupted = 1;
}

} // namespace

void CatchInterrupts()
{
    struct sigaction action {};
    action.sa_handler = Note;
    // Calls in progress go on; the scan looks at the flag between them.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return g_interrupted != 0; }

} // namespace cli
