// The service calls on the database: the manager, creating, opening,
// configuring, naming and deleting services.
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/services/ServiceControl.h"
#include "platform/services/ServiceDatabase.h"
#include "platform/services/ServiceHandles.h"
#include "platform/services/ServiceRuntime.h"
#include "platform/services/winsvc.h"

#include <cstring>

using namespace plat::services;

namespace {

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
    return InsertScHandle(std::move(object));
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
    return InsertScHandle(std::move(object));
}

SC_HANDLE CreateServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, LPCSTR lpDisplayName, DWORD dwDesiredAccess,
                         DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl, LPCSTR lpBinaryPathName,
                         LPCSTR lpLoadOrderGroup, LPDWORD lpdwTagId, LPCSTR lpDependencies, LPCSTR lpServiceStartName,
                         LPCSTR lpPassword)
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
    return InsertScHandle(std::move(object));
}

SC_HANDLE OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess)
{
    auto name = Narrowed(lpServiceName);
    return OpenServiceW(hSCManager, Pointer(name), dwDesiredAccess);
}

BOOL CloseServiceHandle(SC_HANDLE hSCObject) { return RemoveScHandle(hSCObject) ? TRUE : Fail(ERROR_INVALID_HANDLE); }

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
                          LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId, LPCWSTR lpDependencies,
                          LPCWSTR lpServiceStartName, LPCWSTR /*lpPassword*/, LPCWSTR lpDisplayName)
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

std::vector<std::u16string> ListServiceNames()
{
    std::vector<std::u16string> names;
    for (const auto& config : ReadAllServices())
        names.push_back(config.name);
    return names;
}

} // namespace plat
