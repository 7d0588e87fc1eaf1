// Processor faults as Windows exceptions: the stand-in for a structured-
// exception translator, for code that calls into a C library it does not
// trust to survive every input.
//
// Linux reports a fault of the running instruction as a signal (SIGSEGV,
// SIGBUS, SIGFPE, SIGILL, SIGTRAP). A FaultTrap arms the calling thread for
// its scope: while the thread has set a jump target, a fault of that thread
// jumps back there (siglongjmp) and Fault() tells it as an
// EXCEPTION_RECORD. Arming installs the trap's handlers (sigaction, while
// any thread is armed) and, on a thread without one, an alternate signal
// stack, so that a stack overflow is caught too; disarming gives back what
// was there before. Every signal the trap does not take (another thread's,
// one sent with kill, one while no target is set) goes on to the handler
// that was installed before, or takes its default action.
//
// A jump goes over every frame between the target and the fault without
// running destructors: set a target only around calls into C code (a
// library and the plain callbacks it makes), whose frames own nothing.
#pragma once

#include "platform/base/wintypes.h"

#include <csetjmp>

extern "C" {

constexpr DWORD EXCEPTION_GUARD_PAGE = 0x80000001;
constexpr DWORD EXCEPTION_DATATYPE_MISALIGNMENT = 0x80000002;
constexpr DWORD EXCEPTION_BREAKPOINT = 0x80000003;
constexpr DWORD EXCEPTION_SINGLE_STEP = 0x80000004;
constexpr DWORD EXCEPTION_ACCESS_VIOLATION = 0xC0000005;
constexpr DWORD EXCEPTION_IN_PAGE_ERROR = 0xC0000006;
constexpr DWORD EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001D;
constexpr DWORD EXCEPTION_NONCONTINUABLE_EXCEPTION = 0xC0000025;
constexpr DWORD EXCEPTION_INVALID_DISPOSITION = 0xC0000026;
constexpr DWORD EXCEPTION_ARRAY_BOUNDS_EXCEEDED = 0xC000008C;
constexpr DWORD EXCEPTION_FLT_DENORMAL_OPERAND = 0xC000008D;
constexpr DWORD EXCEPTION_FLT_DIVIDE_BY_ZERO = 0xC000008E;
constexpr DWORD EXCEPTION_FLT_INEXACT_RESULT = 0xC000008F;
constexpr DWORD EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090;
constexpr DWORD EXCEPTION_FLT_OVERFLOW = 0xC0000091;
constexpr DWORD EXCEPTION_FLT_STACK_CHECK = 0xC0000092;
constexpr DWORD EXCEPTION_FLT_UNDERFLOW = 0xC0000093;
constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094;
constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095;
constexpr DWORD EXCEPTION_PRIV_INSTRUCTION = 0xC0000096;
constexpr DWORD EXCEPTION_STACK_OVERFLOW = 0xC00000FD;
constexpr DWORD STATUS_NO_MEMORY = 0xC0000017;

// ExceptionAddress is the faulting instruction; for access violations and
// in-page errors, ExceptionInformation[1] is the address that was touched.
struct EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    EXCEPTION_RECORD* ExceptionRecord;
    PVOID ExceptionAddress;
    DWORD NumberParameters;
    ULONG_PTR ExceptionInformation[15];
};

} // extern "C"

namespace plat {

class FaultTrap {
public:
    // Arms the calling thread; a trap made on a thread that is armed already
    // shares its arming and keeps its own target.
    FaultTrap();
    ~FaultTrap();
    FaultTrap(const FaultTrap&) = delete;
    FaultTrap& operator=(const FaultTrap&) = delete;

    // False when the thread could not be armed (more threads armed at once
    // than the trap serves): faults then take their usual course.
    bool Armed() const { return m_slot >= 0; }

    // Where a fault of this thread jumps: a buffer the caller filled with
    // sigsetjmp (the signal mask need not be saved: the trap unblocks the
    // signal before it jumps), with value 2. Null: no jump. Returns the
    // target it replaces.
    sigjmp_buf* SetJumpTarget(sigjmp_buf* target);

    // The fault that made the last jump.
    EXCEPTION_RECORD Fault() const;

private:
    int m_slot = -1;
    sigjmp_buf* m_previousTarget = nullptr;
};

// The value sigsetjmp returns at a target the trap jumped to.
constexpr int kFaultJumpValue = 2;

// The Windows exception code for a fault signal and its si_code, or for a
// fault in the guard area below a thread's stack.
DWORD ExceptionCodeOfSignal(int signal, int code, bool stackOverflow);

} // namespace plat
