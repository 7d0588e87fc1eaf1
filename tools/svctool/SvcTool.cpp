#include "tools/svctool/SvcTool.h"

#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/services/ServiceControl.h"
#include "platform/services/winsvc.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/OptionValues.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <utility>

namespace svctool {

namespace {

// How long start and stop wait for the service to get there.
constexpr DWORD kStateTimeoutMs = 60000;

constexpr int kUsage = 1;
constexpr int kFailed = 2;

const char* const kUsageText =
    "usage: svctool create NAME \"COMMAND LINE\" [--display TEXT] [--start auto|demand|disabled]\n"
    "                      [--depend SERVICE]... [--description TEXT]\n"
    "       svctool start NAME [ARGUMENT...]\n"
    "       svctool stop NAME\n"
    "       svctool query [NAME]\n"
    "       svctool delete NAME\n"
    "       svctool --help | --version\n"
    "NAME may also be a display name. start and stop wait until the service runs or has stopped.\n";

const cli::Program kProgram{"svctool", kUsageText, kUsage};

enum CreateKey { kDisplay, kStart, kDepend, kDescription };

const std::vector<cli::Option> kCreateOptions = {{"display", true, kDisplay},
                                                 {"start", true, kStart},
                                                 {"depend", true, kDepend},
                                                 {"description", true, kDescription}};

// What create is told besides its name and command line.
struct CreateOptions {
    std::optional<std::u16string> display;
    std::optional<std::u16string> description;
    DWORD start = SERVICE_DEMAND_START;
    std::u16string dependencies;

