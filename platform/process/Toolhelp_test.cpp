#include "platform/process/testing/Zombie.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

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

TEST(Toolhelp, ListsProcessesWithTheirExecutableNames)
{
    PROCESS_INFORMATION info{};
    STARTUPINFOW startup{};
    std::u16string line = u"\"" + Utf8ToUtf16(QBK_PROCESS_TEST_CHILD) + u"\" wait";
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));

    const std::map<DWORD, PROCESSENTRY32W> processes = TakeSnapshot();
    const std::u16string ownName = Utf8ToUtf16(std::filesystem::read_symlink("/proc/self/exe").filename().string());
    ASSERT_TRUE(processes.count(GetCurrentProcessId()));
    EXPECT_EQ(std::u16string(processes.at(GetCurrentProcessId()).szExeFile), ownName);
    ASSERT_TRUE(processes.count(info.dwProcessId));
    const PROCESSENTRY32W& child = processes.at(info.dwProcessId);
    EXPECT_EQ(std::u16string(child.szExeFile), u"platform_process_test_child");
    EXPECT_EQ(child.th32ParentProcessID, GetCurrentProcessId());
    EXPECT_GE(child.cntThreads, 1u);

    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

// A process that has ended is not listed, also while its parent has not
// collected it yet.
TEST(Toolhelp, EndedProcessesAreNotListed)
{
    pid_t zombie = -1;
    ASSERT_NO_FATAL_FAILURE(plat::testing::MakeZombie(&zombie));
    const std::map<DWORD, PROCESSENTRY32W> processes = TakeSnapshot();
    waitpid(zombie, nullptr, 0);
    EXPECT_TRUE(processes.count(GetCurrentProcessId()));
    EXPECT_FALSE(processes.count(static_cast<DWORD>(zombie)));
}

TEST(Toolhelp, NarrowEntriesAndErrors)
{
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
