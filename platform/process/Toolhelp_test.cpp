#include "platform/process/testing/Zombie.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

std::map<DWORD, PROCESSENTRY32W> TakeSnapshot()
{
    std::map<DWORD, PROCESSENTRY32W> processes;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0);
    EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        processes[entry.th32ProcessID] = entry;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    CloseHandle(snapshot);
    return processes;
}

// Names another folder as the system root for the scope.
class RootedAt {
public:
    explicit RootedAt(const std::string& folder)
    {
        if (const char* old = std::getenv(plat::kSysRootVariable))
            m_previous = old;
        setenv(plat::kSysRootVariable, folder.c_str(), 1);
    }
    ~RootedAt()
    {
        if (m_previous)
            setenv(plat::kSysRootVariable, m_previous->c_str(), 1);
        else
            unsetenv(plat::kSysRootVariable);
    }
    RootedAt(const RootedAt&) = delete;
    RootedAt& operator=(const RootedAt&) = delete;

private:
    std::optional<std::string> m_previous;
};

// The folder of the test programs, as a root under which this process runs.
std::string ProgramFolder() { return fs::read_symlink("/proc/self/exe").parent_path().string(); }

// A child left waiting, ended with the scope.
struct WaitingChild {
    explicit WaitingChild(const std::string& program)
    {
        STARTUPINFOW startup{};
        std::u16string line = u"\"" + Utf8ToUtf16(program) + u"\" wait";
        started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    }
    ~WaitingChild()
    {
        if (!started)
            return;
        TerminateProcess(info.hProcess, 0);
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    PROCESS_INFORMATION info{};
    BOOL started = FALSE;
};

TEST(Toolhelp, ListsProcessesWithTheirExecutableNames)
{
    RootedAt root(ProgramFolder());
    WaitingChild child(QBK_PROCESS_TEST_CHILD);
    ASSERT_TRUE(child.started);

    const std::map<DWORD, PROCESSENTRY32W> processes = TakeSnapshot();
    const std::u16string ownName = Utf8ToUtf16(fs::read_symlink("/proc/self/exe").filename().string());
    ASSERT_TRUE(processes.count(GetCurrentProcessId()));
    EXPECT_EQ(std::u16string(processes.at(GetCurrentProcessId()).szExeFile), ownName);
    ASSERT_TRUE(processes.count(child.info.dwProcessId));
    const PROCESSENTRY32W& entry = processes.at(child.info.dwProcessId);
    EXPECT_EQ(std::u16string(entry.szExeFile), u"platform_process_test_child");
    EXPECT_EQ(entry.th32ParentProcessID, GetCurrentProcessId());
    EXPECT_GE(entry.cntThreads, 1u);
}

// Two systems on one machine: each lists only the programs under its own
// root, also when they have the same file name.
TEST(Toolhelp, ListsOnlyProgramsUnderTheSystemRoot)
{
    plat::testing::TempSystemRoot rootX;
    const std::string copyX = plat::SystemFolder() + "/RNXQBK24_0000_0.EXE";
    ASSERT_TRUE(CopyFileA(QBK_PROCESS_TEST_CHILD, copyX.c_str(), FALSE));
    WaitingChild childX(copyX);
    ASSERT_TRUE(childX.started);
    // Its program replaced since it started, as a reinstallation does.
    ASSERT_TRUE(CopyFileA(QBK_PROCESS_TEST_CHILD, copyX.c_str(), FALSE));

    std::map<DWORD, PROCESSENTRY32W> processes = TakeSnapshot();
    ASSERT_TRUE(processes.count(childX.info.dwProcessId));
    EXPECT_EQ(std::u16string(processes.at(childX.info.dwProcessId).szExeFile), u"RNXQBK24_0000_0.EXE");
    EXPECT_FALSE(processes.count(GetCurrentProcessId()));

    plat::testing::TempSystemRoot rootY;
    const std::string copyY = plat::SystemFolder() + "/RNXQBK24_0000_0.EXE";
    ASSERT_TRUE(CopyFileA(QBK_PROCESS_TEST_CHILD, copyY.c_str(), FALSE));
    WaitingChild childY(copyY);
    ASSERT_TRUE(childY.started);
    processes = TakeSnapshot();
    EXPECT_FALSE(processes.count(childX.info.dwProcessId));
    EXPECT_TRUE(processes.count(childY.info.dwProcessId));
}

// A process that has ended is not listed, also while its parent has not
// collected it yet.
TEST(Toolhelp, EndedProcessesAreNotListed)
{
    RootedAt root(ProgramFolder());
    pid_t zombie = -1;
    ASSERT_NO_FATAL_FAILURE(plat::testing::MakeZombie(&zombie));
    const std::map<DWORD, PROCESSENTRY32W> processes = TakeSnapshot();
    waitpid(zombie, nullptr, 0);
    EXPECT_TRUE(processes.count(GetCurrentProcessId()));
    EXPECT_FALSE(processes.count(static_cast<DWORD>(zombie)));
}

TEST(Toolhelp, NarrowEntriesAndErrors)
{
    RootedAt root(ProgramFolder());
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry) - 1;
    EXPECT_FALSE(Process32First(snapshot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH));
    entry.dwSize = sizeof(entry);
    ASSERT_TRUE(Process32First(snapshot, &entry));
    EXPECT_NE(entry.szExeFile[0], '\0');
    // A snapshot is no waitable object.
    EXPECT_EQ(WaitForSingleObject(snapshot, 0), WAIT_FAILED);
    CloseHandle(snapshot);
    EXPECT_FALSE(Process32Next(snapshot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

} // namespace