    std::string Take(int key, const std::string& value)
    {
        static const std::vector<std::string> kStarts = {"auto", "demand", "disabled"};
        static const DWORD kStartTypes[] = {SERVICE_AUTO_START, SERVICE_DEMAND_START, SERVICE_DISABLED};
        size_t index = 0;
        std::string problem;
        // clang-format off
        switch (key) {
        case kDisplay: display = Utf8ToUtf16(value); break;
        case kDescription: description = Utf8ToUtf16(value); break;
        case kDepend: dependencies += Utf8ToUtf16(value) + u'\0'; break;
        case kStart:
            problem = cli::NameOneOf(value, kStarts, &index);
            start = kStartTypes[index];
            break;
        }
        // clang-format on
        return problem;
    }
};

class ScHandle {
public:
    explicit ScHandle(SC_HANDLE handle = nullptr) : m_handle(handle) {}
    ~ScHandle()
    {
        if (m_handle)
            CloseServiceHandle(m_handle);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    ScHandle(ScHandle&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
    ScHandle& operator=(ScHandle&& other) noexcept
    {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    SC_HANDLE Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    SC_HANDLE m_handle;
};

std::string ErrorText(DWORD error)
{
    const char* text = nullptr;
    switch (error) {
    case ERROR_ACCESS_DENIED:
        text = "access is denied";
        break;
    case ERROR_FILE_NOT_FOUND:
        text = "the program was not found";
        break;
    case ERROR_SERVICE_REQUEST_TIMEOUT:
        text = "the service did not respond in time";
        break;
    case ERROR_SERVICE_ALREADY_RUNNING:
        text = "the service is already running";
        break;
    case ERROR_SERVICE_DISABLED:
        text = "the service is disabled";
        break;
    case ERROR_SERVICE_DOES_NOT_EXIST:
        text = "no such service";
        break;
    case ERROR_SERVICE_CANNOT_ACCEPT_CTRL:
        text = "the service cannot take the control now";
        break;
    case ERROR_SERVICE_NOT_ACTIVE:
        text = "the service is not running";
        break;
    case ERROR_SERVICE_MARKED_FOR_DELETE:
        text = "the service is marked for deletion";
        break;
    case ERROR_SERVICE_EXISTS:
        text = "the service exists already";
        break;
    case ERROR_DUPLICATE_SERVICE_NAME:
        text = "the name is in use as a service name or display name";
        break;
    case ERROR_INVALID_NAME:
        text = "the name is not valid";
        break;
    default:
        break;
    }
    std::string result = "error " + std::to_string(error);
    return text ? result + " (" + text + ")" : result;
}

const char* StateName(DWORD state)
{
    static const char* const names[] = {"",        "STOPPED",          "START_PENDING", "STOP_PENDING",
                                        "RUNNING", "CONTINUE_PENDING", "PAUSE_PENDING", "PAUSED"};
    return state < std::size(names) ? names[state] : "UNKNOWN";
}

const char* StartName(DWORD start)
{
    static const char* const names[] = {"BOOT_START", "SYSTEM_START", "AUTO_START", "DEMAND_START", "DISABLED"};
    return start < std::size(names) ? names[start] : "UNKNOWN";
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The service's key name for a name or a display name.
std::optional<std::u16string> KeyName(SC_HANDLE scm, const std::string& given)
{
    std::u16string name = Utf8ToUtf16(given);
    if (ScHandle service{OpenServiceW(scm, name.c_str(), SERVICE_QUERY_STATUS)})
        return name;
    WCHAR buffer[260];
    DWORD size = static_cast<DWORD>(std::size(buffer));
    if (GetServiceKeyNameW(scm, name.c_str(), buffer, &size))
        return std::u16string(buffer);
    return std::nullopt;
}

class Tool {
public:
    Tool(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    int Main(const std::vector<std::string>& words)
    {
        // The options end at the command: what follows is the command's (a
        // service's start arguments may look like options).
        const cli::Parsed parsed = cli::Parse(kProgram, words, m_out, m_err, cli::Operands::AfterOptions);
        if (parsed.exitCode)
            return *parsed.exitCode;
        const std::vector<std::string>& args = parsed.operands;
        if (args.empty())
            return Usage();
        m_scm = ScHandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!m_scm)
            return Fail("open the service manager", GetLastError());
        const std::string& command = args[0];
        std::vector<std::string> rest(args.begin() + 1, args.end());
        if (command == "create")
            return Create(rest);
        if (command == "start" && !rest.empty())
            return Start(rest[0], {rest.begin() + 1, rest.end()});
        if (command == "stop" && rest.size() == 1)
            return Stop(rest[0]);
        if (command == "query" && rest.size() <= 1)
            return rest.empty() ? QueryAll() : Query(rest[0]);
        if (command == "delete" && rest.size() == 1)
            return Delete(rest[0]);
        return Usage();
    }

    // "net start NAME" / "net stop NAME".
    int Net(const std::vector<std::string>& args)
    {
        m_scm = ScHandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        std::string verb = args.empty() ? "" : Lower(args[0]);
        if (!m_scm || (verb != "start" && verb != "stop") || args.size() > 2) {
            m_err << "The syntax of this command is:\n\nNET START | STOP [service]\n";
            return kFailed;
        }
        if (args.size() == 1) {
            if (verb == "stop") {
                m_err << "The syntax of this command is:\n\nNET STOP service\n";
                return kFailed;
            }
            m_out << "These services are started:\n\n";
            for (const auto& name : plat::ListServiceNames()) {
                SERVICE_STATUS_PROCESS status;
                if (plat::QueryServiceStatusByName(name, status) && status.dwCurrentState == SERVICE_RUNNING)
                    m_out << "   " << Utf16ToUtf8(DisplayName(name)) << "\n";
            }
            return 0;
        }
        auto name = KeyName(m_scm.Get(), args[1]);
        if (!name) {
            m_err << "The service name is invalid.\n";
            return kFailed;
        }
        std::string shown = Utf16ToUtf8(DisplayName(*name));
        ScHandle service(OpenServiceW(m_scm.Get(), name->c_str(), SERVICE_ALL_ACCESS));
        if (verb == "start") {
            if (!StartServiceW(service.Get(), 0, nullptr)) {
                DWORD error = GetLastError();
                m_err << (error == ERROR_SERVICE_ALREADY_RUNNING ? "The requested service has already been started.\n"
                                                                 : "The " + shown + " service could not be started.\n");
                return kFailed;
            }
            m_out << "The " << shown << " service is starting.\n";
            if (!plat::WaitForServiceState(*name, SERVICE_RUNNING, kStateTimeoutMs)) {
                m_err << "The " << shown << " service could not be started.\n";
                return kFailed;
            }
            m_out << "The " << shown << " service was started successfully.\n";
            return 0;
        }
        SERVICE_STATUS status = {};
        if (!ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
            DWORD error = GetLastError();
            m_err << (error == ERROR_SERVICE_NOT_ACTIVE ? "The " + shown + " service is not started.\n"
                                                        : "The " + shown + " service could not be stopped.\n");
            return kFailed;
        }
        m_out << "The " << shown << " service is stopping.\n";
        if (!plat::WaitForServiceState(*name, SERVICE_STOPPED, kStateTimeoutMs)) {
            m_err << "The " << shown << " service could not be stopped.\n";
            return kFailed;
        }
        m_out << "The " << shown << " service was stopped successfully.\n";
        return 0;
    }

private:
    int Usage()
    {
        m_err << kUsageText;
        return kUsage;
    }

    int Fail(const std::string& what, DWORD error)
    {
        m_err << "svctool: cannot " << what << ": " << ErrorText(error) << "\n";
        return kFailed;
    }

    std::u16string DisplayName(const std::u16string& name)
    {
        WCHAR buffer[260];
        DWORD size = static_cast<DWORD>(std::size(buffer));
        return GetServiceDisplayNameW(m_scm.Get(), name.c_str(), buffer, &size) ? std::u16string(buffer) : name;
    }

    // Opens a service by name or display name.
    ScHandle Open(const std::string& given, DWORD access, std::u16string& name)
    {
        auto key = KeyName(m_scm.Get(), given);
        if (!key) {
            SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
            return ScHandle();
        }
        name = *key;
        return ScHandle(OpenServiceW(m_scm.Get(), name.c_str(), access));
    }

    int Create(const std::vector<std::string>& words)
    {
        CreateOptions o;
        const cli::Parsed parsed = cli::Parse(
            kProgram, words, kCreateOptions, [&o](int key, const std::string& value) { return o.Take(key, value); },
            m_out, m_err);
        if (parsed.exitCode)
            return *parsed.exitCode;
        const std::vector<std::string>& args = parsed.operands;
        if (args.size() != 2)
            return Usage();
        std::u16string name = Utf8ToUtf16(args[0]);
        std::u16string path = Utf8ToUtf16(args[1]);
        const std::optional<std::u16string>& display = o.display;
        std::optional<std::u16string> description = o.description;
        const DWORD start = o.start;
        std::u16string dependencies = o.dependencies;
        dependencies.push_back(u'\0');
        ScHandle service(CreateServiceW(m_scm.Get(), name.c_str(), display ? display->c_str() : nullptr,
                                        SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, start, SERVICE_ERROR_NORMAL,
                                        path.c_str(), nullptr, nullptr, dependencies.c_str(), nullptr, nullptr));
        if (!service)
            return Fail("create " + args[0], GetLastError());
        if (description) {
            SERVICE_DESCRIPTIONW info = {description->data()};
            if (!ChangeServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, &info))
                return Fail("describe " + args[0], GetLastError());
        }
        m_out << "created " << args[0] << "\n";
        return 0;
    }

    int Start(const std::string& given, const std::vector<std::string>& args)
    {
        std::u16string name;
        ScHandle service = Open(given, SERVICE_START | SERVICE_QUERY_STATUS, name);
        if (!service)
            return Fail("open " + given, GetLastError());
        std::vector<std::u16string> wide;
        for (const auto& arg : args)
            wide.push_back(Utf8ToUtf16(arg));
        std::vector<LPCWSTR> pointers;
        for (const auto& arg : wide)
            pointers.push_back(arg.c_str());
        if (!StartServiceW(service.Get(), static_cast<DWORD>(pointers.size()), pointers.data()))
            return Fail("start " + given, GetLastError());
        if (!plat::WaitForServiceState(name, SERVICE_RUNNING, kStateTimeoutMs))
            return Fail("start " + given, ERROR_SERVICE_REQUEST_TIMEOUT);
        m_out << Utf16ToUtf8(name) << ": RUNNING\n";
        return 0;
    }

    int Stop(const std::string& given)
    {
        std::u16string name;
        ScHandle service = Open(given, SERVICE_STOP | SERVICE_QUERY_STATUS, name);
        if (!service)
            return Fail("open " + given, GetLastError());
        SERVICE_STATUS status = {};
        if (!ControlService(service.Get(), SERVICE_CONTROL_STOP, &status))
            return Fail("stop " + given, GetLastError());
        if (!plat::WaitForServiceState(name, SERVICE_STOPPED, kStateTimeoutMs))
            return Fail("stop " + given, ERROR_SERVICE_REQUEST_TIMEOUT);
        m_out << Utf16ToUtf8(name) << ": STOPPED\n";
        return 0;
    }

    int Query(const std::string& given)
    {
        std::u16string name;
        ScHandle service = Open(given, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG, name);
        if (!service)
            return Fail("open " + given, GetLastError());
        SERVICE_STATUS_PROCESS status = {};
        DWORD needed = 0;
        if (!QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                  sizeof status, &needed))
            return Fail("query " + given, GetLastError());
        QueryServiceConfigW(service.Get(), nullptr, 0, &needed);
        std::vector<unsigned long long> buffer(needed / sizeof(unsigned long long) + 1);
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (!QueryServiceConfigW(service.Get(), config, static_cast<DWORD>(buffer.size() * sizeof buffer[0]), &needed))
            return Fail("query " + given, GetLastError());
        char line[160];
        m_out << "SERVICE_NAME: " << Utf16ToUtf8(name) << "\n";
        m_out << "DISPLAY_NAME: " << Utf16ToUtf8(config->lpDisplayName) << "\n";
        std::snprintf(line, sizeof line, "        STATE              : %u  %s\n", status.dwCurrentState,
                      StateName(status.dwCurrentState));
        m_out << line;
        std::snprintf(line, sizeof line, "        WIN32_EXIT_CODE    : %u\n        SERVICE_EXIT_CODE  : %u\n",
                      status.dwWin32ExitCode, status.dwServiceSpecificExitCode);
        m_out << line;
        std::snprintf(line, sizeof line, "        PID                : %u\n        START_TYPE         : %u  %s\n",
                      status.dwProcessId, config->dwStartType, StartName(config->dwStartType));
        m_out << line;
        m_out << "        BINARY_PATH_NAME   : " << Utf16ToUtf8(config->lpBinaryPathName) << "\n";
        return 0;
    }

    int QueryAll()
    {
        for (const auto& name : plat::ListServiceNames()) {
            SERVICE_STATUS_PROCESS status;
            if (plat::QueryServiceStatusByName(name, status))
                m_out << Utf16ToUtf8(name) << "\t" << StateName(status.dwCurrentState) << "\n";
        }
        return 0;
    }

    int Delete(const std::string& given)
    {
        std::u16string name;
        ScHandle service = Open(given, DELETE, name);
        if (!service)
            return Fail("open " + given, GetLastError());
        if (!DeleteService(service.Get()))
            return Fail("delete " + given, GetLastError());
        m_out << "deleted " << Utf16ToUtf8(name) << "\n";
        return 0;
    }

    std::ostream& m_out;
    std::ostream& m_err;
    ScHandle m_scm;
};

bool IsNetName(const std::string& programName)
{
    size_t slash = programName.find_last_of("/\\");
    std::string base = Lower(slash == std::string::npos ? programName : programName.substr(slash + 1));
    return base == "net" || base == "net.exe";
}

} // namespace

int Run(const std::string& programName, const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    try {
        Tool tool(out, err);
        return IsNetName(programName) ? tool.Net(args) : tool.Main(args);
    } catch (const std::exception& error) {
        err << "svctool: " << error.what() << "\n";
        return kFailed;
    }
}

} // namespace svctool
