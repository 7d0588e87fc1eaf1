// A processor fault during JPEG decoding, as the exception the front end
// throws and shows. The trap that turns the fault into it is the
// platform's (platform/kernel/FaultTrap.h).
#pragma once

#include "platform/windows.h"

#include <string>

namespace Trellis {

class CWin32Exception {
public:
    CWin32Exception(DWORD code, const EXCEPTION_RECORD& record);

    // Writes a line for the debugger and throws the exception of the fault.
    [[noreturn]] static void TranslatorFunction(DWORD code, const EXCEPTION_RECORD* record);

    DWORD GetCode() const { return m_Code; }
    const EXCEPTION_RECORD& GetRecord() const { return m_Record; }
    // 1 warning (guard page, breakpoint, single step), 2 error.
    int GetLevel() const { return m_Level; }
    // "Win32 exception: ACCESS VIOLATION (0xC0000005)"
    const std::string& GetText() const { return m_Text; }

    // Tells the user, with a beep, and asks "Try to debug?": true for Yes.
    bool AskToDebug() const;

private:
    DWORD m_Code;
    EXCEPTION_RECORD m_Record;
    int m_Level;
    std::string m_Text;
};

// The name the exception texts give a code; "<unknown>" for others.
const char* ExceptionCodeName(DWORD code);

} // namespace Trellis
