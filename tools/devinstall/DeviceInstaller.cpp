#include "tools/devinstall/DeviceInstaller.h"

#include "tools/cli/DeviceChoice.h"

#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/devices/BusDiscovery.h"
#include "platform/devices/DriverPackages.h"
#include "platform/kernel/Wait.h"
#include "platform/process/Process.h"
#include "platform/process/Toolhelp.h"

#include <algorithm>
#include <filesystem>

namespace devinstall {

namespace fs = std::filesystem;

namespace {

const std::u16string kClassKey = u"SYSTEM\\CurrentControlSet\\Control\\Class\\";

// Closes a registry key when it goes.
class ScopedKey {
public:
    explicit ScopedKey(HKEY key = nullptr) : m_key(key) {}
    ~ScopedKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    HKEY get() const { return m_key; }
    HKEY* put() { return &m_key; }

private:
    HKEY m_key = nullptr;
};

bool OpenDriverKey(const plat::devices::DeviceRecord& device, REGSAM access, ScopedKey& key)
{
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kClassKey + device.driverKey).c_str(), 0, access, key.put()) ==
           ERROR_SUCCESS;
}

bool WriteString(HKEY key, const char16_t* name, const std::u16string& value)
{
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(char16_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

// Replaces `to` with a copy of `from`; a copy keeps the program's own
// file name apart from the built one, as the installed files are. The copy
// replaces the file by rename, so the service and clients running the
// staged libraries keep their loaded code through a reinstallation.
bool CopyImage(const fs::path& from, const fs::path& to)
{
    plat::CreatePrivateFolder(to.parent_path().string());
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

fs::path StillImageDriverPath(const InstallationValues& values)
{
    return fs::path(plat::SystemFolder()) / (Utf16ToUtf8(values.stiFileName) + ".dll");
}

} // namespace

bool AddDriverPackage(const InstallationValues& values)
{
    return plat::devices::AddDriverPackage({values.hardwareIds, values.friendlyName, values.manufacturer});
}

std::optional<plat::devices::DeviceRecord> FindScanner(const std::string& name)
{
    plat::devices::RecordBusDevices();
    return cli::ChooseDevice(name);
}

std::string DataSourceFolder() { return (fs::path(plat::TwainSourceFolder(plat::SystemRoot())) / "RNX").string(); }

std::vector<std::string> StageDriverFiles(const std::string& binFolder, const InstallationValues& values)
{
    const fs::path bin(binFolder);
    const fs::path serviceFolder = fs::path(plat::SystemFolder()) / "RNX";
    const fs::path dsFolder = DataSourceFolder();
    const struct {
        fs::path from;
        fs::path to;
    } files[] = {
        {bin / "RNXQBK24x", serviceFolder / (Utf16ToUtf8(values.halFileName) + "x.BIN")},
        {bin / "RNXHALPSx.so", serviceFolder / (Utf16ToUtf8(values.proxyStubName) + "x.dll")},
        {bin / "RNXCOMCorex.so", serviceFolder / "RNXCOMCorex.dll"},
        {bin / "RNXShellExtx.so", serviceFolder / "RNXShellExtx.dll"},
        {bin / "QBK24TWAIN.ds", dsFolder / (Utf16ToUtf8(values.dsFileName) + ".BIN")},
        {bin / "QBK24STI.so", StillImageDriverPath(values)},
    };
    std::vector<std::string> missing;
    for (const auto& file : files) {
        if (!CopyImage(file.from, file.to))
            missing.push_back(file.from.string());
    }
    for (const char* library : kPlatformLibraries) {
        for (const fs::path& folder : {fs::path(plat::SystemFolder()), dsFolder}) {
            if (!CopyImage(bin / library, folder / library))
                missing.push_back((bin / library).string());
        }
    }
    return missing;
}

bool WriteInstallationValues(const plat::devices::DeviceRecord& device, const InstallationValues& values)
{
    ScopedKey key;
    if (!OpenDriverKey(device, KEY_READ | KEY_WRITE, key))
        return false;
    return WriteString(key.get(), u"HAL_FileName_BIN", values.halFileName) &&
           WriteString(key.get(), u"TWAIN_DS_FileName_BIN", values.dsFileName) &&
           WriteString(key.get(), u"PS_NAME", values.proxyStubName) &&
           WriteString(key.get(), u"USDClass", values.stiClass) &&
           WriteString(key.get(), u"FriendlyName", values.friendlyName);
}

bool PlaceDataSourceCopy(const plat::devices::DeviceRecord& device, const std::string& folder)
{
    const fs::path copy(Utf16ToUtf8(ReadDriverValue(device, u"TWAIN_DS_PATH")));
    if (copy.empty())
        return false;
    const fs::path target = fs::absolute(fs::path(folder));
    std::error_code error;
    const bool moving = !fs::equivalent(copy.parent_path(), target, error);
    if (moving && !CopyImage(copy, target / copy.filename()))
        return false;
    // A manager's folder gets the libraries as this installation staged them.
    if (!fs::equivalent(target, DataSourceFolder(), error)) {
        for (const char* library : kPlatformLibraries) {
            if (!CopyImage(fs::path(DataSourceFolder()) / library, target / library))
                return false;
        }
    }
    if (!moving)
        return true;
    ScopedKey key;
    if (!OpenDriverKey(device, KEY_WRITE, key) ||
        !WriteString(key.get(), u"TWAIN_DS_PATH", Utf8ToUtf16((target / copy.filename()).string())))
        return false;
    fs::remove(copy, error);
    RemoveDataSourceLibraries(copy.string());
    return true;
}

void RemoveDataSourceLibraries(const std::string& dsPath)
{
    const fs::path folder = fs::path(dsPath).parent_path();
    std::error_code error;
    if (dsPath.empty() || fs::equivalent(folder, DataSourceFolder(), error))
        return;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().filename().string().find(".ds") != std::string::npos)
            return;
    }
    for (const char* library : kPlatformLibraries)
        fs::remove(folder / library, error);
}

