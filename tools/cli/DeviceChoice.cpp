#include "tools/cli/DeviceChoice.h"

#include "platform/base/strings.h"

#include <algorithm>

namespace cli {

namespace {

using plat::devices::DeviceRecord;

std::u16string SerialOf(const std::u16string& instanceId)
{
    const size_t slash = instanceId.rfind(u'\\');
    return slash == std::u16string::npos ? instanceId : instanceId.substr(slash + 1);
}

bool Present(const DeviceRecord& device)
{
    return plat::devices::IsInterfacePresent(device.interfacePath);
}

} // namespace

bool ListDevices(std::FILE* out, std::FILE* err, const char* program)
{
    const std::vector<DeviceRecord> devices = plat::devices::RecordedDevices();
    for (const DeviceRecord& device : devices)
        std::fprintf(out, "%s  %s\n", Utf16ToUtf8(device.instanceId).c_str(),
                     Present(device) ? "plugged in" : "not plugged in");
    if (devices.empty())
        std::fprintf(err, "%s: no scanner is recorded\n", program);
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

} // namespace cli
