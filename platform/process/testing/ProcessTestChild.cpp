// A program for the process tests to start:
//   exit N               ends with exit code N
//   wait                 runs until it is killed
//   report FILE ARGS...  writes its arguments, folder and command line to FILE
#include "platform/windows.h"

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
