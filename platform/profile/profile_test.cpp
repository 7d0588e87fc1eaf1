#include "platform/windows.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void WriteFile(const std::string& text) { std::ofstream(plat::ProfilePath()) << text; }

    std::string Get(LPCSTR app, LPCSTR key, LPCSTR def = "", DWORD size = 256)
    {
        std::string buf(size, '#');
        DWORD n = GetProfileStringA(app, key, def, buf.data(), size);
        return buf.substr(0, n);
    }

    plat::testing::TempSystemRoot root;
};

TEST_F(ProfileTest, ReadsIntegersWithoutRegardToCase)
{
    WriteFile("; a comment\n[Quorvant]\nDEBUG=1\n  debugtiming = 25 \nbad=x7\nneg=-3\nquoted=\"42\"\n");
    struct Case {
        LPCSTR section;
        LPCSTR key;
        INT def;
        UINT want;
    };
    const Case cases[] = {
        {"Quorvant", "DEBUG", 0, 1},   {"QUORVANT", "Debug", 0, 1}, {"quorvant", "DEBUGTIMING", 0, 25},
        {"Quorvant", "bad", 9, 0},     {"Quorvant", "neg", 9, 0},   {"Quorvant", "quoted", 0, 42},
        {"Quorvant", "missing", 7, 7}, {"Other", "DEBUG", 5, 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetProfileIntA(c.section, c.key, c.def), c.want) << c.section << "/" << c.key;
}

TEST_F(ProfileTest, NoFileGivesDefaults)
{
    EXPECT_EQ(GetProfileIntA("Quorvant", "DEBUG", 0), 0u);
    EXPECT_EQ(Get("Quorvant", "DSLogFileName", "none"), "none");
    EXPECT_EQ(Get("Quorvant", "DSLogFileName", nullptr), "");
}

TEST_F(ProfileTest, WritesKeepOtherSectionsAndReplaceByAnyCase)
{
    WriteFile("[A]\nx=1\n[Quorvant]\nDEBUG=1\n");
    ASSERT_TRUE(WriteProfileStringA("quorvant", "DSLogFileName", "/tmp/QBK24.log"));
    ASSERT_TRUE(WriteProfileStringA("Quorvant", "dslogfilename", "/var/tmp/QBK24.log"));
    ASSERT_TRUE(WriteProfileStringA("New", "k", "v"));

    EXPECT_EQ(Get("Quorvant", "DSLogFileName"), "/var/tmp/QBK24.log");
    EXPECT_EQ(GetProfileIntA("Quorvant", "DEBUG", 0), 1u);
    EXPECT_EQ(Get("A", "x"), "1");
    EXPECT_EQ(Get("new", "K"), "v");
    EXPECT_EQ(Get("Quorvant", nullptr), std::string("DEBUG\0DSLogFileName\0", 20));
    EXPECT_EQ(Get(nullptr, nullptr), std::string("A\0Quorvant\0New\0", 15));
}

TEST_F(ProfileTest, WritesKeepComments)
{
    WriteFile("; people's notes\n[Quorvant]\n; DEBUG=1 to turn the log on\nDEBUG=0\n");
    ASSERT_TRUE(WriteProfileStringA("Quorvant", "DEBUG", "1"));
    std::ifstream in(plat::ProfilePath());
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "; people's notes\n\n[Quorvant]\n; DEBUG=1 to turn the log on\nDEBUG=1\n\n");
    EXPECT_EQ(Get("Quorvant", nullptr), std::string("DEBUG\0", 6));
}

TEST_F(ProfileTest, DeletesKeysAndSections)
{
    WriteFile("[A]\nx=1\ny=2\n[B]\nz=3\n");
    ASSERT_TRUE(WriteProfileStringA("a", "X", nullptr));
    ASSERT_TRUE(WriteProfileStringA("B", nullptr, nullptr));
    EXPECT_EQ(Get("A", "x", "gone"), "gone");
    EXPECT_EQ(Get("A", "y"), "2");
    EXPECT_EQ(Get("B", "z", "gone"), "gone");
    EXPECT_FALSE(WriteProfileStringA(nullptr, "k", "v"));
}

TEST_F(ProfileTest, CutsToTheCallersBuffer)
{
    WriteFile("[S]\nlong=abcdefghij\nk1=v\nk2=v\n");
    EXPECT_EQ(Get("S", "long", "", 5), "abcd");
    EXPECT_EQ(Get("S", nullptr, "", 6), std::string("long\0", 4)) << "a cut list answers nSize - 2";
    char one = '#';
    EXPECT_EQ(GetProfileStringA("S", "long", "", &one, 1), 0u);
    EXPECT_EQ(one, '\0');
}

} // namespace
