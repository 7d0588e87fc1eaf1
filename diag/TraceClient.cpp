#include "diag/TraceClient.h"

#include "diag/FormatWide.h"
#include "diag/LogTimestamp.h"
#include "platform/kernel/Thread.h"

#include <memory>
#include <new>

CTraceClient::CTraceClient(const WCHAR* componentName) : m_componentName(componentName) {}

CTraceClient::~CTraceClient() = default;

void CTraceClient::SetLogInterface(CLogInterface* sink)
{
    m_sink = sink;
    if (!sink)
        return;
    m_logName = m_componentName;
    m_mainMaskCell = sink->RegisterLogName(m_logName);
    m_dataLogName = m_logName + u".Data";
    m_dataMaskCell = sink->RegisterLogName(m_dataLogName);
}

void CTraceClient::LogError(const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteRecord(LOG_ERROR, false, format, args);
    va_end(args);
}

void CTraceClient::LogWarning(const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteRecord(LOG_WARNING, false, format, args);
    va_end(args);
}

void CTraceClient::LogTrace(const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteRecord(LOG_TRACE, false, format, args);
    va_end(args);
}

void CTraceClient::LogDataError(const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteRecord(LOG_ERROR, true, format, args);
    va_end(args);
}

void CTraceClient::LogDataWarning(const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteRecord(LOG_WARNING, true, format, args);
    va_end(args);
}

void CTraceClient::LogDataTrace(const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteRecord(LOG_TRACE, true, format, args);
    va_end(args);
}

DWORD CTraceClient::GetLogMask()
{
    return m_mainMaskCell ? m_mainMaskCell->load(std::memory_order_relaxed) : m_defaultMask;
}

DWORD CTraceClient::GetDataLogMask()
{
    return m_dataMaskCell ? m_dataMaskCell->load(std::memory_order_relaxed) : m_defaultMask;
}

CLogInterface* CTraceClient::GetLogInterface() { return m_sink; }

std::u16string CTraceClient::GetLogName() { return m_logName; }

std::u16string CTraceClient::GetDataLogName() { return m_dataLogName; }

void CTraceClient::WriteRecord(DWORD level, bool data, const WCHAR* format, va_list args)
{
    // Logging never fails its caller: a line that cannot be made is dropped.
    try {
        // From the heap, not the stack: the scanner thread's stack is small
        // and lines come from deep inside I/O paths.
        std::unique_ptr<WCHAR[]> text(new (std::nothrow) WCHAR[kRecordChars]);
        if (!text)
            return;
        FormatWideInto(text.get(), kRecordChars, format, args);

        CLogInterface* sink = GetLogInterface();
        if (!sink)
            return;
        std::u16string name = data ? GetDataLogName() : GetLogName();
        std::u16string timestamp = GetLogTimestamp();
        DWORD threadId = GetCurrentThreadId();
        DWORD processId = GetCurrentProcessId();
        sink->Write(level, processId, threadId, timestamp.c_str(), name.c_str(), text.get());
    } catch (...) {
    }
}
