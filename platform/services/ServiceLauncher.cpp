#include "platform/services/ServiceLauncher.h"

#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"
#include "platform/kernel/Clock.h"
#include "platform/services/ScopedFd.h"
#include "platform/services/ServiceRuntime.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace plat::services {

namespace {

// Messages on the start pipe: the launching child reports the program's
// pid, the program's side reports a failed exec or (from the dispatcher)
// readiness.
constexpr char kPidMessage = 'P';
constexpr char kExecFailedMessage = 'E';

// %NAME% replaced by the environment's value; unknown names stay as written.
std::u16string ExpandVariables(std::u16string_view text)
{
    std::u16string result;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t open = text.find(u'%', pos);
        size_t close = open == std::u16string_view::npos ? open : text.find(u'%', open + 1);
        if (close == std::u16string_view::npos) {
            result.append(text.substr(pos));
            break;
        }
        result.append(text.substr(pos, open - pos));
        std::string name = Utf16ToUtf8(text.substr(open + 1, close - open - 1));
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (value) {
            result += Utf8ToUtf16(value);
            pos = close + 1;
        } else {
            result.append(text.substr(open, close - open));
            pos = close;
        }
    }
    return result;
}

bool IsExecutableFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// A bare program name is looked for in the system folder, then on PATH.
std::string ResolveProgram(const std::string& program)
{
    if (program.find('/') != std::string::npos)
        return program;
    std::vector<std::string> folders{SystemFolder()};
    if (const char* path = std::getenv("PATH")) {
        std::string list = path;
        size_t start = 0;
        for (size_t colon; (colon = list.find(':', start)) != std::string::npos; start = colon + 1)
            folders.push_back(list.substr(start, colon - start));
        folders.push_back(list.substr(start));
    }
    for (const auto& folder : folders) {
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + program;
        if (IsExecutableFile(candidate))
            return candidate;
    }
    return program;
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOEXEC:
    case ELIBBAD:
        return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_SERVICE_REQUEST_TIMEOUT;
    }
}

// Only async-signal-safe calls from here on: the caller may have threads.
[[noreturn]] void RunProgramChild(const char* program, char* const* argv, char* const* envp, int lockFd, int readyFd,
                                  int logFd, int nullFd)
{
    setsid();
    pid_t program_pid = fork();
    if (program_pid != 0) {
        char message[1 + sizeof(int32_t)];
        int32_t pid = program_pid;
        message[0] = kPidMessage;
        std::memcpy(message + 1, &pid, sizeof pid);
        if (program_pid > 0)
            (void)!write(readyFd, message, sizeof message);
        _exit(program_pid > 0 ? 0 : 1);
    }

    struct sigaction defaultAction;
    std::memset(&defaultAction, 0, sizeof defaultAction);
    defaultAction.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP)
            sigaction(signal, &defaultAction, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    dup2(nullFd, 0);
    dup2(logFd >= 0 ? logFd : nullFd, 1);
    dup2(logFd >= 0 ? logFd : nullFd, 2);
    close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    fcntl(lockFd, F_SETFD, 0);
    fcntl(readyFd, F_SETFD, 0);
    chdir("/");
    execve(program, argv, envp);

    char message[1 + sizeof(int32_t)];
    int32_t error = errno;
    message[0] = kExecFailedMessage;
    std::memcpy(message + 1, &error, sizeof error);
    (void)!write(readyFd, message, sizeof message);
    _exit(127);
}

