// A damaged or locked database file gives Windows error codes, never a crash.
#include "platform/windows.h"
#include "platform/registry/RegistryStore.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Every kind of call on the damaged registry answers `expected`.
void ExpectEveryCallFails(LONG expected)
{
    HKEY key = nullptr;
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        expected);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software", 0, KEY_READ, &key), expected);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(HKEY_CURRENT_USER, u"v", nullptr, nullptr, nullptr, &size), expected);
    DWORD one = 1;
    EXPECT_EQ(RegSetValueExW(HKEY_CURRENT_USER, u"v", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4), expected);
    WCHAR name[64];
    DWORD cch = 64;
    EXPECT_EQ(RegEnumKeyExW(HKEY_CLASSES_ROOT, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), expected);
    EXPECT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"Software\\X"), expected);
}

// Fills a registry in another process, so that this one has no connection
// (and no cached pages) of its own yet. Returns the child's exit code.
int FillInChild(int values, bool flush)
{
    pid_t pid = fork();
    if (pid == 0) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Filled", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            _exit(1);
        std::u16string text(200, u'x');
        for (int i = 0; i < values; ++i) {
            std::u16string name = u"v" + Utf8ToUtf16(std::to_string(i));
            if (RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>(text.size() * 2)) != ERROR_SUCCESS)
                _exit(2);
        }
        _exit(!flush || RegFlushKey(key) == ERROR_SUCCESS ? 0 : 3);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST(RegistryDamage, GarbageFileIsABadDatabase)
{
    plat::testing::TempSystemRoot root;
    std::string garbage;
    for (int i = 0; i < 8192; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    WriteFile(plat::RegistryPath(), garbage);
    ExpectEveryCallFails(ERROR_BADDB);
}

TEST(RegistryDamage, ForeignDatabaseIsCorrupt)
{
    plat::testing::TempSystemRoot root;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(plat::RegistryPath().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE keys(x); PRAGMA user_version = 1;", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    ExpectEveryCallFails(ERROR_REGISTRY_CORRUPT);
}

TEST(RegistryDamage, DamagedPagesAreCorrupt)
{
    plat::testing::TempSystemRoot root;
    ASSERT_EQ(FillInChild(100, true), 0);
    std::filesystem::remove(plat::RegistryPath() + "-wal");
    std::filesystem::remove(plat::RegistryPath() + "-shm");
    auto size = std::filesystem::file_size(plat::RegistryPath());
    ASSERT_GT(size, 8192u);
    {
        std::fstream file(plat::RegistryPath(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4096);
        file << std::string(size - 4096, '\xA5');
    }
    ExpectEveryCallFails(ERROR_REGISTRY_CORRUPT);
}

class RegistryLocked : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::registry::SetRegistryBusyTimeout(50);
        ASSERT_EQ(FillInChild(1, false), 0);
        ASSERT_EQ(sqlite3_open(plat::RegistryPath().c_str(), &other), SQLITE_OK);
    }
    void TearDown() override
    {
        sqlite3_close(other);
        plat::registry::ClearRegistryBusyTimeout();
    }

    LONG Query()
    {
        HKEY key = nullptr;
        LONG err = RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Filled", 0, KEY_READ, &key);
        if (err != ERROR_SUCCESS)
            return err;
        BYTE value[400];
        DWORD size = sizeof value;
        err = RegQueryValueExW(key, u"v0", nullptr, nullptr, value, &size);
        RegCloseKey(key);
        return err;
    }
    LONG Write()
    {
        DWORD two = 2;
        HKEY key = nullptr;
        LONG err = RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Filled", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                   &key, nullptr);
        if (err != ERROR_SUCCESS)
            return err;
        err = RegSetValueExW(key, u"v", 0, REG_DWORD, reinterpret_cast<BYTE*>(&two), 4);
        RegCloseKey(key);
        return err;
    }

    plat::testing::TempSystemRoot root;
    sqlite3* other = nullptr;
};

TEST_F(RegistryLocked, WritesWaitOutTheTimeOutThenFailReadsGoOn)
{
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE; DELETE FROM vals;", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(Write(), ERROR_CANTWRITE);
    // Readers see the last committed state while a writer holds the lock.
    EXPECT_EQ(Query(), ERROR_SUCCESS);
    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(Write(), ERROR_SUCCESS);
}

TEST_F(RegistryLocked, ExclusiveHolderBlocksReadsToo)
{
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM vals; COMMIT;", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(Query(), ERROR_CANTREAD);
    EXPECT_EQ(Write(), ERROR_CANTWRITE);
    sqlite3_close(other);
    other = nullptr;
    EXPECT_EQ(Query(), ERROR_FILE_NOT_FOUND); // the other connection's delete is there
    EXPECT_EQ(Write(), ERROR_SUCCESS);
}

} // namespace
