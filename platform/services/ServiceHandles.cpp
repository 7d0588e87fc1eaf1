#include "platform/services/ServiceHandles.h"

#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/services/ServiceRuntime.h"

#include <map>
#include <mutex>

namespace plat::services {

namespace {

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

} // namespace

SC_HANDLE InsertScHandle(std::shared_ptr<ScObject> object) { return Handles().Insert(std::move(object)); }

bool RemoveScHandle(SC_HANDLE handle) { return Handles().Remove(handle); }

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
        access |= READ_CONTROL | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE | SERVICE_USER_DEFINED_CONTROL;
    if (access & kGenericAll)
        access |= SERVICE_ALL_ACCESS;
    return access;
}

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

std::optional<ServiceConfig> ReadLiveService(std::u16string_view name)
{
    auto config = ReadService(name);
    if (config && config->markedForDelete && !IsRunning(config->name, config->type)) {
        RemoveService(config->name);
        return std::nullopt;
    }
    return config;
}

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

} // namespace plat::services
