// Services: the service database, the service-control calls and the calls a
// service program makes to run under the service manager.
//
// The database is the registry (HKLM\SYSTEM\CurrentControlSet\Services\<name>,
// with the values Windows keeps there). A started service is its ImagePath
// program run detached; its dispatcher listens on a control socket in the
// run-time folder and keeps its reported status in a file beside it, so any
// process that shares the system root sees and controls it.
//
// The names without a suffix are the W forms; A forms take UTF-8.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/base/winerror.h"

struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__*;
using LPSC_HANDLE = SC_HANDLE*;
struct SERVICE_STATUS_HANDLE__;
using SERVICE_STATUS_HANDLE = SERVICE_STATUS_HANDLE__*;

// The standard access rights (DELETE, READ_CONTROL, ...) and the generic
// rights (GENERIC_READ, ...) are understood too.

// Service manager access rights.
constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
constexpr DWORD SC_MANAGER_CREATE_SERVICE = 0x0002;
constexpr DWORD SC_MANAGER_ENUMERATE_SERVICE = 0x0004;
constexpr DWORD SC_MANAGER_LOCK = 0x0008;
constexpr DWORD SC_MANAGER_QUERY_LOCK_STATUS = 0x0010;
constexpr DWORD SC_MANAGER_MODIFY_BOOT_CONFIG = 0x0020;
constexpr DWORD SC_MANAGER_ALL_ACCESS = 0x000F003F;

// Service access rights.
constexpr DWORD SERVICE_QUERY_CONFIG = 0x0001;
constexpr DWORD SERVICE_CHANGE_CONFIG = 0x0002;
constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
constexpr DWORD SERVICE_ENUMERATE_DEPENDENTS = 0x0008;
constexpr DWORD SERVICE_START = 0x0010;
constexpr DWORD SERVICE_STOP = 0x0020;
constexpr DWORD SERVICE_PAUSE_CONTINUE = 0x0040;
constexpr DWORD SERVICE_INTERROGATE = 0x0080;
constexpr DWORD SERVICE_USER_DEFINED_CONTROL = 0x0100;
constexpr DWORD SERVICE_ALL_ACCESS = 0x000F01FF;

// Service types.
constexpr DWORD SERVICE_KERNEL_DRIVER = 0x01;
constexpr DWORD SERVICE_FILE_SYSTEM_DRIVER = 0x02;
constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x10;
constexpr DWORD SERVICE_WIN32_SHARE_PROCESS = 0x20;
constexpr DWORD SERVICE_WIN32 = 0x30;
constexpr DWORD SERVICE_INTERACTIVE_PROCESS = 0x100;

// Start types and error control.
constexpr DWORD SERVICE_BOOT_START = 0;
constexpr DWORD SERVICE_SYSTEM_START = 1;
constexpr DWORD SERVICE_AUTO_START = 2;
constexpr DWORD SERVICE_DEMAND_START = 3;
constexpr DWORD SERVICE_DISABLED = 4;
constexpr DWORD SERVICE_ERROR_IGNORE = 0;
constexpr DWORD SERVICE_ERROR_NORMAL = 1;
constexpr DWORD SERVICE_ERROR_SEVERE = 2;
constexpr DWORD SERVICE_ERROR_CRITICAL = 3;
constexpr DWORD SERVICE_NO_CHANGE = 0xFFFFFFFFu;

// Current states.
constexpr DWORD SERVICE_STOPPED = 1;
constexpr DWORD SERVICE_START_PENDING = 2;
constexpr DWORD SERVICE_STOP_PENDING = 3;
constexpr DWORD SERVICE_RUNNING = 4;
constexpr DWORD SERVICE_CONTINUE_PENDING = 5;
constexpr DWORD SERVICE_PAUSE_PENDING = 6;
constexpr DWORD SERVICE_PAUSED = 7;

