// The service calls on running services: starting, controls and status,
// and the same for other platform areas by name.
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/services/ServiceControl.h"
#include "platform/services/ServiceDatabase.h"
#include "platform/services/ServiceHandles.h"
#include "platform/services/ServiceRuntime.h"
#include "platform/services/winsvc.h"
#include "platform/services/ServiceChannel.h"
#include "platform/services/ServiceLauncher.h"
#include "platform/rpc/rpc.h"

#include <cstring>

using namespace plat::services;

namespace {

// Delivers a control to the service's dispatcher; ERROR_SUCCESS or why not.
DWORD DeliverControl(std::u16string_view name, DWORD control, DWORD eventType, const void* data, DWORD size,
                     SERVICE_STATUS_PROCESS& status)
{
    DWORD type = TypeOf(name);
    status = CurrentStatus(name, type);
    if (status.dwCurrentState == SERVICE_STOPPED)
        return ERROR_SERVICE_NOT_ACTIVE;
    ControlRequest request;
    request.control = control;
    request.eventType = eventType;
    if (size > kMaxControlData)
        return ERROR_INVALID_PARAMETER;
    if (data && size)
        request.data.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    ControlReply reply;
    DWORD error = SendControl(SocketPath(name), request, reply, kControlTimeoutMs);
    if (error == ERROR_SERVICE_NOT_ACTIVE) {
        status = CurrentStatus(name, type);
        // Start-pending before its dispatcher listens: the control cannot be taken yet.
        return status.dwCurrentState == SERVICE_STOPPED ? ERROR_SERVICE_NOT_ACTIVE : ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    }
    if (error != ERROR_SUCCESS)
        return error;
    status = reply.status;
    return reply.error;
}

DWORD AccessForControl(DWORD control)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        return SERVICE_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
    case SERVICE_CONTROL_PARAMCHANGE:
    case SERVICE_CONTROL_NETBINDADD:
    case SERVICE_CONTROL_NETBINDREMOVE:
    case SERVICE_CONTROL_NETBINDENABLE:
    case SERVICE_CONTROL_NETBINDDISABLE:
        return SERVICE_PAUSE_CONTINUE;
    case SERVICE_CONTROL_INTERROGATE:
        return SERVICE_INTERROGATE;
    default:
        return control >= 128 && control <= 255 ? SERVICE_USER_DEFINED_CONTROL : 0;
    }
}

// COM starts a class's LocalService through this.
HRESULT StartForActivation(const char16_t* serviceName)
{
    DWORD error = plat::StartServiceByName(serviceName ? serviceName : u"");
    return error == ERROR_SUCCESS || error == ERROR_SERVICE_ALREADY_RUNNING ? S_OK : HRESULT_FROM_WIN32(error);
}

const bool g_starterInstalled = [] {
    plat::rpc::SetServiceStarter(StartForActivation);
    return true;
}();

} // namespace

