// devinstall: installs or removes a recorded scanner through the
// co-installer, as the device installer would. Installing also installs the
// driver package's hardware ids, so that its scanners on the USB bus are
// found.
#include "tools/devinstall/DeviceInstaller.h"

#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/devices/BusDiscovery.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/DeviceChoice.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace {

const char* StepName(DI_FUNCTION function)
{
    switch (function) {
    case DIF_INSTALLDEVICE:
        return "DIF_INSTALLDEVICE";
    case DIF_NEWDEVICEWIZARD_FINISHINSTALL:
        return "DIF_NEWDEVICEWIZARD_FINISHINSTALL";
    case DIF_FINISHINSTALL_ACTION:
        return "DIF_FINISHINSTALL_ACTION";
    case DIF_REMOVE:
        return "DIF_REMOVE";
    default:
        return "DIF_?";
    }
}

void PrintSteps(const std::vector<devinstall::StepResult>& steps)
{
    for (const devinstall::StepResult& step : steps)
        std::printf("  %-34s -> %lu\n", StepName(step.function), static_cast<unsigned long>(step.result));
}

// The service a copy runs as is named after the copy's file name.
std::u16string ServiceNameOf(const std::u16string& halPath)
{
    std::filesystem::path path(Utf16ToUtf8(halPath));
    return Utf8ToUtf16(path.stem().string());
}

void PrintValue(const plat::devices::DeviceRecord& device, const char16_t* name)
{
    const std::u16string value = devinstall::ReadDriverValue(device, name);
    std::printf("  %-14s %s\n", Utf16ToUtf8(name).c_str(), value.empty() ? "(none)" : Utf16ToUtf8(value).c_str());
}

const cli::Program kProgram{"devinstall",
                            "usage: devinstall install [--twain-folder DIR] [--device ID]\n"
                            "       devinstall remove [--device ID]\n"
                            "       devinstall --list\n"
                            "  install              stage the driver files, write the installation values,\n"
                            "                       register the still-image driver and run the steps\n"
                            "  remove               run the removal step\n"
                            "  --twain-folder DIR   move the device's data-source copy into DIR/RNX, the folder\n"
                            "                       a TWAIN data source manager reads (DIR itself,\n"
                            "                       /usr/local/lib/twain for the standard Linux one), instead\n"
                            "                       of the root's data-source folder; it is taken away from\n"
                            "                       where an earlier run put it\n"
                            "  --device ID          the scanner of that id, as --list prints it, or its serial\n"
                            "                       number (also taken as the last word); default: the first\n"
                            "                       plugged in, else the first recorded\n"
                            "  --list               the recorded scanners, one a line, by id first\n"
                            "  --help, --version\n"};

enum Key { kTwainFolder, kDevice, kList };

const std::vector<cli::Option> kOptions = {
    {"twain-folder", true, kTwainFolder}, {"device", true, kDevice}, {"list", false, kList}};

struct Options {
    std::string command;
    std::string twainFolder;
    std::string device;
    bool list = false;
};

// The command line into `o`; an exit status when the program ends here.
std::optional<int> ParseCommandLine(int argc, char** argv, Options& o)
{
    const cli::Parsed parsed = cli::Parse(kProgram, argc, argv, kOptions, [&o](int key, const std::string& value) {
        if (key == kTwainFolder)
            o.twainFolder = value;
        else if (key == kDevice)
            o.device = value;
        else
            o.list = true;
        return std::string();
    });
    if (parsed.exitCode)
        return parsed.exitCode;
    const std::vector<std::string>& words = parsed.operands;
    if (o.list)
        return words.empty() ? std::nullopt : std::optional<int>(cli::WrongUsage(kProgram, "--list takes no command"));
    if (words.empty() || (words[0] != "install" && words[0] != "remove"))
        return cli::WrongUsage(kProgram, words.empty() ? "no command" : "unknown command " + words[0]);
    if (words.size() > 2 || (words.size() == 2 && !o.device.empty()))
        return cli::WrongUsage(kProgram, "one scanner at a time");
    if (words[0] == "remove" && !o.twainFolder.empty())
        return cli::WrongUsage(kProgram, "--twain-folder is for install");
    o.command = words[0];
    if (words.size() == 2)
        o.device = words[1];
    return std::nullopt;
}

