// The event-log calls: handles to sources and logs, records appended to the
// log files, change notification through the watcher.
#include "platform/eventlog/eventlog.h"

#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/eventlog/ChangeWatcher.h"
#include "platform/eventlog/EventLogFile.h"
#include "platform/kernel/Event.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

using namespace plat::eventlog;

namespace {

constexpr size_t kMaxStrings = 256;
constexpr size_t kMaxStringLength = 31839;
constexpr DWORD kMaxDataSize = 61440;

struct LogHandle {
    bool isSource = false;
    std::u16string source;
    std::u16string log;
    std::string directory; // the log folder of the system root the handle was made in
};

// Handle values are never reused, so a stale handle is refused.
class HandleTable {
public:
    HANDLE Insert(LogHandle handle)
    {
        std::lock_guard guard(m_lock);
        m_next += 4;
        m_handles[m_next] = std::make_shared<LogHandle>(std::move(handle));
        return reinterpret_cast<HANDLE>(m_next);
    }

    std::shared_ptr<LogHandle> Find(HANDLE handle)
    {
        std::lock_guard guard(m_lock);
        auto found = m_handles.find(reinterpret_cast<uintptr_t>(handle));
        return found == m_handles.end() ? nullptr : found->second;
    }

    bool Remove(HANDLE handle, bool isSource)
    {
        std::lock_guard guard(m_lock);
        auto found = m_handles.find(reinterpret_cast<uintptr_t>(handle));
        if (found == m_handles.end() || found->second->isSource != isSource)
            return false;
        m_handles.erase(found);
        return true;
    }

private:
    std::mutex m_lock;
    uintptr_t m_next = 0xE10000;
    std::map<uintptr_t, std::shared_ptr<LogHandle>> m_handles;
};

HandleTable& Handles()
{
    static HandleTable table;
    return table;
}

bool IsLocalServer(LPCWSTR server)
{
    return !server || !*server || std::u16string_view(server) == u"." || std::u16string_view(server) == u"\\\\.";
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

HANDLE FailHandle(DWORD error)
{
    SetLastError(error);
    return nullptr;
}

std::optional<std::u16string> Narrowed(LPCSTR text)
{
    if (!text)
        return std::nullopt;
    return Utf8ToUtf16(text);
}

const WCHAR* Pointer(const std::optional<std::u16string>& text) { return text ? text->c_str() : nullptr; }

BOOL CloseLogHandle(HANDLE handle, bool isSource)
{
    if (!Handles().Remove(handle, isSource))
        return Fail(ERROR_INVALID_HANDLE);
    ChangeWatcher::Get().Unsubscribe(reinterpret_cast<uintptr_t>(handle));
    return TRUE;
}

} // namespace

extern "C" {

HANDLE RegisterEventSourceW(LPCWSTR lpUNCServerName, LPCWSTR lpSourceName)
{
    if (!IsLocalServer(lpUNCServerName) || !lpSourceName || !*lpSourceName)
        return FailHandle(ERROR_INVALID_PARAMETER);
    LogHandle handle;
    handle.isSource = true;
    handle.source = lpSourceName;
    handle.log = LogOfSource(lpSourceName);
    handle.directory = LogDirectory();
    return Handles().Insert(std::move(handle));
}

HANDLE RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName)
{
    auto server = Narrowed(lpUNCServerName);
    auto source = Narrowed(lpSourceName);
    return RegisterEventSourceW(Pointer(server), Pointer(source));
}

BOOL DeregisterEventSource(HANDLE hEventLog) { return CloseLogHandle(hEventLog, true); }

HANDLE OpenEventLogW(LPCWSTR lpUNCServerName, LPCWSTR lpSourceName)
{
    if (!IsLocalServer(lpUNCServerName) || !lpSourceName || !*lpSourceName)
        return FailHandle(ERROR_INVALID_PARAMETER);
    LogHandle handle;
    handle.source = lpSourceName;
    handle.log = LogNamed(lpSourceName);
    handle.directory = LogDirectory();
    return Handles().Insert(std::move(handle));
}

HANDLE OpenEventLogA(LPCSTR lpUNCServerName, LPCSTR lpSourceName)
{
    auto server = Narrowed(lpUNCServerName);
    auto source = Narrowed(lpSourceName);
    return OpenEventLogW(Pointer(server), Pointer(source));
}

BOOL CloseEventLog(HANDLE hEventLog) { return CloseLogHandle(hEventLog, false); }

BOOL ReportEventW(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PVOID /*lpUserSid*/, WORD wNumStrings,
                  DWORD dwDataSize, LPCWSTR* lpStrings, LPVOID lpRawData)
{
    auto handle = Handles().Find(hEventLog);
    if (!handle || !handle->isSource)
        return Fail(ERROR_INVALID_HANDLE);
    if ((wNumStrings > 0 && !lpStrings) || wNumStrings > kMaxStrings || (dwDataSize > 0 && !lpRawData) ||
        dwDataSize > kMaxDataSize)
        return Fail(ERROR_INVALID_PARAMETER);
    EventRecord record;
    record.source = handle->source;
    record.type = wType;
    record.category = wCategory;
    record.eventId = dwEventID;
    for (WORD i = 0; i < wNumStrings; ++i) {
        std::u16string text = lpStrings[i] ? lpStrings[i] : u"";
        if (text.size() > kMaxStringLength)
            return Fail(ERROR_INVALID_PARAMETER);
        record.strings.push_back(std::move(text));
    }
    if (dwDataSize > 0)
        record.data.assign(static_cast<const BYTE*>(lpRawData), static_cast<const BYTE*>(lpRawData) + dwDataSize);
    DWORD error = AppendRecord(handle->directory, handle->log, record);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

BOOL ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PVOID lpUserSid, WORD wNumStrings,
                  DWORD dwDataSize, LPCSTR* lpStrings, LPVOID lpRawData)
{
    if (wNumStrings > 0 && !lpStrings)
        return Fail(ERROR_INVALID_PARAMETER);
    std::vector<std::u16string> wide;
    for (WORD i = 0; i < wNumStrings; ++i)
        wide.push_back(lpStrings[i] ? Utf8ToUtf16(lpStrings[i]) : u"");
    std::vector<LPCWSTR> pointers;
    for (const auto& text : wide)
        pointers.push_back(text.c_str());
    return ReportEventW(hEventLog, wType, wCategory, dwEventID, lpUserSid, wNumStrings, dwDataSize,
                        pointers.empty() ? nullptr : pointers.data(), lpRawData);
}

BOOL NotifyChangeEventLog(HANDLE hEventLog, HANDLE hEvent)
{
    auto handle = Handles().Find(hEventLog);
    if (!handle)
        return Fail(ERROR_INVALID_HANDLE);
    auto event = plat::ReferenceObject<plat::EventObject>(hEvent);
    if (!event)
        return FALSE; // ERROR_INVALID_HANDLE set
    if (!ChangeWatcher::Get().Subscribe(reinterpret_cast<uintptr_t>(hEventLog), handle->directory,
                                        LogFileName(handle->log), std::move(event)))
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    return TRUE;
}

} // extern "C"