bool RegisterStillImageDriver(const InstallationValues& values)
{
    const std::u16string path = u"Software\\Classes\\CLSID\\" + values.stiClass + u"\\InprocServer32";
    ScopedKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    return WriteString(key.get(), nullptr, Utf8ToUtf16(StillImageDriverPath(values).string())) &&
           WriteString(key.get(), u"ThreadingModel", u"Both");
}

std::u16string ReadDriverValue(const plat::devices::DeviceRecord& device, const char16_t* name)
{
    ScopedKey key;
    if (!OpenDriverKey(device, KEY_READ, key))
        return {};
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ)
        return {};
    std::u16string value(bytes / sizeof(char16_t) + 1, u'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(char16_t));
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) !=
        ERROR_SUCCESS)
        return {};
    value.resize(std::min(value.size(), size_t{bytes} / sizeof(char16_t)));
    while (!value.empty() && value.back() == u'\0')
        value.pop_back();
    return value;
}

namespace {

// Ends every process of the system whose program file is `fileName`, and
// waits (a few seconds at most) for each to be gone.
void EndPrograms(const std::u16string& fileName)
{
    constexpr DWORD kEndWaitMs = 5000;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (!snapshot || snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (fileName != entry.szExeFile)
            continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (!process)
            continue;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, kEndWaitMs);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
}

} // namespace

std::vector<std::string> EndOrphanedServiceCopies(const InstallationValues& values)
{
    const fs::path serviceFolder = fs::path(plat::SystemFolder()) / "RNX";
    const std::string prefix = Utf16ToUtf8(values.halFileName) + "_";
    std::vector<fs::path> orphans;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(serviceFolder, error)) {
        const fs::path& copy = entry.path();
        if (copy.extension() == ".EXE" && copy.filename().string().rfind(prefix, 0) == 0 &&
            !ServiceExists(Utf8ToUtf16(copy.stem().string())))
            orphans.push_back(copy);
    }
    std::vector<std::string> ended;
    for (const fs::path& copy : orphans) {
        EndPrograms(Utf8ToUtf16(copy.filename().string()));
        fs::remove(copy, error);
        ended.push_back(copy.filename().string());
    }
    return ended;
}

