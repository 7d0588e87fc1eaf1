// devinstall: installs or removes a recorded scanner through the
// co-installer, as the device installer would.
//
//   devinstall install [--twain-folder DIR] [INSTANCE-ID]
//        stage the driver files, write the installation values, register
//        the still-image driver, run the steps; with --twain-folder, move
//        the device's data-source copy into DIR/RNX, the folder a TWAIN
//        data source manager reads (DIR itself, /usr/local/lib/twain for
//        the standard Linux one), else into the root's data-source folder,
//        taking it and its libraries away from where an earlier run put it
//   devinstall remove [INSTANCE-ID]    run the removal step
//
// Without an instance id it acts on the first imaging device present, else
// on the first recorded one. Installing also installs the driver package's
// hardware ids, so that its scanners on the USB bus are found.
#include "tools/devinstall/DeviceInstaller.h"

#include "platform/base/strings.h"
#include "platform/base/sysroot.h"

#include <cstdio>
#include <filesystem>
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

int Usage()
{
    std::fputs("usage: devinstall install [--twain-folder DIR] [INSTANCE-ID]\n"
               "       devinstall remove [INSTANCE-ID]\n",
               stderr);
    return 2;
}

int RunInstall(devinstall::CoInstallerLibrary& coinstaller, const plat::devices::DeviceRecord& device,
               const std::string& bin, const std::string& twainFolder)
{
    const devinstall::InstallationValues values;
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
        std::fprintf(stderr, "devinstall: %s could not be registered (the co-installer's log %s/Log/CoInstaller.log says "
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
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    if (command != "install" && command != "remove")
        return Usage();
    std::string twainFolder;
    int next = 2;
    if (command == "install" && next + 1 < argc && std::string(argv[next]) == "--twain-folder") {
        twainFolder = argv[next + 1];
        next += 2;
    }
    if (argc > next + 1)
        return Usage();
    if (!plat::EnsureSystemRootLayout()) {
        std::fputs("devinstall: cannot create the system root\n", stderr);
        return 1;
    }
    // The co-installer writes its log only into an existing folder.
    plat::CreatePrivateFolder(plat::SystemRoot() + "/Log");

    if (command == "install" && !devinstall::AddDriverPackage(devinstall::InstallationValues())) {
        std::fputs("devinstall: cannot install the driver package's hardware ids\n", stderr);
        return 1;
    }
    const std::u16string instanceId = argc > next ? Utf8ToUtf16(argv[next]) : std::u16string();
    const std::optional<plat::devices::DeviceRecord> device = devinstall::FindScanner(instanceId);
    if (!device) {
        std::fputs("devinstall: no such recorded scanner\n", stderr);
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
    return command == "install" ? RunInstall(coinstaller, *device, bin, twainFolder)
                                : RunRemove(coinstaller, *device);
}
