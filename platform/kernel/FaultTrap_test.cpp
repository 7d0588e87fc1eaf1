// Processor faults of a thread with a jump target come back as exception
// records; every other fault reaches the handler that was there before.
#include "platform/kernel/FaultTrap.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace {

// Runs `fault` under an armed trap with a target: the record of the fault
// it raised, or a record with code 0 when it ran to its end.
EXCEPTION_RECORD FaultOf(void (*fault)())
{
    plat::FaultTrap trap;
    EXPECT_TRUE(trap.Armed());
    sigjmp_buf target;
    if (sigsetjmp(target, 0) == plat::kFaultJumpValue)
        return trap.Fault();
    trap.SetJumpTarget(&target);
    fault();
    trap.SetJumpTarget(nullptr);
    return EXCEPTION_RECORD{};
}

volatile int* volatile g_nowhere = reinterpret_cast<int*>(0x10);
volatile int g_zero = 0;
volatile int g_sink = 0;
char* volatile g_cutMapping = nullptr;

// The faults themselves, not what a sanitizer makes of them first.
#define RAW_FAULT __attribute__((no_sanitize("address", "undefined")))

RAW_FAULT void WriteNowhere() { *g_nowhere = 1; }
RAW_FAULT void DivideByZero() { g_sink = 7 / g_zero; }
RAW_FAULT void IllegalInstruction() { __builtin_trap(); }
RAW_FAULT void ReadPastAMappedFile() { g_sink = g_cutMapping[8192]; }
void Nothing() { g_sink = 1; }

RAW_FAULT void Breakpoint()
{
#if defined(__x86_64__)
    asm volatile("int3");
#elif defined(__aarch64__)
    asm volatile("brk #0");
#endif
}

// Deep enough to run off any stack; every frame keeps its array.
RAW_FAULT int Recurse(int depth)
{
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (depth < 0)
        return 0;
    return Recurse(depth + 1) + frame[0];
}
void OverflowTheStack() { g_sink = Recurse(0); }

TEST(FaultTrap, FaultsOfTheInstructionComeBackWithTheirCode)
{
    // A file mapped over two pages and then cut to one.
    char name[] = "/tmp/faulttrapXXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    unlink(name);
    ASSERT_EQ(0, ftruncate(fd, 16384));
    void* mapping = mmap(nullptr, 16384, PROT_READ, MAP_SHARED, fd, 0);
    ASSERT_NE(MAP_FAILED, mapping);
    ASSERT_EQ(0, ftruncate(fd, 4096));
    g_cutMapping = static_cast<char*>(mapping);

    struct Case {
        const char* what;
        void (*fault)();
        DWORD code;
    };
    const Case cases[] = {
        {"write to an unmapped page", WriteNowhere, EXCEPTION_ACCESS_VIOLATION},
        {"integer division by zero", DivideByZero, EXCEPTION_INT_DIVIDE_BY_ZERO},
        {"undefined instruction", IllegalInstruction, EXCEPTION_ILLEGAL_INSTRUCTION},
        {"breakpoint", Breakpoint, EXCEPTION_BREAKPOINT},
        {"read past a mapped file's end", ReadPastAMappedFile, EXCEPTION_IN_PAGE_ERROR},
        {"no fault", Nothing, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const EXCEPTION_RECORD fault = FaultOf(c.fault);
        EXPECT_EQ(c.code, fault.ExceptionCode);
        if (c.code != 0) {
            EXPECT_NE(nullptr, fault.ExceptionAddress);
        }
    }
    const EXCEPTION_RECORD access = FaultOf(WriteNowhere);
    EXPECT_EQ(2u, access.NumberParameters);
    EXPECT_EQ(0x10u, access.ExceptionInformation[1]);
    munmap(mapping, 16384);
    close(fd);
}

// The thread's own stack runs out: the handler runs on the alternate stack
// and the fault is told as a stack overflow.
TEST(FaultTrap, AStackOverflowIsCaughtOnTheAlternateStack)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    DWORD code = 0;
    pthread_t thread;
    ASSERT_EQ(0, pthread_create(
                     &thread, &attributes,
                     [](void* result) -> void* {
                         *static_cast<DWORD*>(result) = FaultOf(OverflowTheStack).ExceptionCode;
                         return nullptr;
                     },
                     &code));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(EXCEPTION_STACK_OVERFLOW, code);
}

