// A log sink for tests: keeps every record and every name registration.
#pragma once

#include "diag/LogInterface.h"

#include <string>
#include <vector>

struct LogRecord {
    DWORD level;
    DWORD processId;
    DWORD threadId;
    std::u16string timestamp;
    std::u16string logName;
    std::u16string text;
};

class RecordingLogSink : public CLogInterface {
public:
    LogMaskCell* RegisterLogName(std::u16string name) override
    {
        registered.push_back(name);
        return CLogInterface::RegisterLogName(std::move(name));
    }

    void Write(DWORD level, DWORD processId, DWORD threadId, const WCHAR* timestamp, const WCHAR* logName,
               const WCHAR* text) override
    {
        records.push_back({level, processId, threadId, timestamp, logName, text});
    }

    std::vector<std::u16string> registered;
    std::vector<LogRecord> records;
};
