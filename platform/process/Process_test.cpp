#include "platform/process/testing/Zombie.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <pthread.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::u16string kChild = Utf8ToUtf16(QBK_PROCESS_TEST_CHILD);

struct Started {
    PROCESS_INFORMATION info{};
    bool ok = false;
    DWORD error = 0;
    ~Started()
    {
        if (ok) {
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
};

void Start(Started& started, const std::u16string* application, std::u16string commandLine,
           const WCHAR* directory = nullptr)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    started.ok = CreateProcessW(application ? application->c_str() : nullptr, commandLine.data(), nullptr, nullptr,
                                FALSE, CREATE_NO_WINDOW, nullptr, directory, &startup, &started.info) != FALSE;
    started.error = started.ok ? 0 : GetLastError();
}

DWORD ExitCodeOf(HANDLE process)
{
    DWORD code = 0xDEAD;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    return code;
}

TEST(Process, ChildExitCodeReachesBothHandles)
{
    for (DWORD expected : {0u, 3u, 255u}) {
        SCOPED_TRACE(expected);
        Started child;
        Start(child, &kChild, u"child exit " + Utf8ToUtf16(std::to_string(expected)));
        ASSERT_TRUE(child.ok) << child.error;
        EXPECT_EQ(WaitForSingleObject(child.info.hProcess, INFINITE), WAIT_OBJECT_0);
        EXPECT_EQ(ExitCodeOf(child.info.hProcess), expected);
        EXPECT_EQ(WaitForSingleObject(child.info.hThread, 0), WAIT_OBJECT_0);
        DWORD threadCode = 0;
        EXPECT_TRUE(GetExitCodeThread(child.info.hThread, &threadCode));
        EXPECT_EQ(threadCode, expected);
    }
}

TEST(Process, RunningChildIsAliveUntilTerminatedThenItsIdIsDead)
{
    Started child;
    Start(child, &kChild, u"child wait");
    ASSERT_TRUE(child.ok) << child.error;
    EXPECT_EQ(ExitCodeOf(child.info.hProcess), STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(child.info.hProcess, 0), WAIT_TIMEOUT);

    HANDLE opened = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, child.info.dwProcessId);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(GetProcessId(opened), child.info.dwProcessId);
    CloseHandle(opened);

    ASSERT_TRUE(TerminateProcess(child.info.hProcess, 77));
    EXPECT_EQ(WaitForSingleObject(child.info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(child.info.hProcess), 77u);
    EXPECT_FALSE(TerminateProcess(child.info.hProcess, 1));

    SetLastError(0);
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, child.info.dwProcessId), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// A child that ended by itself keeps its own exit code, also while its end
// has not been collected yet: ending it again is refused.
TEST(Process, EndedChildCannotBeTerminated)
{
    Started child;
    Start(child, &kChild, u"child exit 5");
    ASSERT_TRUE(child.ok) << child.error;
    // Ended (and maybe collected already, then the id is no child any more).
    siginfo_t info{};
    const int waited = waitid(P_PID, static_cast<id_t>(child.info.dwProcessId), &info, WEXITED | WNOWAIT);
    ASSERT_TRUE(waited == 0 || errno == ECHILD);
    SetLastError(0);
    EXPECT_FALSE(TerminateProcess(child.info.hProcess, 77));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(WaitForSingleObject(child.info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(child.info.hProcess), 5u);
}

// A process this one did not start is watched by looking again; a wait on
// it ends when it does.
TEST(Process, WaitForAProcessOpenedById)
{
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        pause();
        _exit(0);
    }
    HANDLE opened = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(other));
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_TIMEOUT);
    std::thread killer([&] {
        kill(other, SIGKILL);
        waitpid(other, nullptr, 0);
    });
    EXPECT_EQ(WaitForSingleObject(opened, INFINITE), WAIT_OBJECT_0);
    killer.join();
    EXPECT_EQ(ExitCodeOf(opened), 0u); // not ours: the code cannot be known
    CloseHandle(opened);
}

