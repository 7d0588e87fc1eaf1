// The system's folders and the version it reports.
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SysInfo, FoldersLieInTheSystemRoot)
{
    plat::testing::TempSystemRoot root;
    const struct {
        UINT (*call)(LPWSTR, UINT);
        std::string folder;
    } cases[] = {{&GetSystemDirectoryW, root.Path() + "/system"}, {&GetWindowsDirectoryW, root.Path() + "/windows"}};
    for (const auto& c : cases) {
        const std::u16string expected = Utf8ToUtf16(c.folder);
        const UINT needed = static_cast<UINT>(expected.size() + 1);
        WCHAR buffer[MAX_PATH] = {u'?'};
        // Too small: the size needed, nothing written.
        EXPECT_EQ(c.call(buffer, needed - 1), needed);
        EXPECT_EQ(buffer[0], u'?');
        EXPECT_EQ(c.call(nullptr, 0), needed);
        EXPECT_EQ(c.call(buffer, needed), needed - 1);
        EXPECT_EQ(std::u16string(buffer), expected);
    }
    char narrow[MAX_PATH] = {};
    EXPECT_EQ(GetSystemDirectoryA(narrow, MAX_PATH), (root.Path() + "/system").size());
    EXPECT_EQ(std::string(narrow), root.Path() + "/system");
}

TEST(SysInfo, VersionFillsTheRecordItsSizeNames)
{
    OSVERSIONINFOEXW extended{};
    extended.dwOSVersionInfoSize = sizeof extended;
    extended.wReserved = 0xAB;
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&extended)));
    EXPECT_EQ(extended.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(extended.dwMajorVersion, 6u);
    EXPECT_EQ(extended.dwMinorVersion, 1u);
    EXPECT_EQ(extended.dwBuildNumber, 7601u);
    EXPECT_EQ(std::u16string(extended.szCSDVersion), u"Service Pack 1");
    EXPECT_EQ(extended.wServicePackMajor, 1);
    EXPECT_EQ(extended.wReserved, 0);

    // The short record: nothing past its end is touched.
    OSVERSIONINFOEXW shortRecord{};
    shortRecord.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    shortRecord.wServicePackMajor = 7;
    plat::SetReportedWindowsVersion(VER_PLATFORM_WIN32_NT, 5);
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&shortRecord)));
    plat::SetReportedWindowsVersion(VER_PLATFORM_WIN32_NT, 6);
    EXPECT_EQ(shortRecord.dwMajorVersion, 5u);
    EXPECT_EQ(shortRecord.wServicePackMajor, 7);

    OSVERSIONINFOW wrongSize{};
    wrongSize.dwOSVersionInfoSize = sizeof wrongSize + 1;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExW(&wrongSize));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_FALSE(GetVersionExW(nullptr));
}

TEST(SysInfo, NarrowVersionTellsTheSameSystem)
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(version.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(version.dwMajorVersion, 6u);
    EXPECT_EQ(version.dwMinorVersion, 1u);
    EXPECT_EQ(version.dwBuildNumber, 7601u);
    EXPECT_STREQ(version.szCSDVersion, "Service Pack 1");

    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    EXPECT_FALSE(GetVersionExA(&version));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

} // namespace
