#include "halservice/MessageWait.h"

#include "platform/base/winerror.h"
#include "platform/kernel/kernel.h"

#include <gtest/gtest.h>

namespace {

int g_dispatched = 0;

LRESULT CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 1) {
        ++g_dispatched;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(MessageWaitTest, QueuedMessagesAreDispatchedAndTheWaitGoesOn)
{
    // Registered once per process, however often the test runs.
    static const ATOM atom = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = CountingProc;
        windowClass.lpszClassName = u"HalMessageWaitTest";
        return RegisterClassW(&windowClass);
    }();
    ASSERT_NE(atom, 0);
    HWND window =
        CreateWindowExW(0, u"HalMessageWaitTest", u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    HANDLE events[2] = {CreateEventW(nullptr, TRUE, FALSE, nullptr), CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    // Messages that were queued before the wait are dispatched, all of
    // them, and the wait then ends on its own terms.
    g_dispatched = 0;
    PostMessageW(window, WM_USER + 1, 0, 0);
    PostMessageW(window, WM_USER + 1, 0, 0);
    EXPECT_EQ(WaitWithMessages(events[0], 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(g_dispatched, 2);

    SetEvent(events[1]);
    EXPECT_EQ(WaitMultipleWithMessages(2, events, 0), WAIT_OBJECT_0 + 1);
    SetEvent(events[0]);
    EXPECT_EQ(WaitWithMessages(events[0], INFINITE), WAIT_OBJECT_0);

    CloseHandle(events[0]);
    CloseHandle(events[1]);
    DestroyWindow(window);
}

} // namespace