extern "C" {

BOOL StartServiceW(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCWSTR* lpServiceArgVectors)
{
    auto object = Use(hService, false, SERVICE_START);
    if (!object)
        return FALSE;
    if (dwNumServiceArgs > 0 && !lpServiceArgVectors)
        return Fail(ERROR_INVALID_PARAMETER);
    std::vector<std::u16string> args;
    for (DWORD i = 0; i < dwNumServiceArgs; ++i) {
        if (!lpServiceArgVectors[i])
            return Fail(ERROR_INVALID_PARAMETER);
        args.emplace_back(lpServiceArgVectors[i]);
    }
    DWORD error = ERROR_SUCCESS;
    auto config = ConfigOf(*object, error);
    if (!config)
        return Fail(error);
    if (config->startType == SERVICE_DISABLED)
        return Fail(ERROR_SERVICE_DISABLED);
    error = LaunchService(*config, args);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

BOOL StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors)
{
    if (dwNumServiceArgs > 0 && !lpServiceArgVectors)
        return Fail(ERROR_INVALID_PARAMETER);
    std::vector<std::u16string> wide;
    for (DWORD i = 0; i < dwNumServiceArgs; ++i) {
        if (!lpServiceArgVectors[i])
            return Fail(ERROR_INVALID_PARAMETER);
        wide.push_back(Utf8ToUtf16(lpServiceArgVectors[i]));
    }
    std::vector<LPCWSTR> pointers;
    for (const auto& arg : wide)
        pointers.push_back(arg.c_str());
    return StartServiceW(hService, dwNumServiceArgs, pointers.data());
}

BOOL ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus)
{
    if (!lpServiceStatus)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD access = AccessForControl(dwControl);
    auto object = Use(hService, false, access);
    if (!object)
        return FALSE;
    SERVICE_STATUS_PROCESS status = {};
    if (access == 0) {
        CopyStatus(CurrentStatus(object->name, TypeOf(object->name)), lpServiceStatus);
        return Fail(ERROR_INVALID_SERVICE_CONTROL);
    }
    DWORD error = DeliverControl(object->name, dwControl, 0, nullptr, 0, status);
    CopyStatus(status, lpServiceStatus);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

BOOL QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus)
{
    auto object = Use(hService, false, SERVICE_QUERY_STATUS);
    if (!object)
        return FALSE;
    if (!lpServiceStatus)
        return Fail(ERROR_INVALID_PARAMETER);
    CopyStatus(CurrentStatus(object->name, TypeOf(object->name)), lpServiceStatus);
    return TRUE;
}

BOOL QueryServiceStatusEx(SC_HANDLE hService, SC_STATUS_TYPE InfoLevel, LPBYTE lpBuffer, DWORD cbBufSize,
                          LPDWORD pcbBytesNeeded)
{
    auto object = Use(hService, false, SERVICE_QUERY_STATUS);
    if (!object)
        return FALSE;
    if (InfoLevel != SC_STATUS_PROCESS_INFO)
        return Fail(ERROR_INVALID_LEVEL);
    if (!pcbBytesNeeded)
        return Fail(ERROR_INVALID_PARAMETER);
    *pcbBytesNeeded = sizeof(SERVICE_STATUS_PROCESS);
    if (!lpBuffer || cbBufSize < sizeof(SERVICE_STATUS_PROCESS))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    SERVICE_STATUS_PROCESS status = CurrentStatus(object->name, TypeOf(object->name));
    std::memcpy(lpBuffer, &status, sizeof status);
    return TRUE;
}

} // extern "C"

namespace plat {

DWORD StartServiceByName(std::u16string_view serviceName, const std::vector<std::u16string>& args)
{
    auto config = ReadLiveService(serviceName);
    if (!config)
        return ERROR_SERVICE_DOES_NOT_EXIST;
    if (config->markedForDelete)
        return ERROR_SERVICE_MARKED_FOR_DELETE;
    if (config->startType == SERVICE_DISABLED)
        return ERROR_SERVICE_DISABLED;
    return LaunchService(*config, args);
}

DWORD SendServiceControl(std::u16string_view serviceName, DWORD control, DWORD eventType, const void* data,
                         DWORD dataSize)
{
    auto config = ReadService(serviceName);
    if (!config)
        return ERROR_SERVICE_DOES_NOT_EXIST;
    SERVICE_STATUS_PROCESS status;
    return DeliverControl(config->name, control, eventType, data, dataSize, status);
}

DWORD SendServiceDeviceEvent(std::u16string_view serviceName, DWORD eventType, const void* broadcast)
{
    DWORD size = 0;
    if (broadcast)
        std::memcpy(&size, broadcast, sizeof size);
    if (broadcast && (size < sizeof(DWORD) || size > kMaxControlData))
        return ERROR_INVALID_PARAMETER;
    return SendServiceControl(serviceName, SERVICE_CONTROL_DEVICEEVENT, eventType, broadcast, size);
}

bool QueryServiceStatusByName(std::u16string_view serviceName, SERVICE_STATUS_PROCESS& status)
{
    auto config = ReadService(serviceName);
    if (!config)
        return false;
    status = CurrentStatus(config->name, config->type);
    return true;
}

} // namespace plat
