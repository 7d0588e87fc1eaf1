// A process as a kernel object (internal to the platform library).
#pragma once

#include "platform/kernel/TaskObject.h"

#include <memory>
#include <sys/types.h>

namespace plat {

class ProcessObject : public TaskObject {
public:
    ProcessObject(pid_t pid, bool child) : m_pid(pid), m_child(child) {}

    // A process not started here is asked about its state each time.
    bool IsSignalled() const override;
    DWORD ExitCode() const override;
    unsigned PollIntervalMs() const override { return m_child ? 0 : 100; }

    pid_t Pid() const { return m_pid; }
    bool IsChild() const { return m_child; }
    bool IsSelf() const;

    // Kernel lock held: a TerminateProcess asked for this code.
    void SetRequestedExitCode(DWORD code)
    {
        m_requestedExitCode = code;
        m_exitCodeRequested = true;
    }
    bool ExitCodeRequested() const { return m_exitCodeRequested; }
    DWORD RequestedExitCode() const { return m_requestedExitCode; }

private:
    const pid_t m_pid;
    const bool m_child;
    bool m_exitCodeRequested = false;
    DWORD m_requestedExitCode = 0;
};

// Whether a process runs: it exists (EPERM counts) and is no zombie.
bool IsProcessAlive(pid_t pid);

// The process object of a child started here and still known, or null.
std::shared_ptr<ProcessObject> FindChildProcess(pid_t pid);

} // namespace plat
