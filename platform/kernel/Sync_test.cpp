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

    ULONG references = 0;
    EXPECT_EQ(InterlockedDecrement(&references), 0xFFFFFFFFu);
    EXPECT_EQ(InterlockedIncrement(&references), 0u);
    LONGLONG big = 0xFFFFFFFFll;
    EXPECT_EQ(InterlockedIncrement64(&big), 0x100000000ll);
    EXPECT_EQ(InterlockedCompareExchange64(&big, 5, 0x100000000ll), 0x100000000ll);
    EXPECT_EQ(big, 5);
    void* slot = nullptr;
    int target = 0;
    EXPECT_EQ(InterlockedCompareExchangePointer(&slot, &target, nullptr), nullptr);
    EXPECT_EQ(InterlockedExchangePointer(&slot, nullptr), &target);
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

DWORD WaitFromAnotherThread(HANDLE handle)
{
    DWORD result = 0;
    std::thread([&] {
        result = WaitForSingleObject(handle, 0);
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0)
            ReleaseMutex(handle);
    }).join();
    return result;
}

TEST(Mutex, IsOwnedRecursivelyByOneThread)
{
    HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitFromAnotherThread(mutex), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); // again, recursively
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitFromAnotherThread(mutex), WAIT_TIMEOUT); // still held once
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    EXPECT_EQ(WaitFromAnotherThread(mutex), WAIT_OBJECT_0);
    CloseHandle(mutex);
}

TEST(Mutex, ThreadEndingWhileOwningAbandonsIt)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    std::thread([&] { ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); }).join();
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED_0);
    // Taken over: owned by this thread now, and no longer abandoned.
    EXPECT_EQ(WaitFromAnotherThread(mutex), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitFromAnotherThread(mutex), WAIT_OBJECT_0);
    CloseHandle(mutex);
}

TEST(Mutex, NamesAreSharedWithEventsInOneNameSpace)
{
    HANDLE first = CreateMutexW(nullptr, TRUE, u"qbk-test-shared-name");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateMutexA(nullptr, TRUE, "qbk-test-shared-name");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitFromAnotherThread(second), WAIT_TIMEOUT); // the same mutex, owned once by the first create
    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, u"qbk-test-shared-name"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_FALSE(ReleaseMutex(second));
    CloseHandle(first);
    CloseHandle(second);
    // With the mutex gone the name is free for an event.
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, u"qbk-test-shared-name");
    EXPECT_NE(event, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(event);
}

} // namespace