TEST(Process, LivenessTest)
{
    // A zombie has ended even though its id still answers kill(pid, 0).
    pid_t zombie = -1;
    ASSERT_NO_FATAL_FAILURE(plat::testing::MakeZombie(&zombie));
    EXPECT_EQ(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(zombie)), nullptr);
    waitpid(zombie, nullptr, 0);

    struct Case {
        DWORD pid;
        bool alive;
    };
    const Case cases[] = {
        {static_cast<DWORD>(zombie), false}, // reaped now
        {0, false},
        {0x7FFFFFF0u, false}, // beyond any pid
        {0xFFFFFFFFu, false},
        {GetCurrentProcessId(), true},
        {1, true}, // another user's process counts as alive (EPERM)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pid);
        SetLastError(0);
        HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, c.pid);
        EXPECT_EQ(h != nullptr, c.alive);
        if (h) {
            EXPECT_EQ(ExitCodeOf(h), STILL_ACTIVE);
            CloseHandle(h);
        } else {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        }
    }

    // Ending is another matter: only a process this one may signal opens
    // for it (pid 1 is someone else's unless the tests run as root).
    const bool maySignalInit = kill(1, 0) == 0;
    HANDLE init = OpenProcess(PROCESS_TERMINATE, FALSE, 1);
    EXPECT_EQ(init != nullptr, maySignalInit);
    if (init)
        CloseHandle(init);
    else
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

std::vector<std::string> ReadLines(const fs::path& file)
{
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(Process, CommandLineArgumentsAndFolderReachTheChild)
{
    plat::testing::TempSystemRoot root;
    const fs::path folder = fs::path(root.Path()) / "work dir";
    fs::create_directories(folder);
    const fs::path report = fs::path(root.Path()) / "report.txt";
    // The program is quoted, the folder is written with Windows separators.
    std::u16string line =
        u"\"" + kChild + u"\" report " + Utf8ToUtf16(report.string()) + u" \"a b\" c\\\"d \"e\\\\\" \"\"";
    std::u16string directory = Utf8ToUtf16(folder.string());
    for (auto& c : directory) {
        if (c == u'/')
            c = u'\\';
    }
    Started child;
    Start(child, nullptr, line, directory.c_str());
    ASSERT_TRUE(child.ok) << child.error;
    WaitForSingleObject(child.info.hProcess, INFINITE);
    ASSERT_EQ(ExitCodeOf(child.info.hProcess), 0u);

    const std::vector<std::string> lines = ReadLines(report);
    // clang-format off
    const std::vector<std::string> expected = {
        "argc=7", "arg=" + std::string(QBK_PROCESS_TEST_CHILD), "arg=report", "arg=" + report.string(),
        "arg=a b", "arg=c\"d", "arg=e\\", "arg=",
        "cwd=" + folder.string(),
    };
    // clang-format on
    ASSERT_GE(lines.size(), expected.size() + 1);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]);
    // The child's own command line splits into the same arguments.
    ASSERT_EQ(lines[expected.size()].rfind("cmdline=", 0), 0u);
    EXPECT_EQ(plat::SplitCommandLine(Utf8ToUtf16(lines[expected.size()].substr(8))), plat::SplitCommandLine(line));
}

TEST(Process, ChildStartsWithDefaultSignals)
{
    plat::testing::TempSystemRoot root;
    const fs::path report = fs::path(root.Path()) / "signals.txt";
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &term, &previous);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction old {};
    sigaction(SIGTERM, &ignore, &old);

    Started child;
    Start(child, &kChild, u"child signals " + Utf8ToUtf16(report.string()));
    sigaction(SIGTERM, &old, nullptr);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ASSERT_TRUE(child.ok) << child.error;
    WaitForSingleObject(child.info.hProcess, INFINITE);
    EXPECT_EQ(ReadLines(report), std::vector<std::string>{"blocked=0 ignored=0"});
}