// Controls.
constexpr DWORD SERVICE_CONTROL_STOP = 1;
constexpr DWORD SERVICE_CONTROL_PAUSE = 2;
constexpr DWORD SERVICE_CONTROL_CONTINUE = 3;
constexpr DWORD SERVICE_CONTROL_INTERROGATE = 4;
constexpr DWORD SERVICE_CONTROL_SHUTDOWN = 5;
constexpr DWORD SERVICE_CONTROL_PARAMCHANGE = 6;
constexpr DWORD SERVICE_CONTROL_NETBINDADD = 7;
constexpr DWORD SERVICE_CONTROL_NETBINDREMOVE = 8;
constexpr DWORD SERVICE_CONTROL_NETBINDENABLE = 9;
constexpr DWORD SERVICE_CONTROL_NETBINDDISABLE = 10;
constexpr DWORD SERVICE_CONTROL_DEVICEEVENT = 11;
constexpr DWORD SERVICE_CONTROL_HARDWAREPROFILECHANGE = 12;
constexpr DWORD SERVICE_CONTROL_POWEREVENT = 13;
constexpr DWORD SERVICE_CONTROL_SESSIONCHANGE = 14;
constexpr DWORD SERVICE_CONTROL_PRESHUTDOWN = 15;

// Controls a service accepts (SERVICE_STATUS::dwControlsAccepted).
constexpr DWORD SERVICE_ACCEPT_STOP = 0x001;
constexpr DWORD SERVICE_ACCEPT_PAUSE_CONTINUE = 0x002;
constexpr DWORD SERVICE_ACCEPT_SHUTDOWN = 0x004;
constexpr DWORD SERVICE_ACCEPT_PARAMCHANGE = 0x008;
constexpr DWORD SERVICE_ACCEPT_NETBINDCHANGE = 0x010;
constexpr DWORD SERVICE_ACCEPT_HARDWAREPROFILECHANGE = 0x020;
constexpr DWORD SERVICE_ACCEPT_POWEREVENT = 0x040;
constexpr DWORD SERVICE_ACCEPT_SESSIONCHANGE = 0x080;
constexpr DWORD SERVICE_ACCEPT_PRESHUTDOWN = 0x100;

// ChangeServiceConfig2 / QueryServiceConfig2 information levels.
constexpr DWORD SERVICE_CONFIG_DESCRIPTION = 1;

// Dependencies on a load-order group start with this character.
constexpr WCHAR SC_GROUP_IDENTIFIERW = u'+';

struct SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
};
using LPSERVICE_STATUS = SERVICE_STATUS*;

struct SERVICE_STATUS_PROCESS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
    DWORD dwProcessId;
    DWORD dwServiceFlags;
};
using LPSERVICE_STATUS_PROCESS = SERVICE_STATUS_PROCESS*;

enum SC_STATUS_TYPE { SC_STATUS_PROCESS_INFO = 0 };

struct QUERY_SERVICE_CONFIGW {
    DWORD dwServiceType;
    DWORD dwStartType;
    DWORD dwErrorControl;
    LPWSTR lpBinaryPathName;
    LPWSTR lpLoadOrderGroup;
    DWORD dwTagId;
    LPWSTR lpDependencies;
    LPWSTR lpServiceStartName;
    LPWSTR lpDisplayName;
};
using LPQUERY_SERVICE_CONFIGW = QUERY_SERVICE_CONFIGW*;

struct SERVICE_DESCRIPTIONW {
    LPWSTR lpDescription;
};
struct SERVICE_DESCRIPTIONA {
    LPSTR lpDescription;
};

using LPSERVICE_MAIN_FUNCTIONW = void (*)(DWORD dwNumServicesArgs, LPWSTR* lpServiceArgVectors);
using LPSERVICE_MAIN_FUNCTIONA = void (*)(DWORD dwNumServicesArgs, LPSTR* lpServiceArgVectors);
using LPHANDLER_FUNCTION = void (*)(DWORD dwControl);
using LPHANDLER_FUNCTION_EX = DWORD (*)(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData, LPVOID lpContext);

struct SERVICE_TABLE_ENTRYW {
    LPWSTR lpServiceName;
    LPSERVICE_MAIN_FUNCTIONW lpServiceProc;
};
struct SERVICE_TABLE_ENTRYA {
    LPSTR lpServiceName;
    LPSERVICE_MAIN_FUNCTIONA lpServiceProc;
};

