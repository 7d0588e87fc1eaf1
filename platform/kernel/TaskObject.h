// A thread or a process as a waitable object: signalled when it ends, with
// the exit code it ended with (STILL_ACTIVE while it runs).
#pragma once

#include "platform/kernel/KernelObject.h"
#include "platform/kernel/Thread.h"

namespace plat {

class TaskObject : public Waitable {
public:
    bool IsSignalled() const override { return m_ended; }

    // Kernel lock held.
    virtual DWORD ExitCode() const { return m_ended ? m_exitCode : STILL_ACTIVE; }

    // Marks the end and wakes the waiters; the first end wins (a thread that
    // was abandoned keeps the code it was abandoned with). Takes the kernel
    // lock. True when this call ended it.
    bool Finish(DWORD exitCode);
    // The same with the kernel lock already held.
    bool FinishLocked(DWORD exitCode);

protected:
    bool m_ended = false;
    DWORD m_exitCode = STILL_ACTIVE;
};

} // namespace plat
