// The service-control calls: handles to the manager and to services, the
// database through the registry, and running services through their files
// and control sockets.
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/rpc/rpc.h"
#include "platform/services/ServiceChannel.h"
#include "platform/services/ServiceControl.h"
#include "platform/services/ServiceDatabase.h"
#include "platform/services/ServiceLauncher.h"
#include "platform/services/ServiceRuntime.h"
#include "platform/services/winsvc.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

using namespace plat::services;

namespace {

struct ScObject {
    bool isManager = false;
    DWORD access = 0;
    std::u16string name; // services: the name as stored
    bool deleted = false;
};

// Handle values are never reused, so a stale handle is refused.
class HandleTable {
public:
    SC_HANDLE Insert(std::shared_ptr<ScObject> object)
    {
        std::lock_guard guard(m_lock);
        m_next += 4;
        m_objects[m_next] = std::move(object);
        return reinterpret_cast<SC_HANDLE>(m_next);
    }

    std::shared_ptr<ScObject> Find(SC_HANDLE handle)
    {
        std::lock_guard guard(m_lock);
        auto found = m_objects.find(reinterpret_cast<uintptr_t>(handle));
        return found == m_objects.end() ? nullptr : found->second;
    }

    bool Remove(SC_HANDLE handle)
    {
        std::lock_guard guard(m_lock);
        return m_objects.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
    }

private:
    std::mutex m_lock;
    uintptr_t m_next = 0x5C0000;
    std::map<uintptr_t, std::shared_ptr<ScObject>> m_objects;
};

HandleTable& Handles()
{
    static HandleTable table;
    return table;
}

// The generic rights, by value (the file calls declare them too).
constexpr DWORD kGenericRead = 0x80000000u;
constexpr DWORD kGenericWrite = 0x40000000u;
constexpr DWORD kGenericExecute = 0x20000000u;
constexpr DWORD kGenericAll = 0x10000000u;

DWORD MapManagerAccess(DWORD access)
{
    if (access & kGenericRead)
        access |= READ_CONTROL | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
    if (access & kGenericWrite)
        access |= SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG;
    if (access & kGenericExecute)
        access |= SC_MANAGER_CONNECT | SC_MANAGER_LOCK;
    if (access & kGenericAll)
        access |= SC_MANAGER_ALL_ACCESS;
    return access | SC_MANAGER_CONNECT;
}

DWORD MapServiceAccess(DWORD access)
{
    if (access & kGenericRead)
        access |= READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
                  SERVICE_ENUMERATE_DEPENDENTS;
    if (access & kGenericWrite)
        access |= READ_CONTROL | SERVICE_CHANGE_CONFIG;
    if (access & kGenericExecute)
        access |= READ_CONTROL | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE |
                  SERVICE_USER_DEFINED_CONTROL;
    if (access & kGenericAll)
        access |= SERVICE_ALL_ACCESS;
    return access;
}

// The handle's object when it is of the wanted kind and allows `access`;
// else null with the Windows error set.
std::shared_ptr<ScObject> Use(SC_HANDLE handle, bool manager, DWORD access)
{
    auto object = Handles().Find(handle);
    if (!object || object->isManager != manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((object->access & access) != access) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return object;
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

bool IsRunning(std::u16string_view name, DWORD type)
{
    return CurrentStatus(name, type).dwCurrentState != SERVICE_STOPPED;
}

// A service marked for deletion goes once it no longer runs.
std::optional<ServiceConfig> ReadLiveService(std::u16string_view name)
{
    auto config = ReadService(name);
    if (config && config->markedForDelete && !IsRunning(config->name, config->type)) {
        RemoveService(config->name);
        return std::nullopt;
    }
    return config;
}

// The configuration behind a service handle, or the error for one whose
// service has been deleted meanwhile.
std::optional<ServiceConfig> ConfigOf(const ScObject& object, DWORD& error)
{
    auto config = ReadService(object.name);
    if (!config || object.deleted || config->markedForDelete) {
        error = ERROR_SERVICE_MARKED_FOR_DELETE;
        return std::nullopt;
    }
    return config;
}

std::u16string Text(LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); }

std::optional<std::u16string> Narrowed(LPCSTR text)
{
    if (!text)
        return std::nullopt;
    return Utf8ToUtf16(text);
}

const WCHAR* Pointer(const std::optional<std::u16string>& text) { return text ? text->c_str() : nullptr; }

// A narrow double-zero-terminated list in its wide form.
std::optional<std::u16string> NarrowedList(LPCSTR list)
{
    if (!list)
        return std::nullopt;
    std::u16string wide;
    while (*list) {
        std::string item(list);
        wide += Utf8ToUtf16(item);
        wide.push_back(u'\0');
        list += item.size() + 1;
    }
    wide.push_back(u'\0');
    return wide;
}

void SplitDependencies(const WCHAR* list, ServiceConfig& config)
{
    config.dependOnService.clear();
    config.dependOnGroup.clear();
    for (auto& item : SplitMultiString(list)) {
        if (item[0] == SC_GROUP_IDENTIFIERW)
            config.dependOnGroup.push_back(item.substr(1));
        else
            config.dependOnService.push_back(item);
    }
}

// Another service already uses `name` or `displayName` as a name or a
// display name.
bool NamesClash(std::u16string_view name, std::u16string_view displayName)
{
    for (const auto& other : ReadAllServices()) {
        if (SameName(other.name, name))
            continue;
        if (SameName(other.ShownName(), name) || SameName(other.name, displayName) ||
            SameName(other.ShownName(), displayName))
            return true;
    }
    return false;
}

bool ValidType(DWORD type)
{
    DWORD process = type & ~SERVICE_INTERACTIVE_PROCESS;
    return process == SERVICE_WIN32_OWN_PROCESS || process == SERVICE_WIN32_SHARE_PROCESS;
}

void CopyStatus(const SERVICE_STATUS_PROCESS& from, SERVICE_STATUS* to)
{
    if (!to)
        return;
    to->dwServiceType = from.dwServiceType;
    to->dwCurrentState = from.dwCurrentState;
    to->dwControlsAccepted = from.dwControlsAccepted;
    to->dwWin32ExitCode = from.dwWin32ExitCode;
    to->dwServiceSpecificExitCode = from.dwServiceSpecificExitCode;
    to->dwCheckPoint = from.dwCheckPoint;
    to->dwWaitHint = from.dwWaitHint;
}

DWORD TypeOf(std::u16string_view name)
{
    auto config = ReadService(name);
    return config ? config->type : SERVICE_WIN32_OWN_PROCESS;
}

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

// Copies a name out the Windows way: sizes in characters without the
// terminator; ERROR_INSUFFICIENT_BUFFER with the size needed.
template <typename Char>
BOOL CopyName(const std::basic_string<Char>& text, Char* buffer, LPDWORD size)
{
    if (!size)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD length = static_cast<DWORD>(text.size());
    if (!buffer || *size <= length) {
        if (buffer && *size > 0)
            buffer[0] = 0;
        *size = length;
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(Char));
    *size = length;
    return TRUE;
}

std::optional<ServiceConfig> FindByDisplayName(std::u16string_view displayName)
{
    for (auto& config : ReadAllServices()) {
        if (SameName(config.ShownName(), displayName))
            return config;
    }
    return std::nullopt;
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

SC_HANDLE OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess)
{
    std::u16string machine = Text(lpMachineName);
    if (!machine.empty() && machine != u"." && machine != u"\\\\." && !SameName(machine, u"localhost")) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    if (lpDatabaseName && !SameName(lpDatabaseName, u"ServicesActive")) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    auto object = std::make_shared<ScObject>();
    object->isManager = true;
    object->access = MapManagerAccess(dwDesiredAccess);
    return Handles().Insert(std::move(object));
}

SC_HANDLE OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess)
{
    auto machine = Narrowed(lpMachineName);
    auto database = Narrowed(lpDatabaseName);
    return OpenSCManagerW(Pointer(machine), Pointer(database), dwDesiredAccess);
}

SC_HANDLE CreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName, DWORD dwDesiredAccess,
                         DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl, LPCWSTR lpBinaryPathName,
                         LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId, LPCWSTR lpDependencies,
                         LPCWSTR lpServiceStartName, LPCWSTR /*lpPassword*/)
{
    if (!Use(hSCManager, true, SC_MANAGER_CREATE_SERVICE))
        return nullptr;
    std::u16string name = Text(lpServiceName);
    if (!IsValidServiceName(name)) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    if (!lpBinaryPathName || !*lpBinaryPathName || !ValidType(dwServiceType) || dwStartType > SERVICE_DISABLED ||
        dwErrorControl > SERVICE_ERROR_CRITICAL || (lpdwTagId && !lpLoadOrderGroup)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (auto existing = ReadLiveService(name)) {
        SetLastError(existing->markedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS);
        return nullptr;
    }
    ServiceConfig config;
    config.name = name;
    config.displayName = Text(lpDisplayName);
    if (NamesClash(name, config.ShownName())) {
        SetLastError(ERROR_DUPLICATE_SERVICE_NAME);
        return nullptr;
    }
    config.imagePath = lpBinaryPathName;
    config.type = dwServiceType;
    config.startType = dwStartType;
    config.errorControl = dwErrorControl;
    config.group = Text(lpLoadOrderGroup);
    config.objectName = lpServiceStartName && *lpServiceStartName ? lpServiceStartName : u"LocalSystem";
    SplitDependencies(lpDependencies, config);
    if (LONG error = WriteNewService(config); error != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(error));
        return nullptr;
    }
    // A status left by an earlier service of the same name does not belong to this one.
    if (!IsServiceProcessAlive(name))
        RemoveRuntimeFiles(name);
    if (lpdwTagId)
        *lpdwTagId = 0;
    auto object = std::make_shared<ScObject>();
    object->access = MapServiceAccess(dwDesiredAccess);
    object->name = name;
    return Handles().Insert(std::move(object));
}

