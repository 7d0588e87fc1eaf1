// wiascan: the image-acquisition service for an installed scanner, as a
// command-line program. It loads the scanner's still-image driver as the
// service does and runs what WIA applications would ask of it: one command
// of WiaScanCommands.h, or, with "shell", commands read from standard input
// one a line until "quit" or the end of the input, with the driver loaded
// all the while. The exit code is 0 when every command succeeded, 1 when one
// failed, 2 for a wrong command line, 130 after Ctrl-C, which cancels a
// transfer through its callback and keeps the pages already whole.
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/DeviceChoice.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/OptionValues.h"
#include "tools/cli/Progress.h"
#include "tools/wiascan/WiaDeviceHost.h"
#include "tools/wiascan/WiaScanCommands.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

const cli::Program kProgram{
    "wiascan", "usage: wiascan --list\n"
               "       wiascan [--device ID] [--force] [--batch-start N] COMMAND [ARGS...]\n"
               "       wiascan [--device ID] shell\n"
               "  --list               the recorded scanners, one a line, by id first\n"
               "  --device ID          the scanner of that id, as --list prints it, or its serial\n"
               "                       number (default: the first plugged in)\n"
               "  --force              acquire replaces the pages of an earlier scan in FOLDER\n"
               "  --batch-start N      acquire numbers the pages from N (default: 1)\n"
               "  --help, --version\n"
               "commands: list [ITEM...], set ITEM PROP=VALUE..., command synchronize,\n"
               "          event connected|disconnected|suspend|resume|cancel, capabilities, lock, unlock,\n"
               "          connect, disconnect,\n"
               "          acquire FOLDER [callback|file] [pages=N] [duplex=0|1] [type=color|gray|bw]\n"
               "                  [dpi=N] [width=PIXELS] [height=LINES] [buffer=BYTES] [driver-buffer] [cancel=PAGE]\n"
               "                  [batch-start=N] [force]\n"
               "acquire writes page-001.bmp, page-002.bmp, ... into FOLDER, which must exist;\n"
               "progress goes to the error output.\n"};

enum Key { kList, kDevice, kForce, kBatch };

const std::vector<cli::Option> kOptions = {
    {"list", false, kList}, {"device", true, kDevice}, {"force", false, kForce}, {"batch-start", true, kBatch}};

struct Options {
    bool list = false;
    std::string device;
    std::vector<std::string> acquireWords; // what --force and --batch-start add to acquire
};

std::string Take(Options& o, int key, const std::string& value)
{
    long number = 0;
    std::string problem;
    // clang-format off
    switch (key) {
    case kList: o.list = true; return {};
    case kDevice: o.device = value; return {};
    case kForce: o.acquireWords.push_back("force"); return {};
    case kBatch:
        problem = cli::NumberFrom(value, 1, 999999, &number);
        o.acquireWords.push_back("batch-start=" + value);
        return problem;
    }
    // clang-format on
    return {};
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

// The words of a command, with the options that apply to it.
std::vector<std::string> WithOptions(std::vector<std::string> words, const Options& options)
{
    if (!words.empty() && words[0] == "acquire")
        words.insert(words.end(), options.acquireWords.begin(), options.acquireWords.end());
    return words;
}

int Serve(wiascan::WiaDeviceHost& host, const std::vector<std::string>& command, const Options& options)
{
    if (command[0] != "shell")
        return Run(host, WithOptions(command, options)) ? 0 : 1;
    bool allSucceeded = true;
    for (std::string line; !cli::Interrupted() && std::getline(std::cin, line);) {
        const std::vector<std::string> words = wiascan::SplitCommandLine(line);
        if (!words.empty() && words[0] == "quit")
            break;
        if (!words.empty())
            allSucceeded = Run(host, WithOptions(words, options)) && allSucceeded;
    }
    return allSucceeded ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    const cli::Parsed parsed = cli::Parse(
        kProgram, argc, argv, kOptions, [&](int key, const std::string& value) { return Take(options, key, value); },
        cli::Operands::AfterOptions);
    if (parsed.exitCode)
        return *parsed.exitCode;
    if (parsed.operands.empty() && !options.list)
        return cli::WrongUsage(kProgram, "no command");
    if (!plat::EnsureSystemRootLayout()) {
        std::fputs("wiascan: cannot create the system root\n", stderr);
        return 1;
    }
    if (options.list)
        return cli::ListDevices(stdout, stderr, "wiascan") ? 0 : 1;
    std::string failure;
    std::optional<wiascan::InstalledScanner> scanner = wiascan::FindInstalledScanner(options.device, &failure);
    if (!scanner) {
        std::fprintf(stderr, "wiascan: %s\n", failure.c_str());
        return 1;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        std::fputs("wiascan: CoInitializeEx failed\n", stderr);
        return 1;
    }
    cli::CatchInterrupts();
    int exitCode = 1;
    {
        wiascan::WiaDeviceHost host(std::move(*scanner));
        if (FAILED(host.Load(&failure))) {
            std::fprintf(stderr, "wiascan: %s\n", failure.c_str());
        } else {
            std::printf("driver %s loaded for %s\n", plat::GuidToString(host.Scanner().driverClass).c_str(),
                        Utf16ToUtf8(host.Scanner().record.instanceId).c_str());
            std::fflush(stdout);
            cli::Progress progress(stderr);
            wiascan::SetProgressOutput(
                [&progress](const std::string& line) {
                    progress.Clear();
                    std::printf("%s\n", line.c_str());
                    std::fflush(stdout);
                },
                [&progress](int page, int percent) { progress.Show(page, percent); });
            exitCode = Serve(host, parsed.operands, options);
            wiascan::SetProgressOutput({});
        }
    }
    CoUninitialize();
    if (cli::Interrupted()) {
        std::fputs("wiascan: interrupted; the pages already whole are kept\n", stderr);
        return cli::kExitInterrupted;
    }
    return exitCode;
}
