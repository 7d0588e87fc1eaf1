// The trace block that every traced class carries: twelve virtual
// operations, and its own connection to the process's log sink.
//
// A traced class derives from CTraceClient and names its component:
//
//     class CUSBDevice : public CDevice {
//         CUSBDevice() { SetComponentLogName(u"USB Device"); }   // over "Device Driver"
//     };
//
// and tests before every line, so a disabled line costs two virtual calls
// and no formatting:
//
//     if (IsLogging(LOG_TRACE))
//         LogTrace(u"Initialize Entered.");
//     if (IsDataLogging(LOG_TRACE))
//         LogDataTrace(u"LockScanner Params: PID = 0x%08X", pid);
//
// The object's log name is the most derived class's component name; its data
// log name is that name followed by ".Data". Each name has one mask cell in
// the log-name registry, shared by every object of that name, so a settings
// change reaches them all at their next test.
#pragma once

#include "diag/LogInterface.h"
#include "platform/base/wintypes.h"

#include <cstdarg>
#include <cstdint>
#include <string>

class CTraceClient {
public:
    // The size of the text of one record, terminator included; longer texts are cut.
    static constexpr size_t kRecordChars = 10240;

    explicit CTraceClient(const WCHAR* componentName);
    virtual ~CTraceClient();

    // Attaches the sink and registers both log names; given null, only
    // forgets the sink (names and cells stay).
    virtual void SetLogInterface(CLogInterface* sink);

    // One record each, with no test of the mask: the caller tests first.
    virtual void LogError(const WCHAR* format, ...);
    virtual void LogWarning(const WCHAR* format, ...);
    virtual void LogTrace(const WCHAR* format, ...);
    virtual void LogDataError(const WCHAR* format, ...);
    virtual void LogDataWarning(const WCHAR* format, ...);
    virtual void LogDataTrace(const WCHAR* format, ...);

    virtual DWORD GetLogMask();
    virtual DWORD GetDataLogMask();
    virtual CLogInterface* GetLogInterface();
    virtual std::u16string GetLogName();
    virtual std::u16string GetDataLogName();

    // The callers' tests: the mask has the level and a sink is attached.
    bool IsLogging(DWORD level) { return (GetLogMask() & level) && GetLogInterface(); }
    bool IsDataLogging(DWORD level) { return (GetDataLogMask() & level) && GetLogInterface(); }

protected:
    // For a class that logs under its own name over its base class's.
    void SetComponentLogName(const WCHAR* componentName) { m_componentName = componentName; }

private:
    void WriteRecord(DWORD level, bool data, const WCHAR* format, va_list args);

    CLogInterface* m_sink = nullptr;
    DWORD m_defaultMask = 0;
    LogMaskCell* m_mainMaskCell = nullptr;
    LogMaskCell* m_dataMaskCell = nullptr;
    std::u16string m_logName;
    std::u16string m_dataLogName;
    const WCHAR* m_componentName;
};

// Pointers and handles appear in log lines as 32-bit hexadecimal ("0x%08X").
inline DWORD Hex32(const void* p) { return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(p)); }
