// Folder listings by pattern.
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class FindFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_folder + "/Folder.EXE");
        for (const char* name : {"RNXQBK24_0000_0.EXE", "rnxqbk24_0001_1.exe", "Other.EXE", "RNXQBK24x.BIN"})
            std::ofstream(m_folder + "/" + name) << name;
    }

    // The names listed for a pattern in the folder; the error when none.
    std::vector<std::string> List(const std::string& pattern, DWORD* error = nullptr)
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAW data{};
        const std::u16string path = Utf8ToUtf16(m_folder) + u"\\" + Utf8ToUtf16(pattern);
        HANDLE find = FindFirstFileW(path.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) {
            if (error)
                *error = GetLastError();
            return names;
        }
        do
            names.push_back(Utf16ToUtf8(data.cFileName));
        while (FindNextFileW(find, &data));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(find));
        return names;
    }

    plat::testing::TempSystemRoot m_root;
    const std::string m_folder = m_root.Path() + "/system/RNX";
};

TEST_F(FindFileTest, PatternsMatchWithoutRegardToCaseInNameOrder)
{
    using Names = std::vector<std::string>;
    const std::pair<std::string, Names> cases[] = {
        {"*.EXE", {"Folder.EXE", "Other.EXE", "RNXQBK24_0000_0.EXE", "rnxqbk24_0001_1.exe"}},
        {"RNXQBK24*.EXE", {"RNXQBK24_0000_0.EXE", "rnxqbk24_0001_1.exe"}},
        {"rnxqbk24_000?_?.exe", {"RNXQBK24_0000_0.EXE", "rnxqbk24_0001_1.exe"}},
        {"RNXQBK24x.BIN", {"RNXQBK24x.BIN"}},
        // Upper-cased, 'X' comes before '_'.
        {"*", {"Folder.EXE", "Other.EXE", "RNXQBK24x.BIN", "RNXQBK24_0000_0.EXE", "rnxqbk24_0001_1.exe"}},
    };
    for (const auto& [pattern, names] : cases)
        EXPECT_EQ(List(pattern), names) << pattern;
}

TEST_F(FindFileTest, EntriesCarryAttributesAndSize)
{
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(Utf8ToUtf16(m_folder + "/Other.EXE").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(data.nFileSizeLow, 9u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    // After 2020 in Windows file time: 100 ns ticks since 1601.
    EXPECT_GT((ULONGLONG{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime,
              132223104000000000ull);
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindNextFileW(find, &data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    find = FindFirstFileW(Utf8ToUtf16(m_folder + "/Folder.EXE").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, DWORD(FILE_ATTRIBUTE_DIRECTORY));
    FindClose(find);
}

TEST_F(FindFileTest, NoMatchAndNoFolderAreTold)
{
    DWORD error = 0;
    EXPECT_TRUE(List("*.DLL", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(List("missing\\*.EXE", &error).empty());
    EXPECT_EQ(error, DWORD(ERROR_PATH_NOT_FOUND));
}

} // namespace