SC_HANDLE CreateServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, LPCSTR lpDisplayName, DWORD dwDesiredAccess,
                         DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl, LPCSTR lpBinaryPathName,
                         LPCSTR lpLoadOrderGroup, LPDWORD lpdwTagId, LPCSTR lpDependencies,
                         LPCSTR lpServiceStartName, LPCSTR lpPassword)
{
    auto name = Narrowed(lpServiceName);
    auto display = Narrowed(lpDisplayName);
    auto path = Narrowed(lpBinaryPathName);
    auto group = Narrowed(lpLoadOrderGroup);
    auto dependencies = NarrowedList(lpDependencies);
    auto account = Narrowed(lpServiceStartName);
    auto password = Narrowed(lpPassword);
    return CreateServiceW(hSCManager, Pointer(name), Pointer(display), dwDesiredAccess, dwServiceType, dwStartType,
                          dwErrorControl, Pointer(path), Pointer(group), lpdwTagId, Pointer(dependencies),
                          Pointer(account), Pointer(password));
}

SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess)
{
    if (!Use(hSCManager, true, 0))
        return nullptr;
    if (!lpServiceName || !IsValidServiceName(lpServiceName)) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    auto config = ReadLiveService(lpServiceName);
    if (!config) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    auto object = std::make_shared<ScObject>();
    object->access = MapServiceAccess(dwDesiredAccess);
    object->name = config->name;
    return Handles().Insert(std::move(object));
}