// Reads the start pipe until the dispatcher is ready. ERROR_SUCCESS, or why not.
DWORD AwaitReady(int readFd, pid_t& programPid, bool& timedOut)
{
    timedOut = false;
    ULONGLONG deadline = GetClock().NowMs() + kStartTimeoutMs;
    std::string pending;
    for (;;) {
        while (!pending.empty()) {
            char kind = pending[0];
            if (kind == kReadyMessage)
                return ERROR_SUCCESS;
            if (kind != kPidMessage && kind != kExecFailedMessage)
                return ERROR_SERVICE_REQUEST_TIMEOUT;
            if (pending.size() < 1 + sizeof(int32_t))
                break;
            int32_t value;
            std::memcpy(&value, pending.data() + 1, sizeof value);
            pending.erase(0, 1 + sizeof(int32_t));
            if (kind == kExecFailedMessage)
                return ErrorFromErrno(value);
            programPid = value;
        }
        pollfd entry = {readFd, POLLIN, 0};
        int ready = poll(&entry, 1, 50);
        if (ready < 0 && errno != EINTR)
            return ERROR_SERVICE_REQUEST_TIMEOUT;
        if (ready > 0) {
            char buffer[64];
            ssize_t n = read(readFd, buffer, sizeof buffer);
            if (n == 0)
                return ERROR_SERVICE_REQUEST_TIMEOUT; // ended without becoming a service
            if (n > 0)
                pending.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (GetClock().NowMs() >= deadline) {
            timedOut = true;
            return ERROR_SERVICE_REQUEST_TIMEOUT;
        }
    }
}

// Takes the service's lock for the program to inherit. While the process of
// an earlier run still lives after reporting stopped, waits for it to end.
DWORD TakeServiceLock(const ServiceConfig& config, ScopedFd& lock)
{
    lock.Reset(OpenPrivateFile(LockPath(config.name), O_RDWR | O_CREAT));
    if (lock.Get() < 0)
        return ERROR_ACCESS_DENIED;
    ULONGLONG deadline = GetClock().NowMs() + kStartTimeoutMs;
    while (!TryLockServiceFile(lock.Get())) {
        SERVICE_STATUS_PROCESS status = CurrentStatus(config.name, config.type);
        if (status.dwCurrentState != SERVICE_STOPPED || GetClock().NowMs() >= deadline)
            return ERROR_SERVICE_ALREADY_RUNNING;
        usleep(10000);
    }
    return ERROR_SUCCESS;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (auto& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

std::vector<std::u16string> SplitCommandLine(std::u16string_view line)
{
    std::vector<std::u16string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == u' ' || line[i] == u'\t'))
            ++i;
        if (i >= line.size())
            break;
        std::u16string word;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != u' ' && line[i] != u'\t'))) {
            if (line[i] == u'\\') {
                size_t slashes = 0;
                while (i < line.size() && line[i] == u'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < line.size() && line[i] == u'"') {
                    word.append(slashes / 2, u'\\');
                    if (slashes % 2) {
                        word.push_back(u'"');
                        ++i;
                    }
                } else {
                    word.append(slashes, u'\\');
                }
                continue;
            }
            if (line[i] == u'"') {
                quoted = !quoted;
                ++i;
                continue;
            }
            word.push_back(line[i++]);
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::string EncodeArguments(const std::vector<std::u16string>& args)
{
    static const char digits[] = "0123456789abcdef";
    std::string encoded;
    for (const auto& arg : args) {
        for (unsigned char c : Utf16ToUtf8(arg)) {
            encoded.push_back(digits[c >> 4]);
            encoded.push_back(digits[c & 15]);
        }
        encoded.push_back(';');
    }
    return encoded;
}

std::vector<std::u16string> DecodeArguments(const std::string& encoded)
{
    auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    std::vector<std::u16string> args;
    std::string current;
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == ';') {
            args.push_back(Utf8ToUtf16(current));
            current.clear();
        } else if (i + 1 < encoded.size() && std::isxdigit(static_cast<unsigned char>(encoded[i])) &&
                   std::isxdigit(static_cast<unsigned char>(encoded[i + 1]))) {
            current.push_back(static_cast<char>(nibble(encoded[i]) * 16 + nibble(encoded[i + 1])));
            ++i;
        }
    }
    return args;
}