bool ServiceExists(const std::u16string& name)
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return false;
    SC_HANDLE service = OpenServiceW(manager, name.c_str(), SERVICE_QUERY_STATUS);
    if (service)
        CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != nullptr;
}

std::vector<std::string> SharedLibraries(const InstallationValues& values)
{
    const fs::path serviceFolder = fs::path(plat::SystemFolder()) / "RNX";
    std::vector<std::string> libraries;
    for (const std::string& name :
         {Utf16ToUtf8(values.proxyStubName), std::string("RNXCOMCore"), std::string("RNXShellExt")})
        libraries.push_back((serviceFolder / (name + "x.dll")).string());
    return libraries;
}

bool LibraryRegistered(const std::string& path)
{
    ScopedKey classes;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_READ, classes.put()) != ERROR_SUCCESS)
        return false;
    const std::u16string wanted = Utf8ToUtf16(path);
    WCHAR name[256]; // the longest key name and its end
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(classes.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        ScopedKey server;
        const std::u16string serverKey = std::u16string(name, length) + u"\\InprocServer32";
        if (RegOpenKeyExW(classes.get(), serverKey.c_str(), 0, KEY_READ, server.put()) != ERROR_SUCCESS)
            continue;
        WCHAR value[1024] = {};
        DWORD bytes = sizeof value - sizeof(WCHAR);
        DWORD type = 0;
        if (RegQueryValueExW(server.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) ==
                ERROR_SUCCESS &&
            type == REG_SZ && std::u16string(value) == wanted)
            return true;
    }
}

CoInstallerLibrary::~CoInstallerLibrary()
{
    if (m_module)
        FreeLibrary(m_module);
}

bool CoInstallerLibrary::Load(const std::string& path)
{
    m_module = LoadLibraryA(path.c_str());
    if (!m_module)
        return false;
    m_entry = reinterpret_cast<Entry>(GetProcAddress(m_module, "fnCoInstaller"));
    return m_entry != nullptr;
}

bool CoInstallerLibrary::Call(const plat::devices::DeviceRecord& device, DI_FUNCTION function, StepResult* step,
                              DWORD* flagsEx)
{
    if (!m_entry)
        return false;
    HDEVINFO set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_IMAGE, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof data;
    bool opened = SetupDiOpenDeviceInfoW(set, device.instanceId.c_str(), nullptr, 0, &data) != FALSE;
    if (opened) {
        COINSTALLER_CONTEXT_DATA context = {};
        step->function = function;
        step->result = m_entry(function, set, &data, &context);
        if (flagsEx) {
            SP_DEVINSTALL_PARAMS_W params = {};
            params.cbSize = sizeof params;
            *flagsEx = SetupDiGetDeviceInstallParamsW(set, &data, &params) ? params.FlagsEx : 0;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return opened;
}

std::vector<StepResult> Install(CoInstallerLibrary& coinstaller, const plat::devices::DeviceRecord& device)
{
    std::vector<StepResult> steps;
    StepResult step;
    if (!coinstaller.Call(device, DIF_INSTALLDEVICE, &step))
        return steps;
    steps.push_back(step);
    DWORD flagsEx = 0;
    if (!coinstaller.Call(device, DIF_NEWDEVICEWIZARD_FINISHINSTALL, &step, &flagsEx))
        return steps;
    steps.push_back(step);
    if ((flagsEx & DI_FLAGSEX_FINISHINSTALL_ACTION) && coinstaller.Call(device, DIF_FINISHINSTALL_ACTION, &step))
        steps.push_back(step);
    return steps;
}

std::vector<StepResult> Remove(CoInstallerLibrary& coinstaller, const plat::devices::DeviceRecord& device)
{
    std::vector<StepResult> steps;
    StepResult step;
    if (coinstaller.Call(device, DIF_REMOVE, &step))
        steps.push_back(step);
    return steps;
}

} // namespace devinstall