SC_HANDLE OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess)
{
    auto name = Narrowed(lpServiceName);
    return OpenServiceW(hSCManager, Pointer(name), dwDesiredAccess);
}

BOOL CloseServiceHandle(SC_HANDLE hSCObject)
{
    return Handles().Remove(hSCObject) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

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

BOOL DeleteService(SC_HANDLE hService)
{
    auto object = Use(hService, false, DELETE);
    if (!object)
        return FALSE;
    DWORD error = ERROR_SUCCESS;
    auto config = ConfigOf(*object, error);
    if (!config)
        return Fail(error);
    object->deleted = true;
    if (IsRunning(config->name, config->type)) {
        if (LONG result = SetDeleteFlag(config->name); result != ERROR_SUCCESS)
            return Fail(static_cast<DWORD>(result));
        // It may have stopped meanwhile, too late to see the flag.
        if (IsRunning(config->name, config->type))
            return TRUE;
    }
    LONG result = RemoveService(config->name);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? TRUE : Fail(static_cast<DWORD>(result));
}

BOOL QueryServiceConfigW(SC_HANDLE hService, LPQUERY_SERVICE_CONFIGW lpServiceConfig, DWORD cbBufSize,
                         LPDWORD pcbBytesNeeded)
{
    auto object = Use(hService, false, SERVICE_QUERY_CONFIG);
    if (!object)
        return FALSE;
    if (!pcbBytesNeeded)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD error = ERROR_SUCCESS;
    auto config = ConfigOf(*object, error);
    if (!config)
        return Fail(error);
    std::u16string dependencies;
    for (const auto& item : config->dependOnService)
        dependencies += item + u'\0';
    for (const auto& item : config->dependOnGroup)
        dependencies += SC_GROUP_IDENTIFIERW + item + u'\0';
    dependencies.push_back(u'\0');
    const std::u16string* texts[] = {&config->imagePath, &config->group, &dependencies, &config->objectName,
                                     &config->ShownName()};
    size_t needed = sizeof(QUERY_SERVICE_CONFIGW);
    for (const auto* text : texts)
        needed += (text->size() + (text == &dependencies ? 0 : 1)) * sizeof(WCHAR);
    *pcbBytesNeeded = static_cast<DWORD>(needed);
    if (!lpServiceConfig || cbBufSize < needed)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    LPWSTR* targets[] = {&lpServiceConfig->lpBinaryPathName, &lpServiceConfig->lpLoadOrderGroup,
                         &lpServiceConfig->lpDependencies, &lpServiceConfig->lpServiceStartName,
                         &lpServiceConfig->lpDisplayName};
    lpServiceConfig->dwServiceType = config->type;
    lpServiceConfig->dwStartType = config->startType;
    lpServiceConfig->dwErrorControl = config->errorControl;
    lpServiceConfig->dwTagId = 0;
    auto* cursor = reinterpret_cast<WCHAR*>(lpServiceConfig + 1);
    for (size_t i = 0; i < std::size(texts); ++i) {
        size_t count = texts[i]->size() + (texts[i] == &dependencies ? 0 : 1);
        std::memcpy(cursor, texts[i]->c_str(), count * sizeof(WCHAR));
        *targets[i] = cursor;
        cursor += count;
    }
    return TRUE;
}

BOOL ChangeServiceConfigW(SC_HANDLE hService, DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl,
                          LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId,
                          LPCWSTR lpDependencies, LPCWSTR lpServiceStartName, LPCWSTR /*lpPassword*/,
                          LPCWSTR lpDisplayName)
{
    auto object = Use(hService, false, SERVICE_CHANGE_CONFIG);
    if (!object)
        return FALSE;
    DWORD error = ERROR_SUCCESS;
    auto config = ConfigOf(*object, error);
    if (!config)
        return Fail(error);
    if ((dwServiceType != SERVICE_NO_CHANGE && !ValidType(dwServiceType)) ||
        (dwStartType != SERVICE_NO_CHANGE && dwStartType > SERVICE_DISABLED) ||
        (dwErrorControl != SERVICE_NO_CHANGE && dwErrorControl > SERVICE_ERROR_CRITICAL) ||
        (lpBinaryPathName && !*lpBinaryPathName))
        return Fail(ERROR_INVALID_PARAMETER);
    if (lpDisplayName && NamesClash(config->name, *lpDisplayName ? lpDisplayName : config->name.c_str()))
        return Fail(ERROR_DUPLICATE_SERVICE_NAME);
    if (dwServiceType != SERVICE_NO_CHANGE)
        config->type = dwServiceType;
    if (dwStartType != SERVICE_NO_CHANGE)
        config->startType = dwStartType;
    if (dwErrorControl != SERVICE_NO_CHANGE)
        config->errorControl = dwErrorControl;
    if (lpBinaryPathName)
        config->imagePath = lpBinaryPathName;
    if (lpLoadOrderGroup)
        config->group = lpLoadOrderGroup;
    if (lpDependencies)
        SplitDependencies(lpDependencies, *config);
    if (lpServiceStartName && *lpServiceStartName)
        config->objectName = lpServiceStartName;
    if (lpDisplayName)
        config->displayName = lpDisplayName;
    if (lpdwTagId)
        *lpdwTagId = 0;
    LONG result = UpdateService(*config);
    return result == ERROR_SUCCESS ? TRUE : Fail(static_cast<DWORD>(result));
}

BOOL ChangeServiceConfig2W(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo)
{
    auto object = Use(hService, false, SERVICE_CHANGE_CONFIG);
    if (!object)
        return FALSE;
    if (dwInfoLevel != SERVICE_CONFIG_DESCRIPTION)
        return Fail(ERROR_INVALID_LEVEL);
    if (!lpInfo)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD error = ERROR_SUCCESS;
    auto config = ConfigOf(*object, error);
    if (!config)
        return Fail(error);
    const auto* description = static_cast<const SERVICE_DESCRIPTIONW*>(lpInfo);
    if (!description->lpDescription)
        return TRUE; // no change
    config->description = description->lpDescription;
    LONG result = UpdateService(*config);
    return result == ERROR_SUCCESS ? TRUE : Fail(static_cast<DWORD>(result));
}

BOOL ChangeServiceConfig2A(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo)
{
    if (dwInfoLevel != SERVICE_CONFIG_DESCRIPTION || !lpInfo)
        return ChangeServiceConfig2W(hService, dwInfoLevel, lpInfo);
    auto text = Narrowed(static_cast<const SERVICE_DESCRIPTIONA*>(lpInfo)->lpDescription);
    SERVICE_DESCRIPTIONW wide = {text ? text->data() : nullptr};
    return ChangeServiceConfig2W(hService, dwInfoLevel, &wide);
}

BOOL GetServiceKeyNameW(SC_HANDLE hSCManager, LPCWSTR lpDisplayName, LPWSTR lpServiceName, LPDWORD lpcchBuffer)
{
    if (!Use(hSCManager, true, 0))
        return FALSE;
    if (!lpDisplayName)
        return Fail(ERROR_INVALID_PARAMETER);
    auto config = FindByDisplayName(lpDisplayName);
    if (!config)
        return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
    return CopyName(config->name, lpServiceName, lpcchBuffer);
}

BOOL GetServiceKeyNameA(SC_HANDLE hSCManager, LPCSTR lpDisplayName, LPSTR lpServiceName, LPDWORD lpcchBuffer)
{
    if (!Use(hSCManager, true, 0))
        return FALSE;
    if (!lpDisplayName)
        return Fail(ERROR_INVALID_PARAMETER);
    auto config = FindByDisplayName(Utf8ToUtf16(lpDisplayName));
    if (!config)
        return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
    return CopyName(Utf16ToUtf8(config->name), lpServiceName, lpcchBuffer);
}

BOOL GetServiceDisplayNameW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPWSTR lpDisplayName, LPDWORD lpcchBuffer)
{
    if (!Use(hSCManager, true, 0))
        return FALSE;
    if (!lpServiceName)
        return Fail(ERROR_INVALID_PARAMETER);
    auto config = ReadLiveService(lpServiceName);
    if (!config)
        return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
    return CopyName(config->ShownName(), lpDisplayName, lpcchBuffer);
}

BOOL GetServiceDisplayNameA(SC_HANDLE hSCManager, LPCSTR lpServiceName, LPSTR lpDisplayName, LPDWORD lpcchBuffer)
{
    if (!Use(hSCManager, true, 0))
        return FALSE;
    if (!lpServiceName)
        return Fail(ERROR_INVALID_PARAMETER);
    auto config = ReadLiveService(Utf8ToUtf16(lpServiceName));
    if (!config)
        return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
    return CopyName(Utf16ToUtf8(config->ShownName()), lpDisplayName, lpcchBuffer);
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

std::vector<std::u16string> ListServiceNames()
{
    std::vector<std::u16string> names;
    for (const auto& config : ReadAllServices())
        names.push_back(config.name);
    return names;
}

} // namespace plat
