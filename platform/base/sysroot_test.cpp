// The system root: where it is, that it is private to its user, and that
// nobody else's folder is ever used as one.
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"
#include "platform/eventlog/eventlog.h"
#include "platform/profile/profile.h"
#include "platform/registry/winreg.h"
#include "platform/testing/OtherUser.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Sets the three variables that name the root for one test, and puts them
// back afterwards.
class RootVariables {
public:
    RootVariables(const char* sysroot, const char* xdg, const char* home)
    {
        Set("QBK_SYSROOT", sysroot);
        Set("XDG_DATA_HOME", xdg);
        Set("HOME", home);
    }
    ~RootVariables()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    void Set(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }

    std::map<std::string, std::optional<std::string>> m_saved;
};

unsigned ModeOf(const fs::path& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0xFFFFu;
}

TEST(SystemRootTest, NamedByTheFirstOfItsVariablesThatIsSet)
{
    struct Case {
        const char* sysroot;
        const char* xdg;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/srv/roots/a", "/data", "/home/u", "/srv/roots/a"},
        {nullptr, "/data", "/home/u", "/data/qbk24"},
        {nullptr, nullptr, "/home/u", "/home/u/.local/share/qbk24"},
        {"", "", "/home/u", "/home/u/.local/share/qbk24"},
        // The XDG rules ignore relative paths.
        {nullptr, "data", "/home/u", "/home/u/.local/share/qbk24"},
    };
    for (const Case& c : cases) {
        RootVariables variables(c.sysroot, c.xdg, c.home);
        EXPECT_EQ(plat::SystemRoot(), c.expected) << c.expected;
    }
}

TEST(SystemRootTest, WithoutAnyOfItsVariablesThereIsNoRootAndNothingIsMade)
{
    RootVariables variables(nullptr, nullptr, nullptr);
    EXPECT_FALSE(plat::EnsureSystemRootLayout());
    EXPECT_NE(plat::SystemRootProblem().find("QBK_SYSROOT"), std::string::npos) << plat::SystemRootProblem();

    // Nothing falls back to a folder that someone else could have made:
    // every use of the root fails.
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Probe", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_FALSE(plat::CreatePrivateFolder(plat::RuntimeFolder()));
    EXPECT_FALSE(fs::exists(plat::SystemRoot()));
}

TEST(SystemRootTest, TheRootAndEverythingInItArePrivateToTheUser)
{
    plat::testing::TempSystemRoot root;
    // A root left open by hand is closed again.
    ASSERT_EQ(chmod(root.Path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(plat::LogFolder().c_str(), 0775), 0);
    ASSERT_TRUE(plat::EnsureSystemRootLayout());
    EXPECT_EQ(plat::SystemRootProblem(), "");

    // Something in each of the root's stores: registry, event log, profile.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Probe", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD value = 7;
    RegSetValueExW(key, u"Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    HANDLE log = RegisterEventSourceW(nullptr, u"Probe");
    ASSERT_NE(log, nullptr);
    const WCHAR* text = u"written";
    ASSERT_TRUE(ReportEventW(log, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1, 0, &text, nullptr));
    DeregisterEventSource(log);
    ASSERT_TRUE(WriteProfileStringA("Probe", "Key", "Value"));

    size_t files = 0;
    EXPECT_EQ(ModeOf(root.Path()), 0700u);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root.Path())) {
        const unsigned mode = ModeOf(entry.path());
        if (entry.is_directory()) {
            EXPECT_EQ(mode, 0700u) << entry.path();
        } else if (entry.is_regular_file()) {
            EXPECT_EQ(mode, 0600u) << entry.path();
            ++files;
        }
    }
    EXPECT_GE(files, 3u); // the registry, the event log, the profile
}

TEST(SystemRootTest, ARootOwnedByAnotherUserIsRefused)
{
    if (!plat::testing::CanSwitchUser())
        GTEST_SKIP() << "giving a folder to another user needs root";
    plat::testing::TempSystemRoot temp;
    const std::string foreign = temp.Path() + "/theirs";
    ASSERT_EQ(mkdir(foreign.c_str(), 0755), 0);
    ASSERT_EQ(chown(foreign.c_str(), plat::testing::kOtherUser, plat::testing::kOtherGroup), 0);
    RootVariables variables(foreign.c_str(), nullptr, nullptr);

    EXPECT_FALSE(plat::EnsureSystemRootLayout());
    EXPECT_NE(plat::SystemRootProblem().find("belongs to another user"), std::string::npos)
        << plat::SystemRootProblem();
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Probe", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_TRUE(fs::is_empty(foreign)) << "nothing is made in a root that is not ours";
}

