// Ctrl-C and SIGTERM during a scan: the handler only notes the signal; the
// scan looks at its safe points and cancels through its own path (the
// TWAIN application's reset, the WIA callback's cancel, the service's
// abort), so that whole pages stay and no part of one is left. A second
// signal ends the program at once, as without the handler.
#pragma once

namespace cli {

// The status of a program a signal stopped: 128 + SIGINT, as a shell
// reports it.
constexpr int kExitInterrupted = 130;

// From here on SIGINT and SIGTERM are noted instead of ending the program.
void CatchInterrupts();

// True once one came.
bool Interrupted();

} // namespace cli
