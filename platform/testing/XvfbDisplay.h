// A virtual X display for a test's windows: Xvfb started on a display
// number it picks itself (-displayfd), DISPLAY pointing at it while the
// object lives, the server ended when it goes (and with the test, if the
// test dies). Tests skip when Xvfb is not installed. The toolkit keeps the
// display it opened for the process's life, so a test program shares one
// server between its tests (ForProcess).
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plat::testing {

class XvfbDisplay {
public:
    // The server's program, or empty when it is not installed.
    static std::string ServerProgram()
    {
        for (const char* folder : {"/usr/bin", "/usr/local/bin", "/bin"}) {
            const std::filesystem::path program = std::filesystem::path(folder) / "Xvfb";
            if (access(program.c_str(), X_OK) == 0)
                return program.string();
        }
        return {};
    }

    // The process's server, started by the first call; null (with the
    // reason) when it did not come up.
    static XvfbDisplay* ForProcess(std::string* why)
    {
        static XvfbDisplay display;
        static std::string failure;
        static const bool started = display.Start(&failure);
        *why = failure;
        return started ? &display : nullptr;
    }

    XvfbDisplay() = default;
    ~XvfbDisplay() { Stop(); }
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // Starts the server and names it in DISPLAY; false (with the reason)
    // when it does not come up within `limitMs` of real time.
    bool Start(std::string* why, int limitMs = 20000)
    {
        const std::string program = ServerProgram();
        int fds[2];
        if (program.empty() || pipe(fds) != 0) {
            *why = "no Xvfb";
            return false;
        }
        const std::string displayFd = std::to_string(fds[1]);
        m_pid = fork();
        if (m_pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            close(fds[0]);
            execl(program.c_str(), "Xvfb", "-displayfd", displayFd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
                  "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        while (poll(&wait, 1, limitMs) > 0) {
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number.push_back(c);
        }
        close(fds[0]);
        if (number.empty()) {
            *why = "Xvfb did not say which display it serves";
            Stop();
            return false;
        }
        m_display = ":" + number;
        setenv("DISPLAY", m_display.c_str(), 1);
        // No accessibility bus or settings daemon in a test session.
        setenv("NO_AT_BRIDGE", "1", 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
        setenv("GDK_BACKEND", "x11", 1);
        return true;
    }

    const std::string& Display() const { return m_display; }

private:
    void Stop()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        while (waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        unsetenv("DISPLAY");
    }

    pid_t m_pid = -1;
    std::string m_display;
};

} // namespace plat::testing
