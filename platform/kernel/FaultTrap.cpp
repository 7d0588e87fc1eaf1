#include "platform/kernel/FaultTrap.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

namespace plat {

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};
constexpr size_t kAlternateStackSize = 64 * 1024;
// Faults this far below a thread's stack are taken for a stack overflow:
// the guard area and what a frame may skip over it.
constexpr uintptr_t kStackGuardReach = 256 * 1024;

// One armed thread. The handler finds it by thread id without taking a
// lock or touching thread-local storage (which a library loaded late may
// only allocate on first use, inside the handler).
struct Slot {
    std::atomic<pid_t> thread{0};
    int depth = 0;
    // Written by the thread itself, read by its handler: lock-free, so
    // safe to read inside a signal handler.
    std::atomic<sigjmp_buf*> target{nullptr};
    EXCEPTION_RECORD fault{};
    uintptr_t stackLow = 0;
    void* alternateStack = nullptr;
    stack_t previousStack{};
};

constexpr size_t kSlots = 64;
std::array<Slot, kSlots> g_slots;

// The handlers are installed while any thread is armed.
std::mutex g_installMutex;
int g_armedThreads = 0;
struct sigaction g_previous[NSIG];

pid_t CurrentThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

Slot* SlotOf(pid_t thread)
{
    for (Slot& slot : g_slots) {
        if (slot.thread.load(std::memory_order_acquire) == thread)
            return &slot;
    }
    return nullptr;
}

void* InstructionAddress(void* context)
{
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return reinterpret_cast<void*>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return reinterpret_cast<void*>(uc->uc_mcontext.pc);
#else
    (void)uc;
    return nullptr;
#endif
}

// What the signal's earlier owner would have done with it.
void PassOn(int signal, siginfo_t* info, void* context)
{
    const struct sigaction& previous = g_previous[signal];
    if (previous.sa_flags & SA_SIGINFO) {
        if (previous.sa_sigaction)
            previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler == SIG_IGN)
        return;
    if (previous.sa_handler == SIG_DFL) {
        // With the default back in place a fault comes again as the
        // instruction runs again, and the system ends the process as it
        // would have; a sent signal does not come again by itself.
        struct sigaction standard {};
        standard.sa_handler = SIG_DFL;
        sigaction(signal, &standard, nullptr);
        if (info->si_code <= 0)
            raise(signal);
        return;
    }
    previous.sa_handler(signal);
}

void OnFault(int signal, siginfo_t* info, void* context)
{
    // Only a fault the kernel raised for this thread's instruction (si_code
    // above 0), on a thread with a target.
    Slot* slot = info->si_code > 0 ? SlotOf(CurrentThreadId()) : nullptr;
    sigjmp_buf* target = slot ? slot->target.exchange(nullptr) : nullptr;
    if (!target) {
        PassOn(signal, info, context);
        return;
    }
    const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    const bool stackOverflow = signal == SIGSEGV && slot->stackLow && address < slot->stackLow + 4096 &&
                               address + kStackGuardReach >= slot->stackLow;
    EXCEPTION_RECORD& fault = slot->fault;
    std::memset(&fault, 0, sizeof fault);
    fault.ExceptionCode = ExceptionCodeOfSignal(signal, info->si_code, stackOverflow);
    fault.ExceptionAddress = InstructionAddress(context);
    if (signal == SIGSEGV || signal == SIGBUS) {
        fault.NumberParameters = 2;
        fault.ExceptionInformation[1] = address;
    }
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    siglongjmp(*target, kFaultJumpValue);
}

void InstallHandlers()
{
    for (int signal : kFaultSignals) {
        struct sigaction action {};
        action.sa_sigaction = OnFault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, &g_previous[signal]);
    }
}

// Gives each signal back to its earlier owner, unless someone replaced the
// trap's handler meanwhile: theirs stays.
void RestoreHandlers()
{
    for (int signal : kFaultSignals) {
        struct sigaction current {};
        sigaction(signal, nullptr, &current);
        if ((current.sa_flags & SA_SIGINFO) && current.sa_sigaction == OnFault)
            sigaction(signal, &g_previous[signal], nullptr);
    }
}

uintptr_t StackLowOfThisThread()
{
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0)
        return 0;
    void* low = nullptr;
    size_t size = 0;
    const bool known = pthread_attr_getstack(&attributes, &low, &size) == 0;
    pthread_attr_destroy(&attributes);
    return known ? reinterpret_cast<uintptr_t>(low) : 0;
}

