// Deleting files and reading their attributes.
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

TEST(FileApi, DeleteFileAndAttributes)
{
    plat::testing::TempSystemRoot root;
    const std::u16string file = Utf8ToUtf16(root.Path() + "\\file.bin");
    const std::u16string folder = Utf8ToUtf16(root.Path());
    std::ofstream(root.Path() + "/file.bin") << "x";

    EXPECT_EQ(GetFileAttributesW(file.c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), DWORD(FILE_ATTRIBUTE_DIRECTORY));

    SetLastError(0);
    EXPECT_FALSE(DeleteFileW(folder.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(DeleteFileW(file.c_str()));
    EXPECT_FALSE(std::filesystem::exists(root.Path() + "/file.bin"));

    EXPECT_FALSE(DeleteFileW(file.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

} // namespace
