#include "platform/resources/TestLibrary.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using plat::testing::TestLibrary;

TEST(LoadString, WideCopiesWhatFits)
{
    TestLibrary library;
    ASSERT_NE(library.Module(), nullptr);
    struct Case {
        UINT id;
        int size;
        int result;
        std::u16string text;
    };
    const Case cases[] = {
        {10000, 100, 8, u"Quorvant"}, {10000, 9, 8, u"Quorvant"}, {10000, 8, 7, u"Quorvan"},
        {10001, 2, 1, u"Q"},          {10000, 1, 0, u""},         {9999, 100, 0, u""}, // no such string
        {2047, 100, 0, u""},                                                           // empty string
    };
    for (const Case& c : cases) {
        WCHAR buffer[100];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        EXPECT_EQ(LoadStringW(library.Module(), c.id, buffer, c.size), c.result) << c.id << "/" << c.size;
        EXPECT_EQ(std::u16string(buffer), c.text) << c.id << "/" << c.size;
    }
}

TEST(LoadString, WideWithoutBufferPointsAtTheString)
{
    TestLibrary library;
    const WCHAR* text = nullptr;
    EXPECT_EQ(LoadStringW(library.Module(), 10001, reinterpret_cast<LPWSTR>(&text), 0), 8);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text, 8), u"Quillbox");
}

TEST(LoadString, NarrowIsUtf8AndNeverCutsACharacter)
{
    TestLibrary library;
    struct Case {
        int size;
        std::string text;
    };
    const std::string full = "Gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82\xAC";
    const Case cases[] = {
        {100, full},
        {4, "Gr"}, // the ü would need bytes 3 and 4
        {5, "Gr\xC3\xBC"},
        {11, full.substr(0, 8)}, // the euro sign needs three bytes
    };
    for (const Case& c : cases) {
        char buffer[100];
        EXPECT_EQ(LoadStringA(library.Module(), 2046, buffer, c.size), static_cast<int>(c.text.size())) << c.size;
        EXPECT_EQ(std::string(buffer), c.text) << c.size;
    }
    char buffer[16] = "#";
    EXPECT_EQ(LoadStringA(library.Module(), 9999, buffer, 16), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST(LoadString, NullModuleIsTheProgram)
{
    WCHAR buffer[32];
    EXPECT_EQ(LoadStringW(nullptr, 1, buffer, 32), 14);
    EXPECT_EQ(std::u16string(buffer), u"Program string");
    TestLibrary library;
    EXPECT_EQ(LoadStringW(library.Module(), 1, buffer, 32), 0) << "the library has no string 1";
}

TEST(FindResource, BinaryResourceFromAFile)
{
    TestLibrary library;
    ASSERT_NE(library.Module(), nullptr);
    const std::string expected("QBK\0\1\2\3firmware-image\xff", 22);

    const HRSRC found[] = {
        FindResourceW(library.Module(), MAKEINTRESOURCEW(101), u"BINARY"),
        FindResourceW(library.Module(), u"#101", u"binary"),
        FindResourceA(library.Module(), MAKEINTRESOURCEA(101), "Binary"),
    };
    for (HRSRC resource : found) {
        ASSERT_NE(resource, nullptr);
        HGLOBAL loaded = LoadResource(library.Module(), resource);
        ASSERT_NE(loaded, nullptr);
        auto* data = static_cast<const char*>(LockResource(loaded));
        ASSERT_EQ(SizeofResource(library.Module(), resource), expected.size());
        EXPECT_EQ(std::string(data, expected.size()), expected);
    }
}

TEST(FindResource, MissingNameAndTypeAreTold)
{
    TestLibrary library;
    struct Case {
        LPCWSTR name;
        LPCWSTR type;
        LONG error;
    };
    const Case cases[] = {
        {MAKEINTRESOURCEW(102), u"BINARY", ERROR_RESOURCE_NAME_NOT_FOUND},
        {u"#1010", u"BINARY", ERROR_RESOURCE_NAME_NOT_FOUND},
        {MAKEINTRESOURCEW(101), RT_RCDATA, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {MAKEINTRESOURCEW(101), u"BINARY2", ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(FindResourceW(library.Module(), c.name, c.type), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.error));
    }
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(101), u"BINARY"), nullptr) << "the program has none";
}

} // namespace
