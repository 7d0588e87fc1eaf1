#include "twainfw/DebugLog.h"

#include "platform/base/sysroot.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace Trellis {
namespace {

// A fresh system root, for win.ini and for the user's temporary folder.
class DebugLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_tmp = plat::UserTempFolder();
        std::filesystem::create_directories(m_tmp);
        CloseDebugLog();
    }
    void TearDown() override { CloseDebugLog(); }

    std::string Profile(const char* key)
    {
        char buf[512] = {};
        GetProfileStringA("Quorvant", key, "", buf, sizeof buf);
        return buf;
    }

    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    plat::testing::TempSystemRoot root;
    std::string m_tmp;
};

TEST_F(DebugLogTest, OnWhenDebugIsSetAndStartsAFreshFile)
{
    WriteProfileStringA("Quorvant", "DEBUG", "1");
    std::string expected = m_tmp + "/QBK24.log";
    std::ofstream(expected) << "old run\n";

    InitDebugLog("QBK24.log", "Quorvant", "DSLogFileName");

    EXPECT_TRUE(DebugLogOn());
    EXPECT_FALSE(DebugTimingOn());
    EXPECT_EQ(Profile("DSLogFileName"), expected);
    EXPECT_EQ(DebugLogPath(), expected);
    EXPECT_FALSE(std::filesystem::exists(expected)) << "the old log is deleted";

    DebugPrint("DS: %s %d\n", "Opened", 3);
    AppendDebugLog("second\n");
    DebugPrint("DWORD %lu, 64-bit %I64d\n", DWORD{7}, LONGLONG{-8}); // the Windows meaning of the format
    EXPECT_EQ(ReadFile(expected), "DS: Opened 3\nsecond\nDWORD 7, 64-bit -8\n");
    EXPECT_EQ(std::filesystem::status(expected).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(DebugLogTest, OffWithoutSwitchesTouchesNothing)
{
    WriteProfileStringA("Quorvant", "DEBUG", "0");
    InitDebugLog("QBK24.log", "Quorvant", "DSLogFileName");
    DebugPrint("nothing\n");

    EXPECT_FALSE(DebugLogOn());
    EXPECT_EQ(Profile("DSLogFileName"), "");
    EXPECT_TRUE(std::filesystem::is_empty(m_tmp));
}

TEST_F(DebugLogTest, TimingSwitchAloneTurnsTheLogOn)
{
    WriteProfileStringA("quorvant", "debugtiming", "2");
    InitDebugLog("QBK24.log", "Quorvant", "DSLogFileName");
    EXPECT_TRUE(DebugTimingOn());
    AppendDebugLog("t\n");
    EXPECT_EQ(ReadFile(m_tmp + "/QBK24.log"), "t\n");
}

TEST_F(DebugLogTest, LongLinesAndLongPathsStayInsideTheirBuffers)
{
    WriteProfileStringA("Quorvant", "DEBUG", "1");
    // A file name that makes the path longer than the 292-byte path buffer
    // leaves the log off rather than overrunning it.
    InitDebugLog(std::string(300, 'n').c_str(), "Quorvant", "DSLogFileName");
    EXPECT_FALSE(DebugLogOn());
    EXPECT_EQ(Profile("DSLogFileName"), "");

    InitDebugLog("QBK24.log", "Quorvant", "DSLogFileName");
    ASSERT_TRUE(DebugLogOn());
    std::string longName(1000, 'f');
    EXPECT_EQ(DebugPrint("DS: file \"%s\"\n", longName.c_str()), 1);
    DebugPrint("next\n");
    std::string log = ReadFile(DebugLogPath());
    size_t firstEnd = log.find('\n');
    EXPECT_EQ(firstEnd, 290u) << "cut to the 292-byte line buffer, newline kept";
    EXPECT_EQ(log.substr(firstEnd + 1), "next\n");
}

TEST(DebugLogTimestamp, HasDateTimeAndThreeDigitMilliseconds)
{
    std::string t = GetTimestampWithMs();
    ASSERT_EQ(t.size(), 23u) << t;
    for (size_t i : {4u, 7u})
        EXPECT_EQ(t[i], '-');
    EXPECT_EQ(t[10], ' ');
    for (size_t i : {13u, 16u, 19u})
        EXPECT_EQ(t[i], ':');
}

} // namespace
} // namespace Trellis