int RunInstall(devinstall::CoInstallerLibrary& coinstaller, const plat::devices::DeviceRecord& device,
               const std::string& bin, const std::string& twainFolder)
{
    const devinstall::InstallationValues values;
    for (const std::string& copy : devinstall::EndOrphanedServiceCopies(values))
        std::printf("ended %s, a service copy no registered service runs (its registry was removed)\n", copy.c_str());
    for (const std::string& missing : devinstall::StageDriverFiles(bin, values))
        std::fprintf(stderr, "devinstall: cannot stage %s\n", missing.c_str());
    if (!devinstall::WriteInstallationValues(device, values)) {
        std::fprintf(stderr, "devinstall: cannot write the driver key %s\n", Utf16ToUtf8(device.driverKey).c_str());
        return 1;
    }
    if (!devinstall::RegisterStillImageDriver(values)) {
        std::fputs("devinstall: cannot register the still-image driver\n", stderr);
        return 1;
    }
    std::printf("installing %s (driver key %s)\n", Utf16ToUtf8(device.instanceId).c_str(),
                Utf16ToUtf8(device.driverKey).c_str());
    const std::vector<devinstall::StepResult> steps = devinstall::Install(coinstaller, device);
    PrintSteps(steps);
    if (steps.empty()) {
        std::fputs("devinstall: the device cannot be opened\n", stderr);
        return 1;
    }
    // The data source goes where this run says, wherever an earlier one put it.
    const std::string dsFolder =
        twainFolder.empty() ? devinstall::DataSourceFolder() : (std::filesystem::path(twainFolder) / "RNX").string();
    if (!devinstall::PlaceDataSourceCopy(device, dsFolder)) {
        std::fprintf(stderr, "devinstall: cannot move the data source into %s\n", dsFolder.c_str());
        return 1;
    }
    for (const char16_t* name : {u"SymbolicName", u"HAL_PATH", u"HAL_CLSID", u"TWAIN_DS_PATH", u"USDClass"})
        PrintValue(device, name);
    const std::u16string halPath = devinstall::ReadDriverValue(device, u"HAL_PATH");
    const std::u16string clsid = devinstall::ReadDriverValue(device, u"HAL_CLSID");
    const bool service = !halPath.empty() && devinstall::ServiceExists(ServiceNameOf(halPath));
    std::printf("  service        %s%s\n", halPath.empty() ? "(none)" : Utf16ToUtf8(ServiceNameOf(halPath)).c_str(),
                service ? " registered" : " NOT registered");
    // A registration that could not run, or whose library refused, leaves
    // the library without its classes: no application could use the scanner.
    std::vector<std::string> unregistered;
    for (const std::string& library : devinstall::SharedLibraries(values)) {
        const bool registered = devinstall::LibraryRegistered(library);
        std::printf("  %s %s\n", std::filesystem::path(library).filename().c_str(),
                    registered ? "registered" : "NOT registered");
        if (!registered)
            unregistered.push_back(library);
    }
    for (const std::string& library : unregistered)
        std::fprintf(stderr,
                     "devinstall: %s could not be registered (the co-installer's log %s/Log/CoInstaller.log says "
                     "which run failed)\n",
                     library.c_str(), plat::SystemRoot().c_str());
    if (!service || clsid.empty() || !unregistered.empty()) {
        std::fputs("devinstall: installation incomplete\n", stderr);
        return 1;
    }
    std::puts("installed");
    return 0;
}

int RunRemove(devinstall::CoInstallerLibrary& coinstaller, const plat::devices::DeviceRecord& device)
{
    const std::u16string halPath = devinstall::ReadDriverValue(device, u"HAL_PATH");
    const std::u16string dsPath = devinstall::ReadDriverValue(device, u"TWAIN_DS_PATH");
    std::printf("removing %s\n", Utf16ToUtf8(device.instanceId).c_str());
    const std::vector<devinstall::StepResult> steps = devinstall::Remove(coinstaller, device);
    PrintSteps(steps);
    if (steps.empty()) {
        std::fputs("devinstall: the device cannot be opened\n", stderr);
        return 1;
    }
    devinstall::RemoveDataSourceLibraries(Utf16ToUtf8(dsPath));
    if (halPath.empty()) {
        std::puts("  nothing was installed");
        return 0;
    }
    const bool copyLeft = std::filesystem::exists(Utf16ToUtf8(halPath));
    const bool serviceLeft = devinstall::ServiceExists(ServiceNameOf(halPath));
    std::printf("  %s %s\n", Utf16ToUtf8(halPath).c_str(), copyLeft ? "still there" : "deleted");
    std::printf("  service %s %s\n", Utf16ToUtf8(ServiceNameOf(halPath)).c_str(),
                serviceLeft ? "still registered" : "deleted");
    if (copyLeft || serviceLeft) {
        std::fputs("devinstall: removal incomplete\n", stderr);
        return 1;
    }
    std::puts("removed");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const std::optional<int> exitCode = ParseCommandLine(argc, argv, options))
        return *exitCode;
    const std::string& command = options.command;
    if (!plat::EnsureSystemRootLayout()) {
        std::fputs("devinstall: cannot create the system root\n", stderr);
        return 1;
    }
    if (options.list) {
        plat::devices::RecordBusDevices();
        return cli::ListDevices(stdout, stderr, "devinstall") ? 0 : 1;
    }
    // The co-installer writes its log only into an existing folder.
    plat::CreatePrivateFolder(plat::SystemRoot() + "/Log");

    if (const std::string problem = cli::RegistryProblem(); !problem.empty()) {
        std::fprintf(stderr, "devinstall: %s\n", problem.c_str());
        return 1;
    }
    if (command == "install" && !devinstall::AddDriverPackage(devinstall::InstallationValues())) {
        std::fputs("devinstall: cannot install the driver package's hardware ids\n", stderr);
        return 1;
    }
    const std::optional<plat::devices::DeviceRecord> device = devinstall::FindScanner(options.device);
    if (!device) {
        std::fprintf(stderr, "devinstall: %s\n", cli::NoDeviceReason(options.device, "devinstall").c_str());
        return 1;
    }
    // The driver files lie beside the platform library, in the build's bin
    // folder as in an installation's library folder.
    const std::string bin = plat::PlatformFolder();
    devinstall::CoInstallerLibrary coinstaller;
    if (!coinstaller.Load(bin + "/RNXCoInstx.so")) {
        std::fprintf(stderr, "devinstall: cannot load %s/RNXCoInstx.so\n", bin.c_str());
        return 1;
    }
    return command == "install" ? RunInstall(coinstaller, *device, bin, options.twainFolder)
                                : RunRemove(coinstaller, *device);
}
