#include "twainfw/CWin32Exception.h"

namespace Trellis {

namespace {

struct CodeName {
    DWORD code;
    const char* name;
};

const CodeName kCodeNames[] = {
    {EXCEPTION_GUARD_PAGE, "GUARD PAGE VIOLATION"},
    {EXCEPTION_DATATYPE_MISALIGNMENT, "DATATYPE MISALIGNMENT"},
    {EXCEPTION_BREAKPOINT, "BREAKPOINT"},
    {EXCEPTION_SINGLE_STEP, "SINGLE STEP"},
    {EXCEPTION_ACCESS_VIOLATION, "ACCESS VIOLATION"},
    {EXCEPTION_IN_PAGE_ERROR, "IN PAGE ERROR"},
    {STATUS_NO_MEMORY, "NO MEMORY"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, "ILLEGAL INSTRUCTION"},
    {EXCEPTION_NONCONTINUABLE_EXCEPTION, "NONCONTINUABLE EXCEPTION"},
    {EXCEPTION_INVALID_DISPOSITION, "INVALID DISPOSITION"},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, "ARRAY BOUNDS EXCEEDED"},
    {EXCEPTION_FLT_DENORMAL_OPERAND, "FLOAT DENORMAL OPERAND"},
    {EXCEPTION_FLT_DIVIDE_BY_ZERO, "FLOAT DIVIDE BY ZERO"},
    {EXCEPTION_FLT_INEXACT_RESULT, "FLOAT INEXACT RESULT"},
    {EXCEPTION_FLT_INVALID_OPERATION, "FLOAT INVALID OPERATION"},
    {EXCEPTION_FLT_OVERFLOW, "FLOAT OVERFLOW"},
    {EXCEPTION_FLT_STACK_CHECK, "FLOAT STACK CHECK"},
    {EXCEPTION_FLT_UNDERFLOW, "FLOAT UNDERFLOW"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, "INTEGER DIVIDE BY ZERO"},
    {EXCEPTION_INT_OVERFLOW, "INTEGER OVERFLOW"},
    {EXCEPTION_PRIV_INSTRUCTION, "PRIVILEGED INSTRUCTION"},
    {EXCEPTION_STACK_OVERFLOW, "STACK OVERFLOW"},
};

std::string TextOf(DWORD code) { return plat::Format("Win32 exception: %s (0x%08.8X)", ExceptionCodeName(code), code); }

int LevelOf(DWORD code)
{
    const bool warning = code == EXCEPTION_GUARD_PAGE || code == EXCEPTION_BREAKPOINT || code == EXCEPTION_SINGLE_STEP;
    return warning ? 1 : 2;
}

} // namespace

const char* ExceptionCodeName(DWORD code)
{
    for (const CodeName& entry : kCodeNames) {
        if (entry.code == code)
            return entry.name;
    }
    return "<unknown>";
}

CWin32Exception::CWin32Exception(DWORD code, const EXCEPTION_RECORD& record)
    : m_Code(code), m_Record(record), m_Level(LevelOf(code)), m_Text(TextOf(code))
{
}

void CWin32Exception::TranslatorFunction(DWORD code, const EXCEPTION_RECORD* record)
{
    OutputDebugStringA("\nEntering CWin32Exception::TranslatorFunction");
    throw CWin32Exception(code, record ? *record : EXCEPTION_RECORD{});
}

bool CWin32Exception::AskToDebug() const
{
    // The text, its level, an empty line and the question.
    const std::string text =
        m_Text + "\n\nException level: " + (m_Level == 1 ? "WARNING" : "ERROR") + "\n\nTry to debug?";
    MessageBeep(MB_ICONHAND);
    return MessageBoxA(nullptr, text.c_str(), "Error", MB_YESNO | MB_ICONSTOP | MB_SYSTEMMODAL) == IDYES;
}

} // namespace Trellis
