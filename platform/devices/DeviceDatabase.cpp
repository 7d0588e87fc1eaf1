#include "platform/devices/DeviceDatabase.h"

#include "platform/base/format.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"
#include "platform/devices/MachineKeys.h"
#include "platform/devices/UsbBus.h"
#include "platform/registry/winreg.h"
#include "platform/usb/SocketEndpoint.h"
#include "platform/usb/UsbBackend.h"

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace plat::devices {

namespace {

constexpr std::u16string_view kEnumUsb = u"SYSTEM\\CurrentControlSet\\Enum\\USB";
constexpr std::u16string_view kEnumRoot = u"SYSTEM\\CurrentControlSet\\Enum\\";
constexpr std::u16string_view kClassKey =
    u"SYSTEM\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";
constexpr std::u16string_view kDeviceClassesKey =
    u"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
constexpr std::u16string_view kClassGuidText = u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";
constexpr std::u16string_view kInterfaceSuffix = u"#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
constexpr std::u16string_view kPathPrefix = u"\\\\?\\";
constexpr std::u16string_view kUsbStem = u"usb#";

// Held while a device is recorded: between processes, a file lock in the
// run-time folder (released when its descriptor closes, also by a crash).
class DatabaseLock {
public:
    DatabaseLock() : m_fd(OpenPrivateFile(RuntimeFolder() + "/devices.lock", O_RDWR | O_CREAT | O_CLOEXEC))
    {
        if (m_fd >= 0)
            flock(m_fd, LOCK_EX);
    }
    ~DatabaseLock()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

private:
    int m_fd;
};

std::u16string Hex4(WORD value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return Utf8ToUtf16(text);
}

// The driver key's instance number: the lowest NNNN not taken.
std::u16string FreeDriverInstance(HKEY classKey)
{
    std::vector<std::u16string> taken = SubKeys(classKey);
    for (int n = 0; n < 10000; ++n) {
        char text[8];
        std::snprintf(text, sizeof text, "%04d", n);
        std::u16string name = Utf8ToUtf16(text);
        if (std::none_of(taken.begin(), taken.end(), [&](const std::u16string& t) { return EqualsNoCase(t, name); }))
            return name;
    }
    return {};
}

// The interface key name under DeviceClasses: the path with "\\?\" written "##?#".
std::u16string InterfaceKeyName(std::u16string_view interfacePath)
{
    return u"##?#" + std::u16string(interfacePath.substr(kPathPrefix.size()));
}

std::optional<DeviceRecord> ReadRecord(std::u16string_view instanceId)
{
    Key key;
    if (!OpenKey(std::u16string(kEnumRoot) + std::u16string(instanceId), KEY_READ, key))
        return std::nullopt;
    if (!EqualsNoCase(ReadString(key.Get(), u"ClassGUID"), kClassGuidText))
        return std::nullopt;
    DeviceRecord record;
    record.instanceId = std::u16string(instanceId);
    record.driverKey = ReadString(key.Get(), u"Driver");
    record.interfacePath = InterfacePathFor(instanceId);
    return record;
}

} // namespace

std::u16string ToLowerAscii(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

std::u16string ToUpperAscii(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    return out;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && ToLowerAscii(a) == ToLowerAscii(b);
}

std::u16string InstanceIdFor(WORD vendorId, WORD productId, std::u16string_view serial)
{
    return u"USB\\VID_" + Hex4(vendorId) + u"&PID_" + Hex4(productId) + u"\\" + ToUpperAscii(serial);
}

std::u16string InterfacePathFor(std::u16string_view instanceId)
{
    std::u16string body(instanceId);
    std::replace(body.begin(), body.end(), u'\\', u'#');
    return ToLowerAscii(std::u16string(kPathPrefix) + body + std::u16string(kInterfaceSuffix));
}

bool AddDevice(const DeviceIdentity& identity, DeviceRecord* record)
{
    if (identity.serial.empty() || identity.serial.find(u'\\') != std::u16string::npos)
        return false;
    const DatabaseLock lock;
    const std::u16string instanceId = InstanceIdFor(identity.vendorId, identity.productId, identity.serial);
    if (std::optional<DeviceRecord> existing = ReadRecord(instanceId)) {
        if (record)
            *record = *existing;
        return true;
    }

    Key classKey;
    if (!CreateKey(kClassKey, classKey))
        return false;
    SetString(classKey.Get(), u"Class", u"Image");
    const std::u16string instance = FreeDriverInstance(classKey.Get());
    if (instance.empty())
        return false;
    const std::u16string driverKey = std::u16string(kClassGuidText) + u"\\" + instance;

    Key driver;
    if (!CreateKey(std::u16string(kClassKey) + u"\\" + instance, driver))
        return false;
    const std::u16string hardwareId = u"USB\\VID_" + Hex4(identity.vendorId) + u"&PID_" + Hex4(identity.productId);
    bool ok = SetString(driver.Get(), u"MatchingDeviceId", ToLowerAscii(hardwareId)) &&
              SetString(driver.Get(), u"DriverDesc", identity.description);

    const std::u16string interfacePath = InterfacePathFor(instanceId);
    Key deviceClass;
    Key link;
    ok = ok && CreateKey(std::u16string(kDeviceClassesKey) + u"\\" + InterfaceKeyName(interfacePath), deviceClass) &&
         SetString(deviceClass.Get(), u"DeviceInstance", instanceId) &&
         CreateKey(std::u16string(kDeviceClassesKey) + u"\\" + InterfaceKeyName(interfacePath) + u"\\#", link) &&
         SetString(link.Get(), u"SymbolicLink", interfacePath);

    // The Enum key last: a device counts as recorded once it exists.
    Key device;
    ok = ok && CreateKey(std::u16string(kEnumRoot) + instanceId, device) &&
         SetString(device.Get(), u"DeviceDesc", identity.description) &&
         SetMultiString(device.Get(), u"HardwareID", hardwareId) &&
         SetString(device.Get(), u"Mfg", identity.manufacturer) && SetString(device.Get(), u"Class", u"Image") &&
         SetString(device.Get(), u"Service", u"usbscan") && SetString(device.Get(), u"Driver", driverKey) &&
         SetString(device.Get(), u"ClassGUID", kClassGuidText);
    if (!ok) {
        RemoveDevice(instanceId);
        return false;
    }
    if (record)
        *record = DeviceRecord{instanceId, driverKey, interfacePath};
    return true;
}

bool RemoveDevice(std::u16string_view instanceId)
{
    std::u16string id(instanceId);
    Key device;
    std::u16string driverKey;
    if (OpenKey(std::u16string(kEnumRoot) + id, KEY_READ, device))
        driverKey = ReadString(device.Get(), u"Driver");
    bool found = RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::u16string(kEnumRoot) + id).c_str()) == ERROR_SUCCESS;
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::u16string(kEnumRoot) + id).c_str());
    const size_t slash = driverKey.rfind(u'\\');
    if (slash != std::u16string::npos && EqualsNoCase(driverKey.substr(0, slash), kClassGuidText)) {
        std::u16string path = std::u16string(kClassKey) + driverKey.substr(slash);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
    }
    std::u16string link = std::u16string(kDeviceClassesKey) + u"\\" + InterfaceKeyName(InterfacePathFor(id));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, link.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, link.c_str());
    return found;
}

