// The current folder, new folders, and the narrow listing and deletion the
// profile files are handled with.
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

class DirectoryTest : public ::testing::Test {
protected:
    void SetUp() override { m_before = fs::current_path(); }
    void TearDown() override { fs::current_path(m_before); }

    plat::testing::TempSystemRoot m_root;
    fs::path m_before;
};

// A Windows-style path is made folder by folder, entered, and the current
// folder reads back; relative names then resolve in it.
TEST_F(DirectoryTest, FoldersAreMadeEnteredAndReadBack)
{
    const std::string base = m_root.Path() + "\\Quorvant\\";
    const std::string folder = base + "QBK24_TWAIN\\";
    EXPECT_FALSE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(SetCurrentDirectoryA(folder.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(CreateDirectoryA(base.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Utf8ToUtf16(folder).c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    const std::string made = m_root.Path() + "/Quorvant/QBK24_TWAIN";
    struct stat info {};
    ASSERT_EQ(stat(made.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    const std::string current = fs::canonical(made).string();
    char narrow[MAX_PATH] = {};
    EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, narrow), DWORD(current.size()));
    EXPECT_EQ(narrow, current);
    WCHAR wide[4] = {};
    EXPECT_EQ(GetCurrentDirectoryW(4, wide), DWORD(current.size() + 1)) << "too small";

    std::ofstream("Office.bin") << "x";
    EXPECT_TRUE(fs::exists(made + "/Office.bin"));

    std::ofstream("note.txt") << "x";
    EXPECT_FALSE(SetCurrentDirectoryA((folder + "note.txt").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
}

TEST_F(DirectoryTest, NarrowListingAndDeletion)
{
    const std::string folder = m_root.Path() + "/profiles";
    fs::create_directories(folder);
    for (const char* name : {"Week.bin", "Office.Week.bin", "notes.txt"})
        std::ofstream(folder + "/" + name) << name;

    std::vector<std::string> names;
    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA((folder + "\\*.bin").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do
        names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
    EXPECT_EQ(names, (std::vector<std::string>{"Office.Week.bin", "Week.bin"}));

    EXPECT_TRUE(DeleteFileA((folder + "\\Week.bin").c_str()));
    EXPECT_FALSE(fs::exists(folder + "/Week.bin"));
    EXPECT_FALSE(DeleteFileA((folder + "\\Week.bin").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

} // namespace
