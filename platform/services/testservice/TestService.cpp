// A small service program for the service tests. It records what happens to
// it, one line each, in the file named by --record, and takes options from
// its command line:
//   --record FILE       where to write the record (required)
//   --exit-code N       the Win32 exit code it reports when it stops
//   --stay-pending      never reports running
//   --shutdown-only     accepts shutdown but not stop
//   --device-notify     registers for device notices on its status handle
// Controls: stop and shutdown end the service; interrogate answers; a device
// event is recorded with its event type and block; user control 200 is
// refused with ERROR_CALL_NOT_IMPLEMENTED; user control 201 ends the process
// at once without reporting; user control 202 announces a device arrival in
// this process, which comes back through its device notification.
#include "platform/devices/DeviceNotification.h"
#include "platform/windows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

std::string g_recordPath;
DWORD g_exitCode = 0;
bool g_stayPending = false;
bool g_shutdownOnly = false;
bool g_deviceNotify = false;

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status = {};
HANDLE g_stopEvent = nullptr;

// The device-interface broadcast block, as device notifications send it.
struct DeviceInterfaceBroadcast {
    DWORD dbcc_size;
    DWORD dbcc_devicetype;
    DWORD dbcc_reserved;
    GUID dbcc_classguid;
    WCHAR dbcc_name[1];
};

void Record(const std::string& line)
{
    if (FILE* file = std::fopen(g_recordPath.c_str(), "a")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

void Report(DWORD state)
{
    g_status.dwCurrentState = state;
    SetServiceStatus(g_statusHandle, &g_status);
}

std::string DescribeDeviceEvent(DWORD eventType, const void* data)
{
    std::string line = "device-event " + std::to_string(eventType);
    if (!data)
        return line + " no-data";
    const auto* header = static_cast<const DeviceInterfaceBroadcast*>(data);
    line += " size " + std::to_string(header->dbcc_size) + " type " + std::to_string(header->dbcc_devicetype);
    if (header->dbcc_devicetype == 5 && header->dbcc_size >= sizeof(DeviceInterfaceBroadcast)) {
        size_t nameChars = (header->dbcc_size - offsetof(DeviceInterfaceBroadcast, dbcc_name)) / sizeof(WCHAR);
        std::u16string name(header->dbcc_name, std::char_traits<char16_t>::length(header->dbcc_name));
        if (name.size() < nameChars)
            line += " class " + plat::GuidToString(header->dbcc_classguid) + " name " + Utf16ToUtf8(name);
    }
    return line;
}

DWORD Handler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context)
{
    if (context != &g_status)
        Record("bad-context");
    switch (control) {
    case SERVICE_CONTROL_STOP:
        Record("control stop");
        Report(SERVICE_STOP_PENDING);
        SetEvent(g_stopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_SHUTDOWN:
        Record("control shutdown");
        SetEvent(g_stopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        Record("control interrogate");
        return NO_ERROR;
    case SERVICE_CONTROL_DEVICEEVENT:
        Record(DescribeDeviceEvent(eventType, eventData));
        return NO_ERROR;
    case 201:
        Record("control crash");
        _exit(3);
    case 202:
        plat::devices::AnnounceDeviceEvent(
            u"\\\\?\\usb#vid_04c5&pid_1234#notice#{6bdd1fc6-810f-11d0-bec7-08002be2092f}",
            plat::devices::DeviceEvent::Arrival);
        return NO_ERROR;
    default:
        Record("control " + std::to_string(control) + " refused");
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void ServiceMain(DWORD argc, LPWSTR* argv)
{
    std::string line = "main";
    for (DWORD i = 0; i < argc; ++i)
        line += " " + Utf16ToUtf8(argv[i]);
    Record(line);

    g_statusHandle = RegisterServiceCtrlHandlerExW(argv[0], Handler, &g_status);
    if (!g_statusHandle) {
        Record("register-failed " + std::to_string(GetLastError()));
        return;
    }
    HDEVNOTIFY notification = nullptr;
    if (g_deviceNotify) {
        DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = plat::MakeGuid("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}");
        notification = RegisterDeviceNotificationW(g_statusHandle, &filter, DEVICE_NOTIFY_SERVICE_HANDLE);
        Record(notification ? "notify-registered" : "notify-failed " + std::to_string(GetLastError()));
    }
    g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    Report(SERVICE_START_PENDING);
    if (!g_stayPending) {
        g_status.dwControlsAccepted =
            g_shutdownOnly ? SERVICE_ACCEPT_SHUTDOWN : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
        Report(SERVICE_RUNNING);
        Record("running");
    }
    WaitForSingleObject(g_stopEvent, INFINITE);
    CloseHandle(g_stopEvent);
    if (notification)
        UnregisterDeviceNotification(notification);
    g_status.dwWin32ExitCode = g_exitCode;
    g_status.dwControlsAccepted = 0;
    Record("stopped");
    Report(SERVICE_STOPPED);
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--record" && i + 1 < argc)
            g_recordPath = argv[++i];
        else if (option == "--exit-code" && i + 1 < argc)
            g_exitCode = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        else if (option == "--stay-pending")
            g_stayPending = true;
        else if (option == "--shutdown-only")
            g_shutdownOnly = true;
        else if (option == "--device-notify")
            g_deviceNotify = true;
    }
    if (g_recordPath.empty())
        return 2;

    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(u"TestService"), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        Record("dispatcher-failed " + std::to_string(GetLastError()));
        return 1;
    }
    Record("dispatcher-returned");
    return 0;
}
