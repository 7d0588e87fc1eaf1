// wiascan: the image-acquisition service for an installed scanner, as a
// command-line program. It loads the scanner's still-image driver as the
// service does and runs what WIA applications would ask of it.
//
//   wiascan [--device INSTANCE-ID] COMMAND [ARGS...]
//   wiascan [--device INSTANCE-ID] shell
//
// The commands are those of WiaScanCommands.h; "shell" reads them from
// standard input, one a line, until "quit" or the end of the input, with the
// driver loaded all the while. The scanner is the first recorded imaging
// device unless one is named; it must be installed (USDClass written). The
// exit code is 0 when every command succeeded, 1 when one failed, 2 for a
// wrong command line.
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "tools/wiascan/WiaDeviceHost.h"
#include "tools/wiascan/WiaScanCommands.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

int Usage()
{
    std::fputs("usage: wiascan [--device INSTANCE-ID] COMMAND [ARGS...]\n"
               "       wiascan [--device INSTANCE-ID] shell\n"
               "commands: list [ITEM...], set ITEM PROP=VALUE..., command synchronize,\n"
               "          event connected|disconnected|suspend|resume|cancel, capabilities, lock, unlock,\n"
               "          connect, disconnect,\n"
               "          acquire FOLDER [callback|file] [pages=N] [duplex=0|1] [type=color|gray|bw]\n"
               "                  [dpi=N] [width=PIXELS] [height=LINES] [buffer=BYTES] [driver-buffer] [cancel=PAGE]\n",
               stderr);
    return 2;
}

// Runs one command and shows what it printed at once.
bool Run(wiascan::WiaDeviceHost& host, const std::vector<std::string>& words)
{
    std::string out;
    const HRESULT hr = wiascan::RunCommand(host, words, &out);
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
    return SUCCEEDED(hr);
}

int Serve(wiascan::WiaDeviceHost& host, const std::vector<std::string>& command)
{
    if (command[0] != "shell")
        return Run(host, command) ? 0 : 1;
    bool allSucceeded = true;
    for (std::string line; std::getline(std::cin, line);) {
        const std::vector<std::string> words = wiascan::SplitCommandLine(line);
        if (!words.empty() && words[0] == "quit")
            break;
        if (!words.empty())
            allSucceeded = Run(host, words) && allSucceeded;
    }
    return allSucceeded ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::u16string device;
    int first = 1;
    if (argc > 2 && std::string(argv[1]) == "--device") {
        device = Utf8ToUtf16(argv[2]);
        first = 3;
    }
    if (first >= argc)
        return Usage();
    const std::vector<std::string> command(argv + first, argv + argc);
    if (!plat::EnsureSystemRootLayout()) {
        std::fputs("wiascan: cannot create the system root\n", stderr);
        return 1;
    }
    std::string failure;
    std::optional<wiascan::InstalledScanner> scanner = wiascan::FindInstalledScanner(device, &failure);
    if (!scanner) {
        std::fprintf(stderr, "wiascan: %s\n", failure.c_str());
        return 1;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        std::fputs("wiascan: CoInitializeEx failed\n", stderr);
        return 1;
    }
    int exitCode = 1;
    {
        wiascan::WiaDeviceHost host(std::move(*scanner));
        if (FAILED(host.Load(&failure))) {
            std::fprintf(stderr, "wiascan: %s\n", failure.c_str());
        } else {
            std::printf("driver %s loaded for %s\n", plat::GuidToString(host.Scanner().driverClass).c_str(),
                        Utf16ToUtf8(host.Scanner().record.instanceId).c_str());
            std::fflush(stdout);
            wiascan::SetProgressOutput([](const std::string& line) {
                std::printf("%s\n", line.c_str());
                std::fflush(stdout);
            });
            exitCode = Serve(host, command);
        }
    }
    CoUninitialize();
    return exitCode;
}