TEST(Process, ProgramsAreFoundAsWindowsNamesThem)
{
    plat::testing::TempSystemRoot root;
    ASSERT_TRUE(CopyFileA(QBK_PROCESS_TEST_CHILD, (plat::SystemFolder() + "/qbkchild").c_str(), TRUE));
    const fs::path spaced = fs::path(root.Path()) / "dir with blank";
    fs::create_directories(spaced);
    ASSERT_TRUE(CopyFileA(QBK_PROCESS_TEST_CHILD, (spaced / "child.exe").c_str(), TRUE));

    struct Case {
        const char* name;
        std::u16string line;
        DWORD exitCode;
    };
    const Case cases[] = {
        {"bare name in the system folder, .exe dropped", u"QBKCHILD.EXE exit 5", 5},
        {"unquoted path with blanks", Utf8ToUtf16((spaced / "child.exe").string()) + u" exit 6", 6},
        {"system tool beside the programs",
         Utf8ToUtf16(plat::SystemFolder()) + u"\\" + Utf8ToUtf16(fs::path(QBK_PROCESS_TEST_CHILD).filename().string()) +
             u".exe exit 8",
         8},
        {"Windows separators",
         [&] {
             std::u16string p = Utf8ToUtf16((spaced / "child").string()) + u" exit 7";
             for (auto& c : p)
                 if (c == u'/')
                     c = u'\\';
             return p;
         }(),
         7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Started child;
        Start(child, nullptr, c.line);
        ASSERT_TRUE(child.ok) << child.error;
        WaitForSingleObject(child.info.hProcess, INFINITE);
        EXPECT_EQ(ExitCodeOf(child.info.hProcess), c.exitCode);
    }
}

// A relative program path names a file from this process's folder, also
// when the child is to start in another one.
TEST(Process, RelativeProgramPathIsFoundFromTheCallersFolder)
{
    plat::testing::TempSystemRoot root;
    const fs::path base = fs::path(root.Path());
    fs::create_directories(base / "bin");
    fs::create_directories(base / "work");
    ASSERT_TRUE(CopyFileA(QBK_PROCESS_TEST_CHILD, (base / "bin" / "child").c_str(), TRUE));
    const fs::path previous = fs::current_path();
    fs::current_path(base);
    const std::u16string work = Utf8ToUtf16((base / "work").string());
    Started child;
    Start(child, nullptr, u"bin\\child exit 9", work.c_str());
    fs::current_path(previous);
    ASSERT_TRUE(child.ok) << child.error;
    WaitForSingleObject(child.info.hProcess, INFINITE);
    EXPECT_EQ(ExitCodeOf(child.info.hProcess), 9u);
}

// What the child writes on its standard output and error while this
// process's two go to a file.
std::string ChildOutput(DWORD creationFlags, DWORD startupFlags)
{
    plat::testing::TempSystemRoot root;
    const std::string captured = root.Path() + "/output.txt";
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = dup(STDOUT_FILENO);
    const int savedErr = dup(STDERR_FILENO);
    const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, STDOUT_FILENO);
    dup2(file, STDERR_FILENO);
    close(file);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = startupFlags;
    PROCESS_INFORMATION info{};
    std::u16string line = u"\"" + kChild + u"\" print hello";
    const BOOL started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, creationFlags, nullptr, nullptr, &startup, &info);
    if (started) {
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }

    dup2(savedOut, STDOUT_FILENO);
    dup2(savedErr, STDERR_FILENO);
    close(savedOut);
    close(savedErr);
    EXPECT_TRUE(started);
    std::ifstream in(captured);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A console program started without a console (as the installer starts
// net and regsvr32) prints nothing into the caller's output.
TEST(Process, ChildWithoutAConsolePrintsNothingIntoTheCallersOutput)
{
    EXPECT_EQ(ChildOutput(0, 0), "hello\nhello\n");
    EXPECT_EQ(ChildOutput(CREATE_NO_WINDOW, 0), "");
    EXPECT_EQ(ChildOutput(CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE, 0), "");
    EXPECT_EQ(ChildOutput(CREATE_NO_WINDOW, STARTF_USESTDHANDLES), "hello\nhello\n");
}

TEST(Process, StartFailures)
{
    plat::testing::TempSystemRoot root;
    const fs::path notProgram = fs::path(root.Path()) / "data.txt";
    std::ofstream(notProgram) << "not a program";
    fs::permissions(notProgram, fs::perms::owner_all);
    struct Case {
        const char* name;
        std::u16string line;
        const WCHAR* directory;
        DWORD error;
    };
    const Case cases[] = {
        {"no such program", u"no-such-program-anywhere.exe x", nullptr, ERROR_FILE_NOT_FOUND},
        {"no such folder", u"\"" + kChild + u"\" exit 0", u"/no/such/folder", ERROR_DIRECTORY},
        {"not a program", Utf8ToUtf16(notProgram.string()), nullptr, ERROR_BAD_EXE_FORMAT},
        {"empty", u"   ", nullptr, ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Started child;
        Start(child, nullptr, c.line, c.directory);
        EXPECT_FALSE(child.ok);
        EXPECT_EQ(child.error, c.error);
    }
}

} // namespace
