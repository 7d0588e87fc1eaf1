#include "platform/resources/TestLibrary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using plat::testing::TestLibrary;

// GetFileVersionInfoSize and GetFileVersionInfo, as the drivers call them.
std::vector<BYTE> ReadVersionBlock(const std::string& path)
{
    std::u16string wide = Utf8ToUtf16(path);
    DWORD handle = 1;
    DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    if (size == 0)
        return {};
    std::vector<BYTE> block(size);
    EXPECT_TRUE(GetFileVersionInfoW(wide.c_str(), handle, size, block.data()));
    return block;
}

std::u16string QueryString(const std::vector<BYTE>& block, const std::u16string& path)
{
    LPVOID value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length))
        return u"<absent>";
    EXPECT_GT(length, 0u);
    return std::u16string(static_cast<const WCHAR*>(value), length - 1);
}

TEST(VersionInfo, FixedInformationAndTranslations)
{
    TestLibrary library;
    std::vector<BYTE> block = ReadVersionBlock(TestLibrary::Path());
    ASSERT_FALSE(block.empty());

    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00050000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x000C0003u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileType, VFT_DLL);

    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 8u);
    auto* pairs = static_cast<const WORD*>(value);
    EXPECT_EQ(pairs[0], 0x0409);
    EXPECT_EQ(pairs[1], 1200);
    EXPECT_EQ(pairs[2], 0x0407);
    EXPECT_EQ(pairs[3], 1252);
}

TEST(VersionInfo, StringsByTranslation)
{
    TestLibrary library;
    std::vector<BYTE> block = ReadVersionBlock(TestLibrary::Path());
    ASSERT_FALSE(block.empty());
    struct Case {
        std::u16string path;
        std::u16string value;
    };
    const Case cases[] = {
        {u"\\StringFileInfo\\040904B0\\ProductName", u"Quillbox K24"},
        {u"\\StringFileInfo\\040904b0\\productname", u"Quillbox K24"},
        {u"\\StringFileInfo\\040904B0\\FileDescription", u"Test resources"},
        {u"\\StringFileInfo\\040904B0\\FileVersion", u"5.0.12.3"},
        {u"\\StringFileInfo\\040904B0\\ProductVersion", u"5.0"},
        {u"\\StringFileInfo\\040904B0\\CompanyName", u"Quorvant"},
        {u"\\StringFileInfo\\040904B0\\LegalCopyright", u"Copyright (C) Quorvant"},
        {u"\\StringFileInfo\\040704e4\\ProductName", u"Quillbox K24 (de)"},
        {u"\\StringFileInfo\\040704e4\\FileVersion", u"<absent>"}, // only in the English table
        {u"\\StringFileInfo\\040904E4\\ProductName", u"<absent>"}, // no such translation
        {u"\\StringFileInfo\\0409\\ProductName", u"<absent>"},
        {u"\\StringFileInfo\\040904B0", u"<absent>"},
        {u"\\VarFileInfo", u"<absent>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QueryString(block, c.path), c.value) << Utf16ToUtf8(c.path);
}

TEST(VersionInfo, NarrowFormsGiveUtf8)
{
    TestLibrary library;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(TestLibrary::Path().c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(TestLibrary::Path().c_str(), 0, size, block.data()));

    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductName", &value, &length));
    EXPECT_EQ(length, 13u);
    EXPECT_EQ(std::string(static_cast<const char*>(value)), "Quillbox K24");
}

TEST(VersionInfo, LibraryThatIsNotLoadedIsReadAndLeftUnloaded)
{
    ASSERT_EQ(GetModuleHandleA(TestLibrary::FileName().c_str()), nullptr);
    std::vector<BYTE> block = ReadVersionBlock(TestLibrary::Path());
    EXPECT_EQ(QueryString(block, u"\\StringFileInfo\\040904B0\\ProductName"), u"Quillbox K24");
    EXPECT_EQ(GetModuleHandleA(TestLibrary::FileName().c_str()), nullptr);
}

TEST(VersionInfo, FilesWithoutVersionInformation)
{
    std::string junk = std::filesystem::temp_directory_path() / ("qbk24-noversion-" + std::to_string(getpid()));
    std::ofstream(junk) << "plain text";
    std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
    struct Case {
        std::string path;
        LONG error;
    };
    const Case cases[] = {
        {"/nonexistent/file.so", ERROR_FILE_NOT_FOUND},
        {junk, ERROR_RESOURCE_DATA_NOT_FOUND},
        {program, ERROR_RESOURCE_TYPE_NOT_FOUND}, // the test program carries strings only
    };
    for (const Case& c : cases) {
        SetLastError(0);
        DWORD handle = 7;
        EXPECT_EQ(GetFileVersionInfoSizeA(c.path.c_str(), &handle), 0u) << c.path;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.error)) << c.path;
        BYTE buffer[64];
        EXPECT_FALSE(GetFileVersionInfoA(c.path.c_str(), 0, sizeof buffer, buffer)) << c.path;
    }
    std::filesystem::remove(junk);
}

TEST(VersionInfo, RefusesShortBuffersAndForeignBlocks)
{
    TestLibrary library;
    DWORD size = GetFileVersionInfoSizeA(TestLibrary::Path().c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size, 0xAB);
    SetLastError(0);
    EXPECT_FALSE(GetFileVersionInfoA(TestLibrary::Path().c_str(), 0, size - 1, block.data()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    // A block that is not ours (or was never filled) answers nothing.
    LPVOID value = &block;
    UINT length = 99;
    EXPECT_FALSE(VerQueryValueW(block.data(), u"\\", &value, &length));
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(length, 0u);
}

} // namespace
