// Two processes on one registry: each sees what the other wrote, and
// concurrent writers lose nothing.
#include "platform/windows.h"
#include "platform/registry/RegistryStore.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

// Writers wait for each other's short transactions; a generous time-out
// keeps a loaded machine from turning a wait into a failure.
class LongBusyTimeout {
public:
    LongBusyTimeout() { plat::registry::SetRegistryBusyTimeout(60000); }
    ~LongBusyTimeout() { plat::registry::ClearRegistryBusyTimeout(); }
};

// Runs `child` in a forked process and returns its exit code (the child
// leaves with _exit so nothing of the test framework runs twice).
int RunInChild(const std::function<int()>& child)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(child());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

LONG SetDword(HKEY key, const std::string& name, DWORD value)
{
    return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG GetDword(HKEY key, const std::string& name, DWORD* value)
{
    DWORD size = sizeof *value, type = 0;
    LONG err = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    return err == ERROR_SUCCESS && type != REG_DWORD ? ERROR_INVALID_DATA : err;
}

TEST(RegistryProcesses, EachSeesTheOthersWrites)
{
    plat::testing::TempSystemRoot root;
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Shared", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    HKEY doomed = nullptr;
    ASSERT_EQ(RegCreateKeyExA(key, "Doomed", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &doomed, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, "FromParent", 7), ERROR_SUCCESS);

    int code = RunInChild([] {
        HKEY k = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Shared", 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS)
            return 10;
        DWORD seen = 0;
        if (GetDword(k, "FromParent", &seen) != ERROR_SUCCESS || seen != 7)
            return 11;
        if (SetDword(k, "FromChild", 9) != ERROR_SUCCESS)
            return 12;
        if (RegDeleteKeyA(k, "Doomed") != ERROR_SUCCESS)
            return 13;
        RegCloseKey(k);
        return 0;
    });
    ASSERT_EQ(code, 0);

    DWORD seen = 0;
    EXPECT_EQ(GetDword(key, "FromChild", &seen), ERROR_SUCCESS);
    EXPECT_EQ(seen, 9u);
    EXPECT_EQ(SetDword(doomed, "x", 1), ERROR_KEY_DELETED);
    RegCloseKey(doomed);
    RegCloseKey(key);
}

TEST(RegistryProcesses, ConcurrentWritersLoseNothing)
{
    plat::testing::TempSystemRoot root;
    LongBusyTimeout patient;
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Busy", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    constexpr DWORD kEach = 150;
    int go[2];
    ASSERT_EQ(pipe(go), 0);

    // Both processes start writing when the pipe closes, one key and one
    // value per step, into the same key.
    auto writer = [&](const std::string& prefix) {
        char byte;
        while (read(go[0], &byte, 1) > 0) {
        }
        for (DWORD i = 0; i < kEach; ++i) {
            HKEY sub = nullptr;
            std::string name = prefix + std::to_string(i);
            if (RegCreateKeyExA(key, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) !=
                ERROR_SUCCESS)
                return 1;
            RegCloseKey(sub);
            if (SetDword(key, name, i) != ERROR_SUCCESS)
                return 2;
        }
        return 0;
    };
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(go[1]);
        _exit(writer("child"));
    }
    close(go[1]);
    int parentResult = writer("parent");
    close(go[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(parentResult, 0);

    DWORD subKeys = 0, values = 0;
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 2 * kEach);
    EXPECT_EQ(values, 2 * kEach);
    DWORD seen = 0;
    EXPECT_EQ(GetDword(key, "child149", &seen), ERROR_SUCCESS);
    EXPECT_EQ(seen, 149u);
    RegCloseKey(key);
}

TEST(RegistryProcesses, ThreadsOfOneProcessShareTheRegistry)
{
    plat::testing::TempSystemRoot root;
    LongBusyTimeout patient;
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Threads", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    constexpr int kThreads = 4;
    constexpr DWORD kEach = 50;
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (DWORD i = 0; i < kEach; ++i) {
                HKEY sub = nullptr;
                std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
                if (RegCreateKeyExA(key, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) !=
                        ERROR_SUCCESS ||
                    SetDword(sub, "i", i) != ERROR_SUCCESS || RegCloseKey(sub) != ERROR_SUCCESS)
                    ++failures[static_cast<size_t>(t)];
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
    DWORD subKeys = 0;
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, kThreads * kEach);
    RegCloseKey(key);
}

TEST(RegistryProcesses, ForkWhileAnotherThreadIsInACallLeavesTheChildAWorkingRegistry)
{
    plat::testing::TempSystemRoot root;
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Forked", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, "v", 5), ERROR_SUCCESS);
    RegCloseKey(key);

    // One thread sits inside a registry transaction until released.
    std::promise<void> inside;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::thread caller([&] {
        plat::registry::RunTransaction(plat::registry::Access::Read, [&](plat::registry::Transaction&) -> LONG {
            inside.set_value();
            released.wait();
            return ERROR_SUCCESS;
        });
    });
    inside.get_future().wait();

    // Another thread forks meanwhile; the child reads the registry at once.
    pid_t child = -1;
    std::thread forker([&] {
        child = fork();
        if (child == 0) {
            alarm(30); // a child stuck on a lock ends instead of hanging the run
            HKEY k = nullptr;
            DWORD seen = 0;
            bool ok = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Forked", 0, KEY_READ, &k) == ERROR_SUCCESS &&
                      GetDword(k, "v", &seen) == ERROR_SUCCESS && seen == 5;
            _exit(ok ? 0 : 1);
        }
    });
    // Lets the fork begin while the call is still open (the fork waits for it).
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    release.set_value();
    forker.join();
    caller.join();

    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child did not finish (signal " << WTERMSIG(status) << ")";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
