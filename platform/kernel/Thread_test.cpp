#include "platform/kernel/TestClock.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct Shared {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD> seenId{0};
    std::atomic<bool> ran{false};
    std::atomic<bool> destructorRan{false};
    ~Shared()
    {
        CloseHandle(go);
        CloseHandle(done);
    }
};

DWORD WaitForGoThenReturn42(LPVOID p)
{
    auto* shared = static_cast<Shared*>(p);
    shared->seenId = GetCurrentThreadId();
    shared->ran = true;
    WaitForSingleObject(shared->go, INFINITE);
    return 42;
}

TEST(Thread, HandleSignalsAtTheEndWithTheExitCode)
{
    Shared shared;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitForGoThenReturn42, &shared, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(GetThreadId(thread), id);

    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);

    SetEvent(shared.go);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(shared.seenId.load(), id);
    EXPECT_NE(id, GetCurrentThreadId());
    CloseHandle(thread);
}

TEST(Thread, SuspendedThreadStartsOnlyWhenResumed)
{
    Shared shared;
    SetEvent(shared.go);
    HANDLE thread = CreateThread(nullptr, 0, WaitForGoThenReturn42, &shared, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    EXPECT_FALSE(shared.ran);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(shared.ran);
    EXPECT_EQ(ResumeThread(thread), 0u);
    CloseHandle(thread);
}

TEST(Thread, ExitThreadUnwindsAndSetsTheCode)
{
    Shared shared;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* s = static_cast<Shared*>(p);
            struct Flag {
                Shared* s;
                ~Flag() { s->destructorRan = true; }
            } flag{s};
            ExitThread(7);
        },
        &shared, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(shared.destructorRan);
    CloseHandle(thread);
}

TEST(Thread, TerminateAbandonsAThreadThatWillNotStop)
{
    Shared shared;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* s = static_cast<Shared*>(p);
            WaitForSingleObject(s->go, INFINITE);
            SetEvent(s->done);
            return 1;
        },
        &shared, 0, nullptr);
    const DWORD abandonedCode = static_cast<DWORD>(-123);
    ASSERT_TRUE(TerminateThread(thread, abandonedCode));
    // Waiters go on at once, with the code the thread was abandoned with.
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, abandonedCode);

    // The thread itself runs on; its own return does not change the code.
    SetEvent(shared.go);
    WaitForSingleObject(shared.done, INFINITE);
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, abandonedCode);
    CloseHandle(thread);
}

TEST(Thread, BeginThreadExIsAThreadHandle)
{
    unsigned id = 0;
    uintptr_t handle = _beginthreadex(
        nullptr, 0, [](void*) -> unsigned { return 5; }, nullptr, 0, &id);
    ASSERT_NE(handle, 0u);
    HANDLE thread = reinterpret_cast<HANDLE>(handle);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 5u);
    EXPECT_EQ(GetThreadId(thread), id);
    CloseHandle(thread);
}

TEST(Thread, CurrentThreadPseudoHandle)
{
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(GetCurrentThread(), &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    HANDLE real = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &real, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_EQ(GetThreadId(real), GetCurrentThreadId());
    EXPECT_EQ(WaitForSingleObject(real, 0), WAIT_TIMEOUT);
    CloseHandle(real);
    EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
}

} // namespace