std::vector<DeviceRecord> RecordedDevices(LONG* error)
{
    std::vector<DeviceRecord> records;
    Key usb;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, std::u16string(kEnumUsb).c_str(), 0, KEY_READ, usb.Put());
    // No key is no device; a registry that cannot be read is not the same.
    if (error)
        *error = opened == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : opened;
    if (opened != ERROR_SUCCESS)
        return records;
    std::vector<std::u16string> hardwareIds = SubKeys(usb.Get());
    std::sort(hardwareIds.begin(), hardwareIds.end(),
              [](const std::u16string& a, const std::u16string& b) { return ToUpperAscii(a) < ToUpperAscii(b); });
    for (const std::u16string& hardwareId : hardwareIds) {
        Key hardware;
        if (!OpenKey(std::u16string(kEnumUsb) + u"\\" + hardwareId, KEY_READ, hardware))
            continue;
        std::vector<std::u16string> serials = SubKeys(hardware.Get());
        std::sort(serials.begin(), serials.end(),
                  [](const std::u16string& a, const std::u16string& b) { return ToUpperAscii(a) < ToUpperAscii(b); });
        for (const std::u16string& serial : serials)
            if (std::optional<DeviceRecord> record = ReadRecord(u"USB\\" + hardwareId + u"\\" + serial))
                records.push_back(std::move(*record));
    }
    return records;
}

std::optional<DeviceRecord> FindDevice(std::u16string_view instanceId)
{
    for (DeviceRecord& record : RecordedDevices())
        if (EqualsNoCase(record.instanceId, instanceId))
            return std::move(record);
    return std::nullopt;
}

std::optional<DeviceRecord> FindDeviceByInterfacePath(std::u16string_view interfacePath)
{
    for (DeviceRecord& record : RecordedDevices())
        if (EqualsNoCase(record.interfacePath, interfacePath))
            return std::move(record);
    return std::nullopt;
}

std::string EndpointFolder()
{
    std::string folder = RuntimeFolder() + "/usb";
    CreatePrivateFolder(folder);
    return folder;
}

std::u16string DeviceNameOf(std::u16string_view interfacePath)
{
    // Accept the "\\.\" spelling too; both name the same device.
    if (interfacePath.size() <= kPathPrefix.size() + kInterfaceSuffix.size() ||
        !(interfacePath.substr(0, 4) == kPathPrefix || interfacePath.substr(0, 4) == u"\\\\.\\"))
        return {};
    std::u16string lower = ToLowerAscii(interfacePath);
    if (!std::u16string_view(lower).ends_with(kInterfaceSuffix))
        return {};
    std::u16string stem = lower.substr(kPathPrefix.size(), lower.size() - kPathPrefix.size() - kInterfaceSuffix.size());
    if (!stem.starts_with(kUsbStem))
        return {};
    std::u16string name = stem.substr(kUsbStem.size());
    // The name becomes a file name: no separators, nothing hidden or climbing out.
    if (name.empty() || name.find(u'/') != std::u16string::npos || name.find(u'\\') != std::u16string::npos ||
        name.find(u'\0') != std::u16string::npos || name[0] == u'.')
        return {};
    return name;
}

std::string EndpointPathFor(std::u16string_view interfacePath)
{
    const std::u16string name = DeviceNameOf(interfacePath);
    return name.empty() ? std::string() : EndpointFolder() + "/" + Utf16ToUtf8(name);
}

std::u16string InterfacePathForEndpointName(std::string_view fileName)
{
    if (!fileName.starts_with("vid_"))
        return {};
    return std::u16string(kPathPrefix) + std::u16string(kUsbStem) + ToLowerAscii(Utf8ToUtf16(fileName)) +
           std::u16string(kInterfaceSuffix);
}

bool IsInterfacePresent(std::u16string_view interfacePath)
{
    if (usb::FindInProcessDevice(interfacePath).backend)
        return true;
    std::string endpoint = EndpointPathFor(interfacePath);
    return !endpoint.empty() && (usb::IsEndpointLive(endpoint) || FindBusDevice(interfacePath));
}

} // namespace plat::devices
