// A program a test runs beside itself, with its standard output (and, when
// asked, its standard input) on a pipe; killed and reaped at the latest when
// the object goes.
#pragma once

#include <csignal>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plat::testing {

class ChildProgram {
public:
    explicit ChildProgram(std::vector<std::string> args, bool withInput = false)
    {
        int out[2];
        int in[2] = {-1, -1};
        if (::pipe(out) != 0)
            return;
        if (withInput && ::pipe(in) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            // A test that crashes takes its programs with it.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            if (withInput) {
                ::dup2(in[0], STDIN_FILENO);
                ::close(in[0]);
                ::close(in[1]);
            }
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
    }
    ~ChildProgram()
    {
        CloseInput();
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            ::close(m_out);
    }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool Started() const { return m_pid > 0 && m_out >= 0; }

    // The next line of output without its line end; empty at the end.
    std::string NextLine()
    {
        std::string line;
        char c;
        for (;;) {
            if (::read(m_out, &c, 1) != 1) {
                m_ended = true;
                break;
            }
            if (c == '\n')
                break;
            line += c;
        }
        return line;
    }
    // Lines up to and including the first that starts with `prefix`; all
    // that is left when none does.
    std::string ReadThrough(const std::string& prefix)
    {
        std::string text;
        while (!m_ended) {
            const std::string line = NextLine();
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
        for (ssize_t n; (n = ::read(m_out, buffer, sizeof buffer)) > 0;)
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

    // The exit code; -1 when the program did not exit normally.
    int Wait()
    {
        CloseInput();
        int status = 0;
        const pid_t waited = ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return waited > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    bool m_ended = false;
    int m_out = -1;
    int m_in = -1;
};

// Runs a program to its end; its output goes to `output`.
inline int RunProgram(std::vector<std::string> args, std::string* output)
{
    ChildProgram child(std::move(args));
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
