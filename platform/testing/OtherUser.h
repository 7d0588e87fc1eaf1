// Tries things as another local user: a child process switches to the
// unprivileged user "nobody" and runs a probe there. Only a test running as
// root can switch; the others skip.
//
// The child is a fork of a process with threads, so the probe may only make
// system calls: everything it needs (paths, bytes to send) is made before.
#pragma once

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace plat::testing {

constexpr uid_t kOtherUser = 65534; // nobody
constexpr gid_t kOtherGroup = 65534;

// Whether this process can run probes as another user.
inline bool CanSwitchUser() { return geteuid() == 0; }

// Runs `probe` as the other user; what it writes to the descriptor it is
// given comes back as the result. False when the child could not switch.
template <class Probe>
bool RunAsOtherUser(Probe probe, std::string& output)
{
    int pipeFds[2];
    if (!CanSwitchUser() || pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        if (setgroups(0, nullptr) != 0 || setgid(kOtherGroup) != 0 || setuid(kOtherUser) != 0)
            _exit(1);
        probe(pipeFds[1]);
        _exit(0);
    }
    close(pipeFds[1]);
    output.clear();
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        output.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
    close(pipeFds[0]);
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A probe step: writes "<name>:<errno>\n" for a file that the other user
// tries to open, 0 when it could.
inline void TryOpen(int out, const char* name, const char* path, int flags)
{
    const int fd = open(path, flags | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0)
        close(fd);
    char line[64];
    std::size_t length = 0;
    for (; name[length] && length < 40; ++length)
        line[length] = name[length];
    line[length++] = ':';
    char digits[12];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + error % 10);
        error /= 10;
    } while (error > 0);
    while (count > 0)
        line[length++] = digits[--count];
    line[length++] = '\n';
    (void)!write(out, line, length);
}

// A probe step: connects to the Unix socket at `path`, sends `request` and
// passes on everything the server answers until it closes the connection
// (or 20 s pass, which only a server that serves the other user lets
// happen). Nothing comes back when the connection itself is refused.
inline void TryServer(int out, const char* path, const void* request, std::size_t size)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::size_t length = 0;
    while (path[length] && length + 1 < sizeof address.sun_path) {
        address.sun_path[length] = path[length];
        ++length;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        (void)!send(fd, request, size, MSG_NOSIGNAL);
        char buffer[4096];
        pollfd entry{fd, POLLIN, 0};
        while (poll(&entry, 1, 20000) == 1) {
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            (void)!write(out, buffer, static_cast<std::size_t>(got));
        }
    }
    close(fd);
}

// Lets every user reach `socket` by path, as a root made loose by hand (or
// by an older version) would: the folders from `root` down to it become
// 0711 and the socket 0666. What then keeps another user out is the
// server's own check of who connects.
inline void OpenPathToOthers(const std::string& root, const std::string& socket)
{
    chmod(root.c_str(), 0711);
    for (std::size_t slash = socket.find('/', root.size() + 1); slash != std::string::npos;
         slash = socket.find('/', slash + 1))
        chmod(socket.substr(0, slash).c_str(), 0711);
    chmod(socket.c_str(), 0666);
}

} // namespace plat::testing
