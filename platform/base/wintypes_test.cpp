#include "platform/windows.h"

#include <gtest/gtest.h>

#include <thread>

static_assert(sizeof(LONG) == 4 && sizeof(ULONG) == 4 && sizeof(DWORD) == 4);
static_assert(sizeof(BOOL) == 4 && sizeof(HRESULT) == 4);
static_assert(sizeof(WCHAR) == 2 && sizeof(VARIANT_BOOL) == 2);
static_assert(sizeof(WPARAM) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*));

TEST(WinTypes, HresultMacros)
{
    EXPECT_TRUE(SUCCEEDED(S_OK));
    EXPECT_TRUE(SUCCEEDED(S_FALSE));
    EXPECT_TRUE(FAILED(E_FAIL));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), static_cast<HRESULT>(0x80070002u));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SUCCESS), S_OK);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_OUTOFMEMORY), E_OUTOFMEMORY);
    EXPECT_EQ(HRESULT_CODE(E_ACCESSDENIED), ERROR_ACCESS_DENIED);
}

TEST(WinTypes, LastErrorIsPerThread)
{
    SetLastError(ERROR_MORE_DATA);
    DWORD seenByOther = 1;
    std::thread([&] { seenByOther = GetLastError(); }).join();
    EXPECT_EQ(seenByOther, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
}
