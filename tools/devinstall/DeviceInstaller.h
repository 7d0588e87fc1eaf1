// Installs and removes a recorded scanner as the device installer does:
// the driver package's files in place, the installation values in the
// device's driver key, then the co-installer's entry for each step.
#pragma once

#include "platform/devices/DeviceDatabase.h"
#include "platform/windows.h"

#include <optional>
#include <string>
#include <vector>

namespace devinstall {

// The values the driver package's setup information writes into the
// device's driver key for the co-installer to read.
struct InstallationValues {
    std::u16string halFileName = u"RNXQBK24"; // service image: <name>x.BIN
    // Data-source image: <name>.BIN; its per-device copy <name>_NNNN.ds,
    // where the source finds its device number after "QBK24_".
    std::u16string dsFileName = u"QBK24";
    std::u16string proxyStubName = u"RNXHALPS"; // proxy/stub library: <name>x.dll
    // The device's name, which the still-image class installer writes into
    // the driver key as FriendlyName (the data source's product name).
    std::u16string friendlyName = u"Quillbox K24";
    // The still-image driver: <system>/<name>.dll, serving this class, which
    // the device's key names as USDClass.
    std::u16string stiFileName = u"QBK24STI";
    std::u16string stiClass = u"{8F2A4C61-3B7D-4E59-A1C8-D64E0B7F2935}";
    // The USB devices the package serves (the command set's two models),
    // and their maker.
    std::vector<std::u16string> hardwareIds = {u"USB\\VID_0ABC&PID_0DEF", u"USB\\VID_0ABC&PID_0DF0"};
    std::u16string manufacturer = u"Quorvant";
};

// One step of the installation as it was carried out.
struct StepResult {
    DI_FUNCTION function = 0;
    DWORD result = 0;
};

// Installs the package into the system's driver packages, so that its
// scanners on the USB bus are recorded as they are found.
bool AddDriverPackage(const InstallationValues& values);

// The recorded device to act on: the one `name` names (its instance id or
// serial number, cli::ChooseDevice), or, when it is empty, the first one
// present (else the first recorded). A scanner on the bus that an installed
// package serves is recorded first.
std::optional<plat::devices::DeviceRecord> FindScanner(const std::string& name);

// The platform library and its window back end, which the staged programs
// and libraries load from their own folder or the one above it (their run
// path): a copy of them goes into the system folder, for the service
// folder's programs and the still-image driver, and beside every
// data-source copy, so that a data source manager can load it with nothing
// else set up.
inline constexpr const char* kPlatformLibraries[] = {"libplatform.so", "libplatform_gtk.so"};

// <root>/windows/twain_32/RNX: where the co-installer makes the copies.
std::string DataSourceFolder();

// Copies the built images from `binFolder` to where the driver package puts
// them: the service folder <system>/RNX (service, proxy/stub, pipeline and
// shell extension), the data-source folder with the
// libraries the source loads beside it and, for the still-image driver,
// <system>, with the platform libraries there too (replacing what is
// there: running programs keep their loaded copies). Returns the files it
// could not copy.
std::vector<std::string> StageDriverFiles(const std::string& binFolder, const InstallationValues& values);

// The installation values, and the FriendlyName the class installer adds.
bool WriteInstallationValues(const plat::devices::DeviceRecord& device, const InstallationValues& values);

// Puts the device's data-source copy into `folder` (<root>/windows/twain_32/
// RNX, or the RNX folder of a data source manager's folder, where the
// manager lists it) as a regular file (a manager skips links), with the
// platform libraries as staged beside it outside the root: moved from where
// TWAIN_DS_PATH says, which then names the new place, and the old place
// cleaned up (RemoveDataSourceLibraries). A copy already there stays. False
// when a copy or the value cannot be written.
bool PlaceDataSourceCopy(const plat::devices::DeviceRecord& device, const std::string& folder);

// After a removal or a move: the libraries beside a copy that lay outside
// the system root go when no data-source copy is left in that folder.
void RemoveDataSourceLibraries(const std::string& dsPath);

// Registers the still-image driver's class (InprocServer32 with its staged
// file), as the driver package does; the image-acquisition service loads the
// driver through it.
bool RegisterStillImageDriver(const InstallationValues& values);

// A string value of the device's driver key; empty when missing.
std::u16string ReadDriverValue(const plat::devices::DeviceRecord& device, const char16_t* name);

// True when a service of that name is registered.
bool ServiceExists(const std::u16string& name);

// The hardware-service copies in <system>/RNX that no registered service
// runs: left by a registry that was removed while its service ran, whose
// program would serve the scanner beside the one an installation starts.
// Ends their programs and deletes the copies; returns their file names.
std::vector<std::string> EndOrphanedServiceCopies(const InstallationValues& values);

// The shared libraries the co-installer registers for every scanner, as
// it names them: <system>/RNX/ + the proxy/stub, RNXCOMCore and RNXShellExt,
// each <name>x.dll.
std::vector<std::string> SharedLibraries(const InstallationValues& values);

// True when a class names the library as its in-process server: what its
// registration writes.
bool LibraryRegistered(const std::string& path);

// The co-installer library and its one entry.
class CoInstallerLibrary {
public:
    CoInstallerLibrary() = default;
    ~CoInstallerLibrary();
    CoInstallerLibrary(const CoInstallerLibrary&) = delete;
    CoInstallerLibrary& operator=(const CoInstallerLibrary&) = delete;

    bool Load(const std::string& path);
    // Calls the entry for the device; false when the device cannot be opened.
    bool Call(const plat::devices::DeviceRecord& device, DI_FUNCTION function, StepResult* step,
              DWORD* flagsEx = nullptr);

private:
    using Entry = DWORD (*)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA, PCOINSTALLER_CONTEXT_DATA);
    HMODULE m_module = nullptr;
    Entry m_entry = nullptr;
};

// Installation: DIF_INSTALLDEVICE, then the wizard's finishing step and, when
// the co-installer asks for it, the finish-install action (firmware check).
std::vector<StepResult> Install(CoInstallerLibrary& coinstaller, const plat::devices::DeviceRecord& device);
// Removal: DIF_REMOVE.
std::vector<StepResult> Remove(CoInstallerLibrary& coinstaller, const plat::devices::DeviceRecord& device);

} // namespace devinstall
