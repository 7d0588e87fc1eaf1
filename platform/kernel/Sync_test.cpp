#include "platform/windows.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    {
        plat::CriticalSectionGuard nested(section);
        EXPECT_TRUE(TryEnterCriticalSection(&section));
        LeaveCriticalSection(&section);
    }
    BOOL otherGotIt = TRUE;
    std::thread([&] { otherGotIt = TryEnterCriticalSection(&section); }).join();
    EXPECT_FALSE(otherGotIt);

    LeaveCriticalSection(&section);
    std::thread([&] {
        otherGotIt = TryEnterCriticalSection(&section);
        if (otherGotIt)
            LeaveCriticalSection(&section);
    }).join();
    EXPECT_TRUE(otherGotIt);
    DeleteCriticalSection(&section);
}

TEST(Interlocked, ReturnValuesMatchTheirNamesakes)
{
    LONG value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&value, 3), 9);
    EXPECT_EQ(value, 12);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 7), 12); // no match: unchanged
    EXPECT_EQ(value, 12);
    EXPECT_EQ(InterlockedCompareExchange(&value, 1, 12), 12);
    EXPECT_EQ(value, 1);
    LONG wraps = 0x7FFFFFFF;
    EXPECT_EQ(InterlockedIncrement(&wraps), static_cast<LONG>(0x80000000u));
}

TEST(Interlocked, CountsFromManyThreads)
{
    LONG counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i)
                InterlockedIncrement(&counter);
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(counter, 40000);
}

} // namespace
