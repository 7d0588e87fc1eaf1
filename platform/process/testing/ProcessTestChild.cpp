// A program for the process tests to start:
//   exit N               ends with exit code N
//   wait                 runs until it is killed
//   signals FILE         writes whether SIGTERM is blocked or ignored to FILE
//   report FILE ARGS...  writes its arguments, folder and command line to FILE
//   print TEXT           writes TEXT and a line feed to standard output and error
#include "platform/windows.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "exit" && argc > 2)
        return std::atoi(argv[2]);
    if (mode == "wait") {
        for (;;)
            pause();
    }
    if (mode == "signals" && argc > 2) {
        sigset_t blocked;
        sigprocmask(SIG_BLOCK, nullptr, &blocked);
        struct sigaction action {};
        sigaction(SIGTERM, nullptr, &action);
        std::ofstream(argv[2]) << "blocked=" << sigismember(&blocked, SIGTERM)
                               << " ignored=" << (action.sa_handler == SIG_IGN) << "\n";
        return 0;
    }
    if (mode == "print" && argc > 2) {
        std::printf("%s\n", argv[2]);
        std::fprintf(stderr, "%s\n", argv[2]);
        return 0;
    }
    if (mode == "report" && argc > 2) {
        std::ofstream out(argv[2]);
        out << "argc=" << argc << "\n";
        for (int i = 0; i < argc; ++i)
            out << "arg=" << argv[i] << "\n";
        char folder[4096];
        out << "cwd=" << (getcwd(folder, sizeof folder) ? folder : "?") << "\n";
        out << "cmdline=" << GetCommandLineA() << "\n";
        return 0;
    }
    return 100;
}
