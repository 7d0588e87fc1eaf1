// Processes a test starts: one that reports itself on its first line of
// output, and ending them.
#pragma once

#include "platform/windows.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

namespace plat::testing {

// Kills `pid` and waits until it is gone (reaped by whoever its parent is).
inline void KillAndWait(DWORD pid)
{
    if (pid == 0)
        return;
    kill(static_cast<pid_t>(pid), SIGKILL);
    for (int i = 0; i < 2000; ++i) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        if (!process)
            return;
        CloseHandle(process);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// A program started with a shell command line; its output is read line by
// line. Killed when the object goes.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess()
    {
        KillAndWait(m_pid);
        if (m_pipe)
            pclose(m_pipe);
    }

    // Starts `command` (a shell command line, run with exec); false when it
    // cannot be started.
    bool Start(const std::string& command)
    {
        // The read end is not inherited, so that it closes when this
        // process ends: a child may watch for that.
        m_pipe = popen(("exec " + command + " & echo $!").c_str(), "re");
        unsigned pid = 0;
        if (!m_pipe || std::fscanf(m_pipe, "%u\n", &pid) != 1)
            return false;
        m_pid = pid;
        return true;
    }
    // The next line of the program's output without its line end; empty at
    // the end of its output.
    std::string ReadLine()
    {
        char line[256] = {};
        if (!m_pipe || !std::fgets(line, sizeof line, m_pipe))
            return {};
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        return text;
    }
    DWORD Pid() const { return m_pid; }

private:
    FILE* m_pipe = nullptr;
    DWORD m_pid = 0;
};

} // namespace plat::testing
