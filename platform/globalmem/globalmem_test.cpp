#include "platform/windows.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

bool AllZero(const void* p, SIZE_T n)
{
    const BYTE* b = static_cast<const BYTE*>(p);
    for (SIZE_T i = 0; i < n; ++i)
        if (b[i])
            return false;
    return true;
}

TEST(GlobalMem, MoveableBlockCountsLocksAndRemembersItsSize)
{
    HGLOBAL h = GlobalAlloc(GHND, 20);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 20u);

    void* p1 = GlobalLock(h);
    void* p2 = GlobalLock(h);
    ASSERT_NE(p1, nullptr);
    EXPECT_EQ(p1, p2);
    EXPECT_NE(p1, h) << "a moveable handle is not its memory";
    EXPECT_TRUE(AllZero(p1, 20));
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 2u);
    EXPECT_EQ(GlobalHandle(p1), h);

    EXPECT_TRUE(GlobalUnlock(h));
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), 158u); // not locked

    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMem, FixedBlockIsItsOwnPointer)
{
    HGLOBAL h = GlobalAlloc(GPTR, 8);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), h);
    EXPECT_TRUE(AllZero(h, 8));
    EXPECT_EQ(GlobalHandle(h), h);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMem, ReAllocKeepsContentsAndZeroesGrowth)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(h), "abcd", 4);
    GlobalUnlock(h);

    HGLOBAL grown = GlobalReAlloc(h, 4096, GMEM_ZEROINIT);
    ASSERT_EQ(grown, h) << "a moveable block keeps its handle";
    EXPECT_EQ(GlobalSize(h), 4096u);
    BYTE* p = static_cast<BYTE*>(GlobalLock(h));
    EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
    EXPECT_TRUE(AllZero(p + 4, 4092));
    GlobalUnlock(h);

    ASSERT_EQ(GlobalReAlloc(h, 2, 0), h);
    EXPECT_EQ(GlobalSize(h), 2u);
    GlobalFree(h);
}

TEST(GlobalMem, FixedBlockMovesOnlyWhenAllowed)
{
    HGLOBAL h = GlobalAlloc(GMEM_FIXED, 4);
    std::memcpy(h, "wxyz", 4);
    EXPECT_EQ(GlobalReAlloc(h, 64, 0), nullptr);
    EXPECT_EQ(GlobalSize(h), 4u) << "a refused resize leaves the block";

    HGLOBAL moved = GlobalReAlloc(h, 64, GMEM_MOVEABLE);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(std::memcmp(moved, "wxyz", 4), 0);
    EXPECT_EQ(GlobalSize(moved), 64u);
    if (moved != h) {
        EXPECT_EQ(GlobalSize(h), 0u) << "the old address is no block any more";
    }
    GlobalFree(moved);
}

// Memory a caller holds (a fixed block, a locked moveable one) stays where
// it is: shrinking keeps it, growing fails unless GMEM_MOVEABLE allows a move.
TEST(GlobalMem, HeldMemoryStaysInPlace)
{
    HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, 64);
    std::memcpy(fixed, "wxyz", 4);
    EXPECT_EQ(GlobalReAlloc(fixed, 8, 0), fixed);
    EXPECT_EQ(GlobalSize(fixed), 8u);
    EXPECT_EQ(std::memcmp(fixed, "wxyz", 4), 0);
    GlobalFree(fixed);

    HGLOBAL h = GlobalAlloc(GHND, 64);
    BYTE* p = static_cast<BYTE*>(GlobalLock(h));
    std::memcpy(p, "abcd", 4);
    EXPECT_EQ(GlobalReAlloc(h, 8, 0), h);
    EXPECT_EQ(GlobalSize(h), 8u);
    EXPECT_EQ(GlobalReAlloc(h, 128, 0), nullptr);
    EXPECT_EQ(GlobalSize(h), 8u);
    EXPECT_EQ(std::memcmp(p, "abcd", 4), 0) << "the locked pointer is still the block";
    EXPECT_EQ(GlobalLock(h), p);
    GlobalUnlock(h);

    ASSERT_EQ(GlobalReAlloc(h, 128, GMEM_MOVEABLE | GMEM_ZEROINIT), h);
    BYTE* moved = static_cast<BYTE*>(GlobalLock(h));
    EXPECT_EQ(std::memcmp(moved, "abcd", 4), 0);
    EXPECT_TRUE(AllZero(moved + 8, 120));
    GlobalUnlock(h);
    GlobalUnlock(h);
    GlobalFree(h);
}

TEST(GlobalMem, DeadAndForeignHandlesAreRefused)
{
    HGLOBAL h = GlobalAlloc(GHND, 16);
    ASSERT_EQ(GlobalFree(h), nullptr);

    int local = 0;
    for (HGLOBAL bad : {h, static_cast<HGLOBAL>(&local)}) {
        SetLastError(0);
        EXPECT_EQ(GlobalSize(bad), 0u);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(GlobalLock(bad), nullptr);
        EXPECT_EQ(GlobalReAlloc(bad, 32, GMEM_MOVEABLE), nullptr);
        EXPECT_EQ(GlobalFlags(bad), GMEM_INVALID_HANDLE);
        EXPECT_EQ(GlobalFree(bad), bad);
    }
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
    EXPECT_EQ(GlobalHandle(&local), nullptr);
}

TEST(GlobalMem, ModifyChangesFlagsOnly)
{
    HGLOBAL h = GlobalAlloc(GHND, 10);
    EXPECT_EQ(GlobalReAlloc(h, 0, GMEM_MODIFY | GMEM_DDESHARE), h);
    EXPECT_EQ(GlobalSize(h), 10u);
    EXPECT_EQ(GlobalFlags(h), GMEM_DDESHARE);
    GlobalFree(h);
}

} // namespace
