// Handles of the service manager and its services, and what the service
// calls share: access checks, the Windows error convention, names.
#pragma once

#include "platform/services/ServiceDatabase.h"
#include "platform/services/winsvc.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace plat::services {

struct ScObject {
    bool isManager = false;
    DWORD access = 0;
    std::u16string name; // services: the name as stored
    bool deleted = false;
};

SC_HANDLE InsertScHandle(std::shared_ptr<ScObject> object);
bool RemoveScHandle(SC_HANDLE handle);

// The generic rights mapped onto the manager's and the services' own.
DWORD MapManagerAccess(DWORD access);
DWORD MapServiceAccess(DWORD access);

// The handle's object when it is of the wanted kind and allows `access`;
// else null with the Windows error set.
std::shared_ptr<ScObject> Use(SC_HANDLE handle, bool manager, DWORD access);

// Sets the last error; FALSE.
BOOL Fail(DWORD error);

bool IsRunning(std::u16string_view name, DWORD type);

// A service marked for deletion goes once it no longer runs.
std::optional<ServiceConfig> ReadLiveService(std::u16string_view name);

// The configuration behind a service handle, or the error for one whose
// service has been deleted meanwhile.
std::optional<ServiceConfig> ConfigOf(const ScObject& object, DWORD& error);

// The type recorded for the service (own process when it has none).
DWORD TypeOf(std::u16string_view name);

void CopyStatus(const SERVICE_STATUS_PROCESS& from, SERVICE_STATUS* to);

std::u16string Text(LPCWSTR text);
std::optional<std::u16string> Narrowed(LPCSTR text);
const WCHAR* Pointer(const std::optional<std::u16string>& text);

} // namespace plat::services