// A handler of the test's own, as the host program may have installed.
sigjmp_buf g_hostTarget;
volatile sig_atomic_t g_hostCalls = 0;
void HostHandler(int, siginfo_t*, void*)
{
    g_hostCalls = g_hostCalls + 1;
    siglongjmp(g_hostTarget, 1);
}

class HostHandlerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        struct sigaction action {};
        action.sa_sigaction = HostHandler;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGSEGV, &action, &m_saved);
        g_hostCalls = 0;
    }
    void TearDown() override { sigaction(SIGSEGV, &m_saved, nullptr); }

    // The fault, caught by the host's handler: whether it got there.
    static bool HostCatches(void (*fault)())
    {
        if (sigsetjmp(g_hostTarget, 1) != 0)
            return true;
        fault();
        return false;
    }

    struct sigaction m_saved {};
};

TEST_F(HostHandlerTest, FaultsTheTrapDoesNotTakeGoToTheHostsHandler)
{
    {
        plat::FaultTrap trap;
        ASSERT_TRUE(trap.Armed());
        // Armed, but no target set.
        EXPECT_TRUE(HostCatches(WriteNowhere));
        // Another thread, which is not armed at all.
        bool caught = false;
        std::thread([&] { caught = HostCatches(WriteNowhere); }).join();
        EXPECT_TRUE(caught);
        // A SIGSEGV sent with kill is no fault of the instruction.
        EXPECT_TRUE(HostCatches([] { raise(SIGSEGV); }));
        EXPECT_EQ(3, g_hostCalls);
    }
    // Disarmed: the host's handler is installed again.
    struct sigaction current {};
    sigaction(SIGSEGV, nullptr, &current);
    EXPECT_EQ(reinterpret_cast<void*>(HostHandler), reinterpret_cast<void*>(current.sa_sigaction));
}

TEST(FaultTrap, NestedTrapsKeepTheirOwnTargets)
{
    plat::FaultTrap outer;
    sigjmp_buf target;
    volatile int jumps = 0;
    if (sigsetjmp(target, 0) == plat::kFaultJumpValue) {
        jumps = jumps + 1;
        outer.SetJumpTarget(nullptr);
    } else {
        outer.SetJumpTarget(&target);
        EXPECT_EQ(EXCEPTION_INT_DIVIDE_BY_ZERO, FaultOf(DivideByZero).ExceptionCode);
        // The inner trap is gone; the outer one's target holds again.
        WriteNowhere();
    }
    EXPECT_EQ(1, jumps);
    EXPECT_EQ(EXCEPTION_ACCESS_VIOLATION, outer.Fault().ExceptionCode);
}

// Signal codes no test can raise at will.
TEST(FaultTrap, SignalCodesMapToTheirExceptionCodes)
{
    struct Case {
        int signal;
        int code;
        DWORD exception;
    };
    const Case cases[] = {
        {SIGBUS, BUS_ADRALN, EXCEPTION_DATATYPE_MISALIGNMENT}, {SIGBUS, BUS_OBJERR, EXCEPTION_IN_PAGE_ERROR},
        {SIGFPE, FPE_INTOVF, EXCEPTION_INT_OVERFLOW},          {SIGFPE, FPE_FLTDIV, EXCEPTION_FLT_DIVIDE_BY_ZERO},
        {SIGFPE, FPE_FLTOVF, EXCEPTION_FLT_OVERFLOW},          {SIGFPE, FPE_FLTUND, EXCEPTION_FLT_UNDERFLOW},
        {SIGFPE, FPE_FLTRES, EXCEPTION_FLT_INEXACT_RESULT},    {SIGFPE, FPE_FLTINV, EXCEPTION_FLT_INVALID_OPERATION},
        {SIGFPE, FPE_FLTSUB, EXCEPTION_ARRAY_BOUNDS_EXCEEDED}, {SIGILL, ILL_PRVOPC, EXCEPTION_PRIV_INSTRUCTION},
        {SIGILL, ILL_ILLOPC, EXCEPTION_ILLEGAL_INSTRUCTION},   {SIGTRAP, TRAP_TRACE, EXCEPTION_SINGLE_STEP},
        {SIGTRAP, TRAP_BRKPT, EXCEPTION_BREAKPOINT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.exception, plat::ExceptionCodeOfSignal(c.signal, c.code, false)) << c.signal << "/" << c.code;
}

} // namespace
