// Programs a test starts beside itself: their standard output (and, when
// asked, their standard input or their error output) on pipes the test's other children do not
// inherit; they are killed and reaped at the latest when the object goes,
// and die with the test if it crashes. Also ending processes by id or by
// where their program lies.
#pragma once

#include "platform/windows.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// What a child's pipes carry besides its standard output.
enum class ChildPipes {
    OutputOnly,
    WithInput,  // standard input written by the test
    WithErrors, // error output mixed into the standard output
};

class ChildProcess {
public:
    ChildProcess() = default;
    explicit ChildProcess(std::vector<std::string> args, ChildPipes pipes = ChildPipes::OutputOnly)
    {
        Start(std::move(args), pipes);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess()
    {
        CloseInput();
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            ::close(m_out);
    }

    // Starts `command`, a shell command line run with exec, so that the
    // program is this process's child itself.
    bool Start(const std::string& command) { return Start({"/bin/sh", "-c", "exec " + command}); }
    // Starts the program args[0] with the arguments after it; false when it
    // cannot be started.
    bool Start(std::vector<std::string> args, ChildPipes pipes = ChildPipes::OutputOnly)
    {
        const bool withInput = pipes == ChildPipes::WithInput;
        int out[2];
        int in[2] = {-1, -1};
        if (::pipe2(out, O_CLOEXEC) != 0)
            return false;
        if (withInput && ::pipe2(in, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return false;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::dup2(out[1], STDOUT_FILENO);
            if (pipes == ChildPipes::WithErrors)
                ::dup2(out[1], STDERR_FILENO);
            if (withInput)
                ::dup2(in[0], STDIN_FILENO);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        m_out = out[0];
        if (withInput) {
            ::close(in[0]);
            m_in = in[1];
        }
        return Started();
    }

    bool Started() const { return m_pid > 0 && m_out >= 0; }
    DWORD Pid() const { return m_pid > 0 ? static_cast<DWORD>(m_pid) : 0; }
    bool Signal(int signal) { return m_pid > 0 && ::kill(m_pid, signal) == 0; }

    // The next line of the program's output without its line end; empty at
    // the end of its output.
    std::string ReadLine()
    {
        std::string line;
        char c;
        for (;;) {
            if (m_out < 0 || ::read(m_out, &c, 1) != 1) {
                m_ended = true;
                break;
            }
            if (c == '\n')
                break;
            if (c != '\r')
                line += c;
        }
        return line;
    }
    // Whether a read found the end of the program's output.
    bool Ended() const { return m_ended; }
    // Lines up to and including the first that starts with `prefix`; all
    // that is left when none does.
    std::string ReadThrough(const std::string& prefix)
    {
        std::string text;
        while (!m_ended) {
            const std::string line = ReadLine();
            if (m_ended && line.empty())
                break;
            text += line + "\n";
            if (line.rfind(prefix, 0) == 0)
                break;
        }
        return text;
    }
    std::string RestOfOutput()
    {
        std::string text;
        char buffer[4096];
        for (ssize_t n; m_out >= 0 && (n = ::read(m_out, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<size_t>(n));
        return text;
    }

    // A line to the program's standard input.
    bool WriteLine(const std::string& line)
    {
        const std::string text = line + "\n";
        return m_in >= 0 && ::write(m_in, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    void CloseInput()
    {
        if (m_in >= 0)
            ::close(m_in);
        m_in = -1;
    }

    // The exit code; -1 when the program did not exit normally. `usage`
    // receives what the program used (its peak memory, say).
    int Wait(rusage* usage = nullptr)
    {
        CloseInput();
        int status = 0;
        rusage ignored{};
        const pid_t waited = m_pid > 0 ? ::wait4(m_pid, &status, 0, usage ? usage : &ignored) : -1;
        m_pid = -1;
        return waited > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_in = -1;
    bool m_ended = false;
};

// Runs a program to its end; its output goes to `output`.
inline int RunProgram(std::vector<std::string> args, std::string* output)
{
    ChildProcess child(std::move(args));
    if (!child.Started())
        return -1;
    *output = child.RestOfOutput();
    return child.Wait();
}

// Kills every process whose program lies under `folder` (a test's system
// root): what a failed step left running ends with the test.
inline void KillProgramsRunFrom(const std::string& folder)
{
    namespace fs = std::filesystem;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::error_code error;
        const fs::path exe = fs::read_symlink(entry.path() / "exe", error);
        if (!error && exe.string().rfind(folder + "/", 0) == 0)
            ::kill(std::stoi(entry.path().filename().string()), SIGKILL);
    }
}

} // namespace plat::testing