DWORD LaunchService(const ServiceConfig& config, const std::vector<std::u16string>& args)
{
    std::vector<std::u16string> words = SplitCommandLine(ExpandVariables(config.imagePath));
    if (words.empty() || words[0].empty())
        return ERROR_FILE_NOT_FOUND;
    if (!EnsureRuntimeDirectory())
        return ERROR_ACCESS_DENIED;

    ScopedFd lock;
    if (DWORD error = TakeServiceLock(config, lock); error != ERROR_SUCCESS)
        return error;

    SERVICE_STATUS_PROCESS status = {};
    status.dwServiceType = config.type;
    status.dwCurrentState = SERVICE_START_PENDING;
    WriteStatusFile(config.name, status);

    auto fail = [&](DWORD error) {
        status.dwCurrentState = SERVICE_STOPPED;
        status.dwWin32ExitCode = error;
        status.dwProcessId = 0;
        WriteStatusFile(config.name, status);
        // Deleted while it was starting: nothing else will remove it now.
        if (auto now = ReadService(config.name); now && now->markedForDelete)
            RemoveService(config.name);
        return error;
    };

    // Everything the child needs is made before fork.
    std::string program = ResolveProgram(Utf16ToUtf8(words[0]));
    std::vector<std::string> argvStrings{program};
    for (size_t i = 1; i < words.size(); ++i)
        argvStrings.push_back(Utf16ToUtf8(words[i]));

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    ScopedFd readEnd(pipeFds[0]);
    ScopedFd writeEnd(pipeFds[1]);

    std::vector<std::string> envStrings;
    for (char** entry = environ; entry && *entry; ++entry) {
        std::string_view variable(*entry);
        bool ours = false;
        for (const char* name : {kServiceNameVariable, kServiceArgsVariable, kServiceLockFdVariable,
                                 kServiceReadyFdVariable, kSysRootVariable}) {
            std::string prefix = std::string(name) + "=";
            ours = ours || variable.substr(0, prefix.size()) == prefix;
        }
        if (!ours)
            envStrings.emplace_back(variable);
    }
    envStrings.push_back(std::string(kSysRootVariable) + "=" + SystemRoot());
    envStrings.push_back(std::string(kServiceNameVariable) + "=" + Utf16ToUtf8(config.name));
    envStrings.push_back(std::string(kServiceArgsVariable) + "=" + EncodeArguments(args));
    envStrings.push_back(std::string(kServiceLockFdVariable) + "=" + std::to_string(lock.Get()));
    envStrings.push_back(std::string(kServiceReadyFdVariable) + "=" + std::to_string(writeEnd.Get()));
    std::vector<char*> argv = Pointers(argvStrings);
    std::vector<char*> envp = Pointers(envStrings);

    CreatePrivateFolder(LogFolder() + "/services");
    ScopedFd log(OpenPrivateFile(ProgramLogPath(config.name), O_WRONLY | O_CREAT | O_APPEND));
    ScopedFd null(open("/dev/null", O_RDWR | O_CLOEXEC));
    if (null.Get() < 0)
        return fail(ERROR_ACCESS_DENIED);

    pid_t child = fork();
    if (child < 0)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    if (child == 0)
        RunProgramChild(program.c_str(), argv.data(), envp.data(), lock.Get(), writeEnd.Get(), log.Get(), null.Get());

    writeEnd.Reset();
    int childStatus = 0;
    while (waitpid(child, &childStatus, 0) < 0 && errno == EINTR) {
    }

    pid_t programPid = 0;
    bool timedOut = false;
    DWORD result = AwaitReady(readEnd.Get(), programPid, timedOut);
    if (result == ERROR_SUCCESS)
        return ERROR_SUCCESS; // the program holds the lock now; ours closes
    if (timedOut && programPid > 0)
        kill(programPid, SIGKILL); // runs, but never became a service in the time allowed
    return fail(result);
}

} // namespace plat::services
