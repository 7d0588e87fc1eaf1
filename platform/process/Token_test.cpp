#include "platform/windows.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

TEST(Token, EnablingAPrivilegeSaysWhetherItWasHeld)
{
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, u"SeDebugPrivilege", &privileges.Privileges[0].Luid));
    EXPECT_EQ(privileges.Privileges[0].Luid.LowPart, 20u);
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(privileges), nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(geteuid() == 0 ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED));
    CloseHandle(token);

    LUID luid{};
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
    EXPECT_FALSE(AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(privileges), nullptr, nullptr));
}

} // namespace