extern "C" {

// Only the local machine and the active database exist: a machine name other
// than null, empty or "." fails with ERROR_INVALID_NAME.
SC_HANDLE OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess);
SC_HANDLE OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess);

// ERROR_SERVICE_EXISTS when the name is taken, ERROR_DUPLICATE_SERVICE_NAME
// when the name or display name equals another service's name or display
// name, ERROR_SERVICE_MARKED_FOR_DELETE when a service of that name is still
// running after its deletion. The account and password are recorded (the
// account as ObjectName) but services run as the calling user.
SC_HANDLE CreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName, DWORD dwDesiredAccess,
                         DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl, LPCWSTR lpBinaryPathName,
                         LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId, LPCWSTR lpDependencies,
                         LPCWSTR lpServiceStartName, LPCWSTR lpPassword);
SC_HANDLE CreateServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, LPCSTR lpDisplayName, DWORD dwDesiredAccess,
                         DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl, LPCSTR lpBinaryPathName,
                         LPCSTR lpLoadOrderGroup, LPDWORD lpdwTagId, LPCSTR lpDependencies, LPCSTR lpServiceStartName,
                         LPCSTR lpPassword);

// ERROR_SERVICE_DOES_NOT_EXIST for an unknown name (names compare without
// regard to case).
SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess);
SC_HANDLE OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess);

BOOL CloseServiceHandle(SC_HANDLE hSCObject);

// Runs the ImagePath program detached and returns once its dispatcher has
// connected (the service is then start-pending or further). Errors:
// ERROR_SERVICE_ALREADY_RUNNING, ERROR_SERVICE_DISABLED,
// ERROR_SERVICE_MARKED_FOR_DELETE, ERROR_FILE_NOT_FOUND / ERROR_ACCESS_DENIED
// / ERROR_BAD_EXE_FORMAT when the program cannot be run, and
// ERROR_SERVICE_REQUEST_TIMEOUT when it ends or waits 30 s without calling
// StartServiceCtrlDispatcher. Dependencies are recorded, not started.
BOOL StartServiceW(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCWSTR* lpServiceArgVectors);
BOOL StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors);

// Stop, pause, continue, interrogate, parameter change, the user-defined
// controls 128-255, and (standing in for the system's shutdown) shutdown,
// which needs SERVICE_STOP access. Waits for the service's handler.
// ERROR_SERVICE_NOT_ACTIVE when the service is not running,
// ERROR_SERVICE_CANNOT_ACCEPT_CTRL when it does not accept the control or is
// start- or stop-pending, ERROR_INVALID_SERVICE_CONTROL for other control
// codes; on these three errors *lpServiceStatus still gets the latest status.
// A handler's error return is the call's error.
BOOL ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus);

// A service that was never started reports stopped with
// ERROR_SERVICE_NEVER_STARTED; one whose process ended without reporting
// stopped reports stopped with ERROR_PROCESS_ABORTED.
BOOL QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus);
BOOL QueryServiceStatusEx(SC_HANDLE hService, SC_STATUS_TYPE InfoLevel, LPBYTE lpBuffer, DWORD cbBufSize,
                          LPDWORD pcbBytesNeeded);

// A stopped service is removed at once; a running one is marked and removed
// when it stops. A second delete gives ERROR_SERVICE_MARKED_FOR_DELETE.
BOOL DeleteService(SC_HANDLE hService);

BOOL QueryServiceConfigW(SC_HANDLE hService, LPQUERY_SERVICE_CONFIGW lpServiceConfig, DWORD cbBufSize,
                         LPDWORD pcbBytesNeeded);
BOOL ChangeServiceConfigW(SC_HANDLE hService, DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl,
                          LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId, LPCWSTR lpDependencies,
                          LPCWSTR lpServiceStartName, LPCWSTR lpPassword, LPCWSTR lpDisplayName);
// Only SERVICE_CONFIG_DESCRIPTION; a null or empty description removes it.
BOOL ChangeServiceConfig2W(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo);
BOOL ChangeServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo);

