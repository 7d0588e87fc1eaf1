// The event log: event sources report records that are appended to a log
// file in the system root's log folder (<log>/eventlog/<Log>.log, one line
// per record), and NotifyChangeEventLog signals an event whenever a log
// changes, whichever process wrote to it.
//
// A source belongs to the log under whose key it is registered
// (HKLM\SYSTEM\CurrentControlSet\Services\EventLog\<Log>\<Source>), else to
// "Application". The names without a suffix are the W forms.
#pragma once

#include "platform/base/wintypes.h"

constexpr WORD EVENTLOG_SUCCESS = 0x0000;
constexpr WORD EVENTLOG_ERROR_TYPE = 0x0001;
constexpr WORD EVENTLOG_WARNING_TYPE = 0x0002;
constexpr WORD EVENTLOG_INFORMATION_TYPE = 0x0004;
constexpr WORD EVENTLOG_AUDIT_SUCCESS = 0x0008;
constexpr WORD EVENTLOG_AUDIT_FAILURE = 0x0010;

extern "C" {

// Only the local machine: a server name other than null, empty or "." fails
// with ERROR_INVALID_PARAMETER, as does an empty source name.
HANDLE RegisterEventSourceW(LPCWSTR lpUNCServerName, LPCWSTR lpSourceName);
HANDLE RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName);
BOOL DeregisterEventSource(HANDLE hEventLog);

// Appends one record: time, process, source, type, category, event id, the
// strings and the raw data. At most 256 strings of at most 31839 characters
// and 61440 bytes of data (ERROR_INVALID_PARAMETER beyond). The user SID is
// not recorded.
BOOL ReportEventW(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PVOID lpUserSid, WORD wNumStrings,
                  DWORD dwDataSize, LPCWSTR* lpStrings, LPVOID lpRawData);
BOOL ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PVOID lpUserSid, WORD wNumStrings,
                  DWORD dwDataSize, LPCSTR* lpStrings, LPVOID lpRawData);

// Opens a log for notification: the log of that name, else "Application".
HANDLE OpenEventLogW(LPCWSTR lpUNCServerName, LPCWSTR lpSourceName);
HANDLE OpenEventLogA(LPCSTR lpUNCServerName, LPCSTR lpSourceName);
BOOL CloseEventLog(HANDLE hEventLog);

// Sets hEvent (an event handle) each time the handle's log changes, until
// the log handle is closed. Takes a handle from OpenEventLog or
// RegisterEventSource; the event stays referenced while the notification
// lasts, so closing the event handle early does no harm.
BOOL NotifyChangeEventLog(HANDLE hEventLog, HANDLE hEvent);

} // extern "C"

inline HANDLE RegisterEventSource(LPCWSTR server, LPCWSTR source) { return RegisterEventSourceW(server, source); }
inline BOOL ReportEvent(HANDLE log, WORD type, WORD category, DWORD eventId, PVOID sid, WORD numStrings, DWORD dataSize,
                        LPCWSTR* strings, LPVOID data)
{
    return ReportEventW(log, type, category, eventId, sid, numStrings, dataSize, strings, data);
}
inline HANDLE OpenEventLog(LPCWSTR server, LPCWSTR source) { return OpenEventLogW(server, source); }
