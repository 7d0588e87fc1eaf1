#include "platform/windows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

class TempPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("TMPDIR"))
            m_old = old;
    }
    void TearDown() override
    {
        if (m_old)
            setenv("TMPDIR", m_old->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> m_old;
};

TEST_F(TempPathTest, FolderComesFromTmpdirWithATrailingSlash)
{
    struct Case {
        const char* tmpdir;
        const char* expected;
    } cases[] = {{nullptr, "/tmp/"}, {"", "/tmp/"}, {"/var/x", "/var/x/"}, {"/var/y/", "/var/y/"}};
    for (const Case& c : cases) {
        if (c.tmpdir)
            setenv("TMPDIR", c.tmpdir, 1);
        else
            unsetenv("TMPDIR");
        char buffer[64] = {};
        DWORD written = GetTempPathA(sizeof(buffer), buffer);
        EXPECT_STREQ(buffer, c.expected);
        EXPECT_EQ(written, std::string(c.expected).size());
        WCHAR wide[64] = {};
        EXPECT_EQ(GetTempPathW(64, wide), written);
        EXPECT_EQ(Utf16ToUtf8(wide), c.expected);
    }
}

TEST_F(TempPathTest, ASmallBufferGetsTheSizeNeededAndIsLeftAlone)
{
    setenv("TMPDIR", "/var/x", 1);  // "/var/x/" is 7 characters
    char buffer[7];
    std::memset(buffer, 'z', sizeof(buffer));
    EXPECT_EQ(GetTempPathA(sizeof(buffer), buffer), 8u);
    EXPECT_EQ(buffer[0], 'z');
    EXPECT_EQ(GetTempPathA(0, nullptr), 8u);
    char exact[8];
    EXPECT_EQ(GetTempPathA(sizeof(exact), exact), 7u);
    EXPECT_STREQ(exact, "/var/x/");
}

} // namespace