// A folder named as the root is taken (and closed) or refused by who may
// write to it and what it holds. A shared folder such as /tmp (1777, other
// users' files in it) must never be closed: that would lock them out of
// their own files, and what it holds is not ours to trust.
TEST(SystemRootTest, ASharedFolderIsRefusedWithItsReason)
{
    plat::testing::TempSystemRoot temp;
    const char* const kNotEmpty = " is shared (other users may write to it) and not empty; refusing";
    const char* const kForSharing = " is a folder for sharing (other users may write to it; the sticky bit); refusing";
    struct Case {
        const char* what;
        mode_t mode;
        bool holdsAFile;
        const char* refusal; // null: taken
    };
    const Case cases[] = {
        {"shared with the sticky bit, as /tmp", 01777, true, kForSharing},
        {"made for sharing, empty for now", 01777, false, kForSharing},
        {"writable by everybody", 0777, true, kNotEmpty},
        {"writable by its group", 0770, true, kNotEmpty},
        {"writable by everybody, empty", 0777, false, nullptr},
        {"ours, private, from an earlier run", 0700, true, nullptr},
        {"ours, readable by others", 0755, true, nullptr},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = temp.Path() + "/case" + std::to_string(++number);
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        const std::string file = folder + "/theirs.txt";
        if (c.holdsAFile) {
            ASSERT_TRUE(std::ofstream(file) << "someone's notes\n");
            // Another user's file where this test may give one away; the
            // rule does not depend on whose it is.
            if (plat::testing::CanSwitchUser()) {
                ASSERT_EQ(chown(file.c_str(), plat::testing::kOtherUser, plat::testing::kOtherGroup), 0);
            }
        }
        ASSERT_EQ(chmod(folder.c_str(), c.mode), 0);
        RootVariables variables(folder.c_str(), nullptr, nullptr);

        EXPECT_EQ(plat::EnsureSystemRootLayout(), c.refusal == nullptr) << plat::SystemRootProblem();
        if (!c.refusal) {
            EXPECT_EQ(plat::SystemRootProblem(), "");
            EXPECT_EQ(ModeOf(folder), 0700u);
            EXPECT_TRUE(fs::is_directory(plat::RuntimeFolder()));
        } else {
            const std::string problem = plat::SystemRootProblem();
            EXPECT_NE(problem.find(folder + c.refusal), std::string::npos) << problem;
            EXPECT_EQ(ModeOf(folder), c.mode) << "the folder is left as it was";
            EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), c.holdsAFile ? 1 : 0)
                << "nothing is made in it";
        }
        EXPECT_EQ(fs::is_regular_file(file), c.holdsAFile);
    }
}

TEST(SystemRootTest, AnotherUserCannotReadTheRoot)
{
    // A root that the platform makes itself, as a user's default root is.
    plat::testing::TempSystemRoot temp;
    ASSERT_EQ(chmod(temp.Path().c_str(), 0755), 0);
    const std::string rootPath = temp.Path() + "/qbk24";
    RootVariables variables(rootPath.c_str(), nullptr, nullptr);
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Secret", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
    const std::string registry = plat::RegistryPath();
    const std::string run = plat::RuntimeFolder();

    std::string output;
    if (!plat::testing::RunAsOtherUser(
            [&](int out) {
                plat::testing::TryOpen(out, "root", rootPath.c_str(), O_RDONLY | O_DIRECTORY);
                plat::testing::TryOpen(out, "run", run.c_str(), O_RDONLY | O_DIRECTORY);
                plat::testing::TryOpen(out, "registry", registry.c_str(), O_RDONLY);
            },
            output))
        GTEST_SKIP() << "cannot switch to another user here";
    EXPECT_EQ(output, "root:13\nrun:13\nregistry:13\n"); // EACCES each time
}

} // namespace
