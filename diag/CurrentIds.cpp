#include "diag/CurrentIds.h"

#include <sys/syscall.h>
#include <unistd.h>

// Stand-ins until the platform layer offers GetCurrentThreadId and
// GetCurrentProcessId; they give the same numbers.
DWORD DiagCurrentThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }
DWORD DiagCurrentProcessId() { return static_cast<DWORD>(::getpid()); }
