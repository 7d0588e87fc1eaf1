#include "platform/base/sysroot.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace {

// Sets an environment variable for one test and puts back what it was.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedVariable()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(TempPathTest, TheFolderIsTheUsersOwnInTheRootWhateverTmpdirSays)
{
    plat::testing::TempSystemRoot root;
    const std::string expected = plat::UserProfileFolder() + "/AppData/Local/Temp/";
    ASSERT_EQ(expected.rfind(root.Path() + "/users/", 0), 0u) << expected;
    for (const char* tmpdir : {static_cast<const char*>(nullptr), "/tmp", "/var/x"}) {
        SCOPED_TRACE(tmpdir ? tmpdir : "(unset)");
        const ScopedVariable variable("TMPDIR", tmpdir);
        char buffer[MAX_PATH] = {};
        const DWORD written = GetTempPathA(sizeof(buffer), buffer);
        EXPECT_EQ(buffer, expected);
        EXPECT_EQ(written, expected.size());
        WCHAR wide[MAX_PATH] = {};
        EXPECT_EQ(GetTempPathW(MAX_PATH, wide), written);
        EXPECT_EQ(Utf16ToUtf8(wide), expected);
    }
    // Made with the root, and nobody else's to enter.
    struct stat info {};
    ASSERT_EQ(stat(expected.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(TempPathTest, ASmallBufferGetsTheSizeNeededAndIsLeftAlone)
{
    plat::testing::TempSystemRoot root;
    const std::string expected = plat::UserTempFolder() + "/";
    const auto length = static_cast<DWORD>(expected.size());
    std::string buffer(length, 'z');
    EXPECT_EQ(GetTempPathA(length, buffer.data()), length + 1);
    EXPECT_EQ(buffer, std::string(length, 'z'));
    EXPECT_EQ(GetTempPathA(0, nullptr), length + 1);
    std::string exact(length + 1, 'z');
    EXPECT_EQ(GetTempPathA(length + 1, exact.data()), length);
    EXPECT_STREQ(exact.c_str(), expected.c_str());
}

} // namespace
