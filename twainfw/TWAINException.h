// The framework's exceptions. Every failure inside the framework is thrown
// as one of these; the dispatcher alone catches them and turns them into
// the TWAIN return code and the condition code that DAT_STATUS reports.
// Plain classes: the catch order relies on the base classes.
#pragma once

#include "platform/twain/twain.h"
#include "platform/windows.h"

#include <exception>
#include <string>

namespace Trellis {

class CTWAINException {
public:
    explicit CTWAINException(std::string message) : m_Message(std::move(message)) {}
    const std::string& Message() const { return m_Message; }

    std::string m_Message;
};

class CTWAINOneValueException : public CTWAINException {
public:
    CTWAINOneValueException() : CTWAINException("Trellis One Value Error.") {}
};

class CTWAINArrayException : public CTWAINException {
public:
    CTWAINArrayException() : CTWAINException("Trellis Array Error.") {}
};

class CTWAINEnumerationException : public CTWAINException {
public:
    CTWAINEnumerationException() : CTWAINException("Trellis Enumeration Error.") {}
};

class CTWAINRangeException : public CTWAINException {
public:
    CTWAINRangeException() : CTWAINException("Trellis Range Error.") {}
};

class CTWAINContainerException : public CTWAINException {
public:
    CTWAINContainerException() : CTWAINException("Trellis Container Error.") {}
};

class CTWAINStorageException : public CTWAINException {
public:
    CTWAINStorageException() : CTWAINException("Trellis Registry Error.") {}
};

// A refused TWAIN operation: the return and condition codes of the answer
// and the triplet it answers. The message names them (see TWAINText.h):
// return code, ":\n" and condition when there is one, "\n" and the triplet,
// and for a capability triplet "\n" and the capability.
class CTWAINOperationException : public CTWAINException {
public:
    CTWAINOperationException(HMODULE hModule, TW_INT32 returnCode, TW_INT32 dg, TW_INT32 dat, TW_INT32 msg,
                             TW_INT32 conditionCode, TW_INT32 capability);

    HMODULE m_hModule; // the module whose texts the message used
    TW_INT32 m_ReturnCode;
    TW_INT32 m_DG;
    TW_INT32 m_DAT;
    TW_INT32 m_MSG;
    TW_INT32 m_ConditionCode;
    TW_INT32 m_Capability;
};

class CTWAINFailureException : public CTWAINOperationException {
public:
    CTWAINFailureException(HMODULE hModule, TW_INT32 dg, TW_INT32 dat, TW_INT32 msg, TW_INT32 conditionCode,
                           TW_INT32 capability)
        : CTWAINOperationException(hModule, TWRC_FAILURE, dg, dat, msg, conditionCode, capability)
    {
    }
};

class CTWAINCheckStatusException : public CTWAINOperationException {
public:
    CTWAINCheckStatusException(HMODULE hModule, TW_INT32 dg, TW_INT32 dat, TW_INT32 msg, TW_INT32 conditionCode,
                               TW_INT32 capability)
        : CTWAINOperationException(hModule, TWRC_CHECKSTATUS, dg, dat, msg, conditionCode, capability)
    {
    }
};

class CTWAINCancelException : public CTWAINOperationException {
public:
    CTWAINCancelException(HMODULE hModule, TW_INT32 dg, TW_INT32 dat, TW_INT32 msg, TW_INT32 capability)
        : CTWAINOperationException(hModule, TWRC_CANCEL, dg, dat, msg, TWCC_SUCCESS, capability)
    {
    }
};

// The end of an image transfer: not a failure, but it leaves the handler
// the same way.
class CTWAINXferDoneException : public CTWAINOperationException {
public:
    CTWAINXferDoneException(HMODULE hModule, TW_INT32 dg, TW_INT32 dat, TW_INT32 msg, TW_INT32 capability)
        : CTWAINOperationException(hModule, TWRC_XFERDONE, dg, dat, msg, TWCC_SUCCESS, capability)
    {
    }
};

// The triplet being answered and the module whose texts name it: what the
// data source's Throw helpers (ThrowFailure, ThrowCheckStatus, ThrowCancel)
// put into the exception besides the codes.
struct TWAINCallContext {
    HMODULE hModule = nullptr;
    TW_INT32 dg = 0;
    TW_INT32 dat = 0;
    TW_INT32 msg = 0;
    TW_INT32 capability = 0;
};

[[noreturn]] void ThrowFailure(const TWAINCallContext& context, TW_UINT16 conditionCode);
[[noreturn]] void ThrowCheckStatus(const TWAINCallContext& context, TW_UINT16 conditionCode);
[[noreturn]] void ThrowCancel(const TWAINCallContext& context);
[[noreturn]] void ThrowXferDone(const TWAINCallContext& context);

// What the dispatcher answers for an exception that left a handler.
struct TWAINOutcome {
    TW_UINT16 returnCode = TWRC_SUCCESS;
    bool setsConditionCode = false; // false: the kept condition code stays
    TW_UINT16 conditionCode = TWCC_SUCCESS;
    bool xferDone = false; // the transfer ended: set the XferDone flag
};

// Catches `error` in the dispatcher's order (XferDone first, so the end of
// a transfer is never a failure; then operation exceptions with their own
// codes; then any framework exception and anything else as TWRC_FAILURE
// with TWCC_BUMMER) and writes the matching debug-log line.
TWAINOutcome OutcomeOfException(std::exception_ptr error, HMODULE hModule);

} // namespace Trellis
