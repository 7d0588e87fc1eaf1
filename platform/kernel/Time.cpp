#include "platform/kernel/Time.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/MessageQueue.h"

#include <sched.h>

void Sleep(DWORD dwMilliseconds)
{
    if (dwMilliseconds == 0) {
        sched_yield();
        return;
    }
    // A wait on nothing: only the deadline can end it.
    plat::WaitForObjects({}, false, dwMilliseconds, nullptr);
}

DWORD GetTickCount() { return static_cast<DWORD>(plat::GetClock().NowMs()); }

ULONGLONG GetTickCount64() { return plat::GetClock().NowMs(); }
