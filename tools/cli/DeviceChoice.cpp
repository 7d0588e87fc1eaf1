#include "tools/cli/DeviceChoice.h"

#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/windows.h"

#include <algorithm>

namespace cli {

namespace {

using plat::devices::DeviceRecord;

std::u16string SerialOf(const std::u16string& instanceId)
{
    const size_t slash = instanceId.rfind(u'\\');
    return slash == std::u16string::npos ? instanceId : instanceId.substr(slash + 1);
}

bool Present(const DeviceRecord& device) { return plat::devices::IsInterfacePresent(device.interfacePath); }

} // namespace

bool ListDevices(std::FILE* out, std::FILE* err, const char* program)
{
    const std::vector<DeviceRecord> devices = plat::devices::RecordedDevices();
    for (const DeviceRecord& device : devices)
        std::fprintf(out, "%s  %s\n", Utf16ToUtf8(device.instanceId).c_str(),
                     Present(device) ? "plugged in" : "not plugged in");
    if (devices.empty()) {
        const std::string problem = RegistryProblem();
        std::fprintf(err, "%s: %s\n", program, problem.empty() ? "no scanner is recorded" : problem.c_str());
    }
    return !devices.empty();
}

std::optional<DeviceRecord> ChooseDevice(const std::string& name)
{
    const std::vector<DeviceRecord> devices = plat::devices::RecordedDevices();
    const std::u16string wanted = Utf8ToUtf16(name);
    const auto chosen = std::find_if(devices.begin(), devices.end(), [&](const DeviceRecord& device) {
        if (wanted.empty())
            return Present(device);
        return plat::devices::EqualsNoCase(device.instanceId, wanted) ||
               plat::devices::EqualsNoCase(SerialOf(device.instanceId), wanted);
    });
    if (chosen != devices.end())
        return *chosen;
    if (wanted.empty() && !devices.empty())
        return devices.front();
    return std::nullopt;
}

std::string RegistryProblem()
{
    LONG error = ERROR_SUCCESS;
    plat::devices::RecordedDevices(&error);
    if (error == ERROR_SUCCESS)
        return {};
    const std::string path = plat::RegistryPath();
    if (error != ERROR_BADDB && error != ERROR_REGISTRY_CORRUPT)
        return "the registry " + path + " cannot be read (error " + std::to_string(error) + ")";
    // Nothing can be written into a damaged file, so no installation can
    // mend it; it has to go, and the scanner is recorded anew when it is
    // plugged in.
    return "the registry " + path + " is damaged: remove it (and " + path + "-shm and " + path +
           "-wal beside it), then plug the scanner in again and install it with devinstall install";
}

std::string NoDeviceReason(const std::string& name, const char* program)
{
    if (std::string problem = RegistryProblem(); !problem.empty())
        return problem;
    if (name.empty())
        return "no recorded scanner";
    return "no recorded scanner " + name + " (" + program + " --list lists them)";
}

} // namespace cli
