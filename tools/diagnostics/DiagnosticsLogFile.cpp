#include "tools/diagnostics/DiagnosticsLogFile.h"

#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace diagnostics {
namespace {

std::string Escape(std::u16string_view field)
{
    std::string text = Utf16ToUtf8(field);
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        // clang-format off
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c; break;
        }
        // clang-format on
    }
    return out;
}

bool Unescape(std::string_view field, std::u16string* out)
{
    std::string text;
    text.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            text += field[i];
            continue;
        }
        if (++i == field.size())
            return false;
        // clang-format off
        switch (field[i]) {
        case '\\': text += '\\'; break;
        case 't': text += '\t'; break;
        case 'r': text += '\r'; break;
        case 'n': text += '\n'; break;
        default: return false;
        }
        // clang-format on
    }
    *out = Utf8ToUtf16(text);
    return true;
}

} // namespace

std::string LogFilePath(std::u16string_view application)
{
    std::string name = Utf16ToUtf8(application);
    for (char& c : name) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    }
    if (name.empty() || name == "." || name == "..")
        name = "_" + name;
    return plat::LogFolder() + "/" + name + ".log";
}

std::string FormatRecordLine(const LogFileRecord& record)
{
    std::string line;
    line += Escape(record.timestamp) + '\t';
    line += Escape(record.application) + '\t';
    line += std::to_string(record.level) + '\t';
    line += Escape(record.processId) + '\t';
    line += Escape(record.threadId) + '\t';
    line += Escape(record.logName) + '\t';
    line += Escape(record.text) + '\n';
    return line;
}

bool ParseRecordLine(std::string_view line, LogFileRecord* record)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    if (fields.size() != 7)
        return false;
    LogFileRecord parsed;
    auto [end, ec] = std::from_chars(fields[2].data(), fields[2].data() + fields[2].size(), parsed.level);
    if (ec != std::errc() || end != fields[2].data() + fields[2].size() || fields[2].empty())
        return false;
    if (!Unescape(fields[0], &parsed.timestamp) || !Unescape(fields[1], &parsed.application) ||
        !Unescape(fields[3], &parsed.processId) || !Unescape(fields[4], &parsed.threadId) ||
        !Unescape(fields[5], &parsed.logName) || !Unescape(fields[6], &parsed.text))
        return false;
    *record = std::move(parsed);
    return true;
}

HRESULT AppendRecord(const LogFileRecord& record)
{
    if (!plat::EnsureSystemRootLayout())
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    std::string line = FormatRecordLine(record);
    int fd = plat::OpenPrivateFile(LogFilePath(record.application), O_WRONLY | O_CREAT | O_APPEND);
    if (fd < 0)
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    // One write per record: appends of other writers never land inside it.
    size_t written = 0;
    HRESULT hr = S_OK;
    while (written < line.size()) {
        ssize_t n = write(fd, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            hr = HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
            break;
        }
        written += static_cast<size_t>(n);
    }
    close(fd);
    return hr;
}

std::vector<LogFileRecord> ReadLogFile(std::u16string_view application)
{
    std::vector<LogFileRecord> records;
    std::ifstream file(LogFilePath(application));
    std::string line;
    while (std::getline(file, line)) {
        LogFileRecord record;
        if (ParseRecordLine(line, &record))
            records.push_back(std::move(record));
    }
    return records;
}

} // namespace diagnostics
