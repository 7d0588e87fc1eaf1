#include "platform/process/Process.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"
#include "platform/kernel/Thread.h"
#include "platform/process/CommandLine.h"
#include "platform/process/ProcessObject.h"
#include "platform/resources/module.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace plat {

namespace {

// Children started here, by pid, until they are reaped.
struct Children {
    std::mutex mutex;
    std::map<pid_t, std::weak_ptr<ProcessObject>> byPid;
};

Children& TheChildren()
{
    static Children* children = new Children;
    return *children;
}

// What a Windows caller would see as the exit code of a wait status.
DWORD ExitCodeFromStatus(int status)
{
    if (WIFEXITED(status))
        return static_cast<DWORD>(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return 0xC0000000u + static_cast<DWORD>(WTERMSIG(status));
    return 0;
}

// Whether a child started here has ended, reaped or not. Kernel lock held.
bool ChildHasEnded(const ProcessObject& process)
{
    if (process.IsSignalled())
        return true;
    siginfo_t info{};
    return waitid(P_PID, process.Pid(), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == process.Pid();
}

// Waits for the child to end without taking its id away, then reaps it and
// marks the end in one step under the kernel lock: TerminateProcess signals
// under that lock too, so it never reaches a process that took over the id.
void Reap(std::shared_ptr<ProcessObject> process)
{
    const pid_t pid = process->Pid();
    siginfo_t info{};
    while (waitid(P_PID, pid, &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    {
        // From here OpenProcess sees the id as a zombie, not as a child.
        Children& children = TheChildren();
        std::lock_guard lock(children.mutex);
        children.byPid.erase(pid);
    }
    std::lock_guard lock(KernelMutex());
    int status = 0;
    const pid_t result = waitpid(pid, &status, WNOHANG);
    DWORD code = result == pid ? ExitCodeFromStatus(status) : 0;
    if (process->ExitCodeRequested())
        code = process->RequestedExitCode();
    process->FinishLocked(code);
}

bool EndsWithExe(const std::string& path)
{
    return path.size() >= 4 && std::equal(path.end() - 4, path.end(), ".exe", [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

bool IsRegularFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string FoldCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The file itself, the same name without ".exe" (or with it, for a name
// without extension); file names compare
// without regard to ASCII case, as Windows compares them.
std::optional<std::string> ExistingProgram(const std::string& path)
{
    std::vector<std::string> candidates{path};
    if (EndsWithExe(path))
        candidates.push_back(path.substr(0, path.size() - 4));
    else if (std::filesystem::path(path).filename().string().find('.') == std::string::npos)
        candidates.push_back(path + ".exe"); // Windows adds the extension a name lacks
    for (const std::string& candidate : candidates) {
        if (IsRegularFile(candidate))
            return candidate;
    }
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = FoldCase(it->path().filename().string());
        for (const std::string& candidate : candidates) {
            if (name == FoldCase(std::filesystem::path(candidate).filename().string()) &&
                IsRegularFile(it->path().string()))
                return it->path().string();
        }
    }
    return std::nullopt;
}

std::optional<std::string> FindProgram(const std::string& name)
{
    if (name.empty())
        return std::nullopt;
    std::error_code ec;
    const std::filesystem::path programFolder = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
    if (name.find('/') != std::string::npos) {
        if (auto found = ExistingProgram(name))
            return found;
        // The system folder also holds the system's own tools (net,
        // regsvr32): here they lie beside the platform library.
        const std::filesystem::path path(name);
        if (std::filesystem::equivalent(path.parent_path(), SystemFolder(), ec))
            return ExistingProgram((std::filesystem::path(PlatformFolder()) / path.filename()).string());
        return std::nullopt;
    }
    std::vector<std::string> folders;
    folders.push_back(programFolder.string());
    folders.push_back(std::filesystem::current_path(ec).string());
    folders.push_back(SystemFolder());
    if (const char* path = std::getenv("PATH")) {
        std::string list = path;
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(':', start);
            if (end == std::string::npos)
                end = list.size();
            if (end > start)
                folders.push_back(list.substr(start, end - start));
            start = end + 1;
        }
    }
    for (const std::string& folder : folders) {
        if (folder.empty())
            continue;
        if (auto found = ExistingProgram(folder + "/" + name))
            return found;
    }
    return std::nullopt;
}

struct ProgramChoice {
    std::string path;
    std::u16string commandLine;
};

// The program named by the application name or by the start of the command
// line. An unquoted start with blanks is tried at each blank, shortest first.
std::optional<ProgramChoice> ChooseProgram(const WCHAR* applicationName, const WCHAR* commandLine)
{
    if (applicationName && *applicationName) {
        std::optional<std::string> path = FindProgram(LinuxPath(applicationName));
        if (!path)
            return std::nullopt;
        std::u16string line = commandLine ? std::u16string(commandLine) : QuoteCommandLineArgument(applicationName);
        return ProgramChoice{*path, std::move(line)};
    }
    if (!commandLine)
        return std::nullopt;
    std::u16string_view line(commandLine);
    const size_t start = line.find_first_not_of(u" \t");
    if (start == std::u16string_view::npos)
        return std::nullopt;
    if (line[start] == u'"') {
        const size_t close = line.find(u'"', start + 1);
        const std::u16string_view name =
            line.substr(start + 1, close == std::u16string_view::npos ? std::u16string_view::npos : close - start - 1);
        std::optional<std::string> path = FindProgram(LinuxPath(name));
        if (!path)
            return std::nullopt;
        return ProgramChoice{*path, std::u16string(line)};
    }
    size_t end = start;
    for (;;) {
        end = line.find_first_of(u" \t", end);
        const std::u16string_view name =
            line.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start);
        if (std::optional<std::string> path = FindProgram(LinuxPath(name))) {
            std::u16string chosen(line);
            if (end != std::u16string_view::npos && name.find_first_of(u" \t") != std::u16string_view::npos) {
                // Quote the program so that the child splits it as it was found.
                chosen = u"\"" + std::u16string(name) + u"\"" + std::u16string(line.substr(end));
            }
            return ProgramChoice{*path, std::move(chosen)};
        }
        if (end == std::u16string_view::npos)
            return std::nullopt;
        ++end;
    }
}

// An environment block: NAME=value strings, each terminated, then an empty one.
std::vector<std::string> EnvironmentFromBlock(const void* block, bool wide)
{
    std::vector<std::string> variables;
    if (wide) {
        for (auto* p = static_cast<const WCHAR*>(block); *p; p += WideLength(p) + 1)
            variables.push_back(Utf16ToUtf8(p));
    } else {
        for (auto* p = static_cast<const char*>(block); *p; p += std::strlen(p) + 1)
            variables.emplace_back(p);
    }
    return variables;
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
        return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

// A console program started without a console reads and writes nothing of
// the caller's terminal.
void DetachFromConsole(posix_spawn_file_actions_t* actions)
{
    posix_spawn_file_actions_addopen(actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
}

BOOL StartProcess(const WCHAR* applicationName, const WCHAR* commandLine, DWORD creationFlags, DWORD startupFlags,
                  const void* environment, const WCHAR* currentDirectory, PROCESS_INFORMATION* information)
{
    constexpr DWORD kRefused = CREATE_SUSPENDED | DEBUG_PROCESS | DEBUG_ONLY_THIS_PROCESS;
    if (!information || (creationFlags & kRefused)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::optional<ProgramChoice> program = ChooseProgram(applicationName, commandLine);
    if (!program) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    // The child changes folder before it runs the program: a relative path
    // must keep meaning what it means here.
    std::error_code ec;
    if (std::filesystem::path absolute = std::filesystem::absolute(program->path, ec); !ec)
        program->path = absolute.string();
    std::string directory;
    if (currentDirectory && *currentDirectory) {
        directory = LinuxPath(currentDirectory);
        struct stat info;
        if (stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            SetLastError(ERROR_DIRECTORY);
            return FALSE;
        }
    }

    std::vector<std::string> arguments;
    for (const std::u16string& argument : SplitCommandLine(program->commandLine))
        arguments.push_back(Utf16ToUtf8(argument));
    if (arguments.empty())
        arguments.push_back(program->path);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::vector<std::string> variables;
    std::vector<char*> envp;
    char** childEnvironment = environ;
    if (environment) {
        variables = EnvironmentFromBlock(environment, (creationFlags & CREATE_UNICODE_ENVIRONMENT) != 0);
        for (std::string& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        childEnvironment = envp.data();
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    // Sockets and files of this process are not the child's business.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if ((creationFlags & CREATE_NO_WINDOW) && !(startupFlags & STARTF_USESTDHANDLES))
        DetachFromConsole(&actions);
    // A fresh program starts with every signal unblocked and at its default
    // action, whatever this process's threads block or catch (a thread
    // that waits for SIGTERM must not leave its children unable to stop).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program->path.c_str(), &actions, &attributes, argv.data(), childEnvironment);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        SetLastError(ErrorFromErrno(error));
        return FALSE;
    }

    auto process = std::make_shared<ProcessObject>(pid, true);
    {
        Children& children = TheChildren();
        std::lock_guard lock(children.mutex);
        children.byPid[pid] = process;
    }
    try {
        std::thread(Reap, process).detach();
    } catch (const std::system_error&) {
        // Nobody would see this child end: it is not left running.
        kill(pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        Children& children = TheChildren();
        std::lock_guard lock(children.mutex);
        children.byPid.erase(pid);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }

    information->hProcess = InsertHandle(process);
    information->hThread = InsertHandle(process);
    information->dwProcessId = static_cast<DWORD>(pid);
    information->dwThreadId = static_cast<DWORD>(pid);
    return TRUE;
}

std::optional<std::u16string> Wide(const char* text)
{
    if (!text)
        return std::nullopt;
    return Utf8ToUtf16(text);
}

} // namespace

bool IsProcessAlive(pid_t pid)
{
    if (pid <= 0)
        return false;
    if (kill(pid, 0) != 0 && errno != EPERM)
        return false;
    // A zombie has ended; only its parent has not looked yet.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return true;
    const size_t close = text.rfind(')');
    if (close == std::string::npos || close + 2 >= text.size())
        return true;
    const char state = text[close + 2];
    return state != 'Z' && state != 'X';
}

std::shared_ptr<ProcessObject> FindChildProcess(pid_t pid)
{
    Children& children = TheChildren();
    std::lock_guard lock(children.mutex);
    auto it = children.byPid.find(pid);
    return it == children.byPid.end() ? nullptr : it->second.lock();
}

bool ProcessObject::IsSignalled() const
{
    if (m_child || m_ended)
        return m_ended;
    return !IsSelf() && !IsProcessAlive(m_pid);
}

DWORD ProcessObject::ExitCode() const
{
    if (m_child || m_ended)
        return TaskObject::ExitCode();
    if (IsSelf() || IsProcessAlive(m_pid))
        return STILL_ACTIVE;
    return m_exitCodeRequested ? m_requestedExitCode : 0;
}

bool ProcessObject::IsSelf() const { return m_pid == getpid(); }

} // namespace plat

BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                    DWORD dwCreationFlags, LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory,
                    LPSTARTUPINFOW lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation)
{
    return plat::StartProcess(lpApplicationName, lpCommandLine, dwCreationFlags,
                              lpStartupInfo ? lpStartupInfo->dwFlags : 0, lpEnvironment, lpCurrentDirectory,
                              lpProcessInformation);
}

BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                    DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                    LPSTARTUPINFOA lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation)
{
    const auto application = plat::Wide(lpApplicationName);
    const auto commandLine = plat::Wide(lpCommandLine);
    const auto directory = plat::Wide(lpCurrentDirectory);
    return plat::StartProcess(application ? application->c_str() : nullptr,
                              commandLine ? commandLine->c_str() : nullptr, dwCreationFlags,
                              lpStartupInfo ? lpStartupInfo->dwFlags : 0, lpEnvironment,
                              directory ? directory->c_str() : nullptr, lpProcessInformation);
}

HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL, DWORD dwProcessId)
{
    const auto pid = static_cast<pid_t>(dwProcessId);
    if (std::shared_ptr<plat::ProcessObject> child = plat::FindChildProcess(pid))
        return plat::InsertHandle(std::move(child));
    if (dwProcessId == 0 || static_cast<DWORD>(pid) != dwProcessId || pid < 0 || !plat::IsProcessAlive(pid)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Asking to end a process this one may not signal is refused here, not
    // later by a TerminateProcess whose failure the caller may not check.
    if ((dwDesiredAccess & PROCESS_TERMINATE) && kill(pid, 0) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return plat::InsertHandle(std::make_shared<plat::ProcessObject>(pid, false));
}

BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode)
{
    if (hProcess == GetCurrentProcess())
        _exit(static_cast<int>(uExitCode));
    auto process = plat::ReferenceObject<plat::ProcessObject>(hProcess);
    if (!process)
        return FALSE;
    if (process->IsSelf())
        _exit(static_cast<int>(uExitCode));
    // Under the kernel lock a child's id is still its own (see Reap); one
    // that ended by itself keeps its exit code.
    std::lock_guard lock(plat::KernelMutex());
    if (process->IsChild() ? plat::ChildHasEnded(*process) : process->IsSignalled()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (kill(process->Pid(), SIGKILL) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    process->SetRequestedExitCode(uExitCode);
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (hProcess == GetCurrentProcess()) {
        *lpExitCode = STILL_ACTIVE;
        return TRUE;
    }
    auto process = plat::ReferenceObject<plat::ProcessObject>(hProcess);
    if (!process)
        return FALSE;
    std::lock_guard lock(plat::KernelMutex());
    *lpExitCode = process->ExitCode();
    return TRUE;
}

DWORD GetProcessId(HANDLE Process)
{
    if (Process == GetCurrentProcess())
        return GetCurrentProcessId();
    auto process = plat::ReferenceObject<plat::ProcessObject>(Process);
    return process ? static_cast<DWORD>(process->Pid()) : 0;
}