// A stack for the handler when the thread has none, so that the handler
// still runs when the thread's own stack is what overflowed.
void GiveAlternateStack(Slot& slot)
{
    stack_t current{};
    if (sigaltstack(nullptr, &current) != 0 || !(current.ss_flags & SS_DISABLE))
        return;
    void* memory = mmap(nullptr, kAlternateStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = kAlternateStackSize;
    if (sigaltstack(&stack, &slot.previousStack) != 0) {
        munmap(memory, kAlternateStackSize);
        return;
    }
    slot.alternateStack = memory;
}

void TakeAlternateStackBack(Slot& slot)
{
    if (!slot.alternateStack)
        return;
    sigaltstack(&slot.previousStack, nullptr);
    munmap(slot.alternateStack, kAlternateStackSize);
    slot.alternateStack = nullptr;
}

} // namespace

DWORD ExceptionCodeOfSignal(int signal, int code, bool stackOverflow)
{
    switch (signal) {
    case SIGSEGV:
        return stackOverflow ? EXCEPTION_STACK_OVERFLOW : EXCEPTION_ACCESS_VIOLATION;
    case SIGBUS:
        // A misaligned access, or a page that could not be brought in (a
        // mapped file cut short).
        return code == BUS_ADRALN ? EXCEPTION_DATATYPE_MISALIGNMENT : EXCEPTION_IN_PAGE_ERROR;
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV:
            return EXCEPTION_INT_DIVIDE_BY_ZERO;
        case FPE_INTOVF:
            return EXCEPTION_INT_OVERFLOW;
        case FPE_FLTDIV:
            return EXCEPTION_FLT_DIVIDE_BY_ZERO;
        case FPE_FLTOVF:
            return EXCEPTION_FLT_OVERFLOW;
        case FPE_FLTUND:
            return EXCEPTION_FLT_UNDERFLOW;
        case FPE_FLTRES:
            return EXCEPTION_FLT_INEXACT_RESULT;
        case FPE_FLTSUB:
            return EXCEPTION_ARRAY_BOUNDS_EXCEEDED;
        default:
            return EXCEPTION_FLT_INVALID_OPERATION;
        }
    case SIGILL:
        return code == ILL_PRVOPC || code == ILL_PRVREG ? EXCEPTION_PRIV_INSTRUCTION : EXCEPTION_ILLEGAL_INSTRUCTION;
    case SIGTRAP:
        return code == TRAP_TRACE ? EXCEPTION_SINGLE_STEP : EXCEPTION_BREAKPOINT;
    default:
        return 0;
    }
}

FaultTrap::FaultTrap()
{
    const pid_t thread = CurrentThreadId();
    Slot* slot = SlotOf(thread);
    if (!slot) {
        for (Slot& candidate : g_slots) {
            pid_t free = 0;
            if (candidate.thread.compare_exchange_strong(free, thread, std::memory_order_acq_rel)) {
                slot = &candidate;
                break;
            }
        }
        if (!slot)
            return;
        slot->depth = 0;
        slot->target.store(nullptr);
        slot->stackLow = StackLowOfThisThread();
        GiveAlternateStack(*slot);
        std::lock_guard lock(g_installMutex);
        if (g_armedThreads++ == 0)
            InstallHandlers();
    }
    ++slot->depth;
    m_slot = static_cast<int>(slot - g_slots.data());
    m_previousTarget = slot->target.exchange(nullptr);
}

FaultTrap::~FaultTrap()
{
    if (m_slot < 0)
        return;
    Slot& slot = g_slots[static_cast<size_t>(m_slot)];
    slot.target.store(m_previousTarget);
    if (--slot.depth > 0)
        return;
    {
        std::lock_guard lock(g_installMutex);
        if (--g_armedThreads == 0)
            RestoreHandlers();
    }
    TakeAlternateStackBack(slot);
    slot.thread.store(0, std::memory_order_release);
}

sigjmp_buf* FaultTrap::SetJumpTarget(sigjmp_buf* target)
{
    return m_slot >= 0 ? g_slots[static_cast<size_t>(m_slot)].target.exchange(target) : nullptr;
}

EXCEPTION_RECORD FaultTrap::Fault() const
{
    return m_slot >= 0 ? g_slots[static_cast<size_t>(m_slot)].fault : EXCEPTION_RECORD{};
}

} // namespace plat
