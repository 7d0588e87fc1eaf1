#include "platform/shell/shlobj.h"

#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/sysroot.h"
#include "platform/base/winerror.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

TEST(ShellFoldersTest, EachFolderLiesUnderTheRootAndIsMadeWhenAsked)
{
    plat::testing::TempSystemRoot root;
    const std::string user = plat::UserProfileFolder();
    ASSERT_EQ(user.rfind(root.Path() + "/users/", 0), 0u) << user;

    struct Case {
        int csidl;
        std::string path;
    };
    const Case cases[] = {
        {CSIDL_APPDATA, user + "/AppData/Roaming"}, {CSIDL_LOCAL_APPDATA, user + "/AppData/Local"},
        {CSIDL_PERSONAL, user + "/Documents"},      {CSIDL_SYSTEM, root.Path() + "/system"},
        {CSIDL_WINDOWS, root.Path() + "/windows"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        char narrow[MAX_PATH] = "x";
        if (!fs::exists(c.path)) {
            // Missing and not to be made: nothing answered.
            EXPECT_EQ(SHGetFolderPathA(nullptr, c.csidl, nullptr, SHGFP_TYPE_CURRENT, narrow),
                      HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
            EXPECT_STREQ(narrow, "");
            EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, narrow, c.csidl, FALSE));
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        }
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, narrow, c.csidl | CSIDL_FLAG_CREATE, TRUE));
        EXPECT_EQ(narrow, c.path);
        EXPECT_TRUE(fs::is_directory(c.path));
        struct stat info {};
        ASSERT_EQ(stat(c.path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u) << "the user's folders are private";

        WCHAR wide[MAX_PATH] = {};
        EXPECT_EQ(SHGetFolderPathW(nullptr, c.csidl, nullptr, SHGFP_TYPE_CURRENT, wide), S_OK);
        EXPECT_EQ(Utf16ToUtf8(wide), c.path);
    }
}

TEST(ShellFoldersTest, UnknownFoldersLongPathsAndNullBuffersFail)
{
    plat::testing::TempSystemRoot root;
    char path[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathA(nullptr, 0x0007 /* the start-up folder */, nullptr, 0, path), E_INVALIDARG);
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, nullptr), E_INVALIDARG);

    // A root so deep that the folder cannot fit a MAX_PATH buffer.
    const std::string deep = root.Path() + "/" + std::string(200, 'd') + "/" + std::string(60, 'e');
    ASSERT_TRUE(plat::CreatePrivateFolder(deep));
    setenv(plat::kSysRootVariable, deep.c_str(), 1);
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path),
              HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    setenv(plat::kSysRootVariable, root.Path().c_str(), 1);
}

} // namespace
