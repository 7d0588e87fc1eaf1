#include "stillimage/DataTraceText.h"

#include "diag/FormatWide.h"
#include "diag/LogTimestamp.h"
#include "platform/windows.h"

#include <cstdarg>

DataTraceText::DataTraceText(CTraceClient& trace) : trace_(trace), timestamp_(GetLogTimestamp()) {}

void DataTraceText::Add(const WCHAR* format, ...)
{
    if (!trace_.IsDataLogging(LOG_TRACE))
        return;
    WCHAR line[kFormatWideChars];
    va_list args;
    va_start(args, format);
    FormatWideInto(line, kFormatWideChars, format, args);
    va_end(args);
    text_ += line;
}

void DataTraceText::Flush()
{
    if (trace_.IsDataLogging(LOG_TRACE) && !text_.empty()) {
        std::u16string logName = trace_.GetDataLogName();
        trace_.GetLogInterface()->Write(LOG_TRACE, GetCurrentProcessId(), GetCurrentThreadId(), timestamp_.c_str(),
                                        logName.c_str(), text_.c_str());
    }
    text_.clear();
}
