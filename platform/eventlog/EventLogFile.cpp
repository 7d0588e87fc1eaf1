#include "platform/eventlog/EventLogFile.h"

#include "platform/base/posixio.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"
#include "platform/eventlog/eventlog.h"
#include "platform/registry/KeyName.h"
#include "platform/registry/RegistryKeys.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace plat::eventlog {

namespace {

const char16_t* const kEventLogKey = u"SYSTEM\\CurrentControlSet\\Services\\EventLog";
const char16_t* const kStandardLogs[] = {u"Application", u"System", u"Security"};

bool Same(std::u16string_view a, std::u16string_view b)
{
    return plat::registry::FoldName(a) == plat::registry::FoldName(b);
}

// Calls `visit` with each log key name until it returns true.
template <typename Visit>
void ForEachLog(Visit visit)
{
    HKEY logs = nullptr;
    if (plat::registry::OpenKey(HKEY_LOCAL_MACHINE, kEventLogKey, KEY_READ, &logs) != ERROR_SUCCESS)
        return;
    std::u16string name;
    for (DWORD index = 0; plat::registry::EnumKey(logs, index, &name) == ERROR_SUCCESS; ++index) {
        if (visit(logs, name))
            break;
    }
    plat::registry::CloseKey(logs);
}

const char* TypeName(WORD type)
{
    switch (type) {
    case EVENTLOG_SUCCESS:
        return "Success";
    case EVENTLOG_ERROR_TYPE:
        return "Error";
    case EVENTLOG_WARNING_TYPE:
        return "Warning";
    case EVENTLOG_INFORMATION_TYPE:
        return "Information";
    case EVENTLOG_AUDIT_SUCCESS:
        return "AuditSuccess";
    case EVENTLOG_AUDIT_FAILURE:
        return "AuditFailure";
    default:
        return nullptr;
    }
}

std::string Escape(std::u16string_view text)
{
    std::string escaped;
    for (char c : Utf16ToUtf8(text)) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default:
            escaped.push_back(c);
        }
    }
    return escaped;
}

} // namespace

std::string LogDirectory() { return LogFolder() + "/eventlog"; }

std::string LogFileName(std::u16string_view logName) { return Utf16ToUtf8(logName) + ".log"; }

std::u16string LogOfSource(std::u16string_view sourceName)
{
    std::u16string found = u"Application";
    ForEachLog([&](HKEY logs, const std::u16string& log) {
        HKEY source = nullptr;
        if (plat::registry::OpenKey(logs, log + u"\\" + std::u16string(sourceName), KEY_READ, &source) != ERROR_SUCCESS)
            return false;
        plat::registry::CloseKey(source);
        found = log;
        return true;
    });
    return found;
}

std::u16string LogNamed(std::u16string_view name)
{
    for (const char16_t* standard : kStandardLogs) {
        if (Same(standard, name))
            return standard;
    }
    std::u16string found = u"Application";
    ForEachLog([&](HKEY, const std::u16string& log) {
        if (!Same(log, name))
            return false;
        found = log;
        return true;
    });
    return found;
}

std::string FormatRecord(const EventRecord& record, ULONGLONG unixTimeMs, DWORD processId)
{
    std::time_t seconds = static_cast<std::time_t>(unixTimeMs / 1000);
    std::tm utc = {};
    gmtime_r(&seconds, &utc);
    char time[80];
    std::snprintf(time, sizeof time, "%04d-%02d-%02dT%02d:%02d:%02d.%03uZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<unsigned>(unixTimeMs % 1000));
    char type[16];
    const char* typeName = TypeName(record.type);
    if (!typeName) {
        std::snprintf(type, sizeof type, "0x%04X", record.type);
        typeName = type;
    }
    // Appended piece by piece: chains of operator+ trip a false -Wrestrict in optimised GCC builds.
    std::string line = time;
    line.append("\tpid=").append(std::to_string(processId));
    line.append("\tsource=").append(Escape(record.source));
    line.append("\ttype=").append(typeName);
    line.append("\tcategory=").append(std::to_string(record.category));
    line.append("\tid=").append(std::to_string(record.eventId));
    line.append("\tstrings=").append(std::to_string(record.strings.size()));
    for (const auto& text : record.strings)
        line.append("\t").append(Escape(text));
    line += "\tdata=";
    static const char digits[] = "0123456789ABCDEF";
    for (BYTE b : record.data) {
        line.push_back(digits[b >> 4]);
        line.push_back(digits[b & 15]);
    }
    return line;
}

DWORD AppendRecord(const std::string& directory, std::u16string_view logName, const EventRecord& record)
{
    CreatePrivateFolder(directory);
    auto now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch());
    std::string line = FormatRecord(record, static_cast<ULONGLONG>(now.count()), static_cast<DWORD>(getpid())) + "\n";
    std::string path = directory + "/" + LogFileName(logName);
    int fd = OpenPrivateFile(path, O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0)
        return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
    // One writer at a time, so records from several processes never interleave.
    flock(fd, LOCK_EX);
    bool written = WriteAll(fd, line);
    close(fd); // the close is what watchers of the log are told about
    return written ? ERROR_SUCCESS : ERROR_GEN_FAILURE;
}

} // namespace plat::eventlog