// Name from display name and back. *lpcchBuffer is in characters (A form:
// bytes) without the terminator on return; a buffer too small gives
// ERROR_INSUFFICIENT_BUFFER and the length needed.
BOOL GetServiceKeyNameW(SC_HANDLE hSCManager, LPCWSTR lpDisplayName, LPWSTR lpServiceName, LPDWORD lpcchBuffer);
BOOL GetServiceKeyNameA(SC_HANDLE hSCManager, LPCSTR lpDisplayName, LPSTR lpServiceName, LPDWORD lpcchBuffer);
BOOL GetServiceDisplayNameW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPWSTR lpDisplayName, LPDWORD lpcchBuffer);
BOOL GetServiceDisplayNameA(SC_HANDLE hSCManager, LPCSTR lpServiceName, LPSTR lpDisplayName, LPDWORD lpcchBuffer);

// The service program's side. StartServiceCtrlDispatcher fails with
// ERROR_FAILED_SERVICE_CONTROLLER_CONNECT when the program was not started
// by StartService; otherwise it runs the service's ServiceMain on a new
// thread, delivers controls to the registered handler on the calling thread,
// and returns when the service has reported SERVICE_STOPPED. SIGTERM is a
// stop control (or shutdown, when stop is not accepted); a second SIGTERM
// ends the process.
BOOL StartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* lpServiceStartTable);
BOOL StartServiceCtrlDispatcherA(const SERVICE_TABLE_ENTRYA* lpServiceStartTable);
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExW(LPCWSTR lpServiceName, LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                    LPVOID lpContext);
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExA(LPCSTR lpServiceName, LPHANDLER_FUNCTION_EX lpHandlerProc,
                                                    LPVOID lpContext);
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerW(LPCWSTR lpServiceName, LPHANDLER_FUNCTION lpHandlerProc);
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerA(LPCSTR lpServiceName, LPHANDLER_FUNCTION lpHandlerProc);
BOOL SetServiceStatus(SERVICE_STATUS_HANDLE hServiceStatus, LPSERVICE_STATUS lpServiceStatus);

} // extern "C"

inline SC_HANDLE OpenSCManager(LPCWSTR machine, LPCWSTR database, DWORD access)
{
    return OpenSCManagerW(machine, database, access);
}
inline SC_HANDLE CreateService(SC_HANDLE scm, LPCWSTR name, LPCWSTR displayName, DWORD access, DWORD type,
                               DWORD startType, DWORD errorControl, LPCWSTR binaryPath, LPCWSTR group, LPDWORD tagId,
                               LPCWSTR dependencies, LPCWSTR account, LPCWSTR password)
{
    return CreateServiceW(scm, name, displayName, access, type, startType, errorControl, binaryPath, group, tagId,
                          dependencies, account, password);
}
inline SC_HANDLE OpenService(SC_HANDLE scm, LPCWSTR name, DWORD access) { return OpenServiceW(scm, name, access); }
inline BOOL StartService(SC_HANDLE service, DWORD argc, LPCWSTR* argv) { return StartServiceW(service, argc, argv); }
inline BOOL GetServiceKeyName(SC_HANDLE scm, LPCWSTR displayName, LPWSTR name, LPDWORD cch)
{
    return GetServiceKeyNameW(scm, displayName, name, cch);
}
inline BOOL GetServiceDisplayName(SC_HANDLE scm, LPCWSTR name, LPWSTR displayName, LPDWORD cch)
{
    return GetServiceDisplayNameW(scm, name, displayName, cch);
}
inline BOOL ChangeServiceConfig2(SC_HANDLE service, DWORD level, LPVOID info)
{
    return ChangeServiceConfig2W(service, level, info);
}
inline BOOL StartServiceCtrlDispatcher(const SERVICE_TABLE_ENTRYW* table) { return StartServiceCtrlDispatcherW(table); }
inline SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerEx(LPCWSTR name, LPHANDLER_FUNCTION_EX handler, LPVOID context)
{
    return RegisterServiceCtrlHandlerExW(name, handler, context);
}
inline SERVICE_STATUS_HANDLE RegisterServiceCtrlHandler(LPCWSTR name, LPHANDLER_FUNCTION handler)
{
    return RegisterServiceCtrlHandlerW(name, handler);
}
