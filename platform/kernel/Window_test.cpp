#include "platform/windows.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

std::vector<UINT> g_lifecycle;
LPVOID g_createParams = nullptr;

LRESULT LifecycleProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE:
    case WM_CREATE: {
        g_lifecycle.push_back(message);
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        g_createParams = create->lpCreateParams;
        if (message == WM_CREATE) {
            // The usual place to tie the window to its object.
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            if (create->lpCreateParams == nullptr)
                return -1; // refuse
        }
        break;
    }
    case WM_DESTROY:
    case WM_NCDESTROY:
        g_lifecycle.push_back(message);
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof(cls);
        cls.lpfnWndProc = LifecycleProc;
        cls.cbWndExtra = 16;
        cls.lpszClassName = u"QbkLifecycleWindow";
        m_atom = RegisterClassExW(&cls);
        ASSERT_NE(m_atom, 0);
        g_lifecycle.clear();
    }
    void TearDown() override { UnregisterClassW(u"QbkLifecycleWindow", nullptr); }

    ATOM m_atom = 0;
    int m_object = 0;
};

TEST_F(WindowTest, CreateAndDestroySendTheLifecycleMessages)
{
    // Looked up without regard to case.
    HWND hwnd =
        CreateWindowExW(0, u"qbklifecyclewindow", u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, &m_object);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(g_createParams, &m_object);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&m_object));
    DWORD pid = 0;
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, &pid), GetCurrentThreadId());
    EXPECT_EQ(pid, GetCurrentProcessId());

    ASSERT_TRUE(PostMessageW(hwnd, WM_USER, 0, 0));
    // WM_CLOSE through the default procedure destroys the window.
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(g_lifecycle, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)); // its posted message went with it
    EXPECT_FALSE(PostMessageW(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(DestroyWindow(hwnd));
}

TEST_F(WindowTest, RefusedCreationGivesNoWindow)
{
    HWND hwnd = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(m_atom)), nullptr, 0, 0, 0, 0, 0,
                                HWND_MESSAGE, nullptr, nullptr, nullptr);
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_EQ(g_lifecycle.front(), WM_NCCREATE);
    EXPECT_EQ(g_lifecycle.back(), WM_NCDESTROY);
}

TEST_F(WindowTest, ClassesAreUniqueAndMustExist)
{
    WNDCLASSW again{};
    again.lpfnWndProc = LifecycleProc;
    again.lpszClassName = u"QBKLIFECYCLEWINDOW";
    EXPECT_EQ(RegisterClassW(&again), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(WindowTest, LongValuesAndExtraBytes)
{
    HWND hwnd = CreateWindowExA(0, "QbkLifecycleWindow", "", WS_CHILD, 0, 0, 0, 0, nullptr, reinterpret_cast<HMENU>(0),
                                nullptr, &m_object);
    ASSERT_NE(hwnd, nullptr);
    struct Case {
        int index;
        LONG_PTR value;
        bool valid;
    };
    const Case cases[] = {
        {0, 0x1122334455667788, true}, {8, -5, true},       {9, 1, false},    {16, 1, false},
        {GWL_STYLE, 0x12, true},       {GWLP_ID, 77, true}, {-100, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        SetLastError(0);
        SetWindowLongPtrW(hwnd, c.index, c.value);
        if (!c.valid) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
            continue;
        }
        EXPECT_EQ(GetWindowLongPtrW(hwnd, c.index), c.value);
    }
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_ID), 77);
    // 32-bit access sees the halves of the 64-bit value at offset 8.
    EXPECT_EQ(GetWindowLongW(hwnd, 8), -5);
    EXPECT_EQ(SetWindowLongW(hwnd, 12, 0x7FFF0000), -1);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, 8), static_cast<LONG_PTR>(0x7FFF0000FFFFFFFBull));

    // A new window procedure takes over; the old one is handed back.
    auto previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
            return message == WM_USER ? 99 : 0;
        })));
    EXPECT_EQ(previous, LifecycleProc);
    EXPECT_EQ(SendMessageW(hwnd, WM_USER, 0, 0), 99);
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    EXPECT_TRUE(DestroyWindow(hwnd));
}

TEST_F(WindowTest, OnlyTheOwningThreadDestroys)
{
    HWND hwnd =
        CreateWindowExW(0, u"QbkLifecycleWindow", u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, &m_object);
    BOOL destroyed = TRUE;
    DWORD error = 0;
    std::thread([&] {
        destroyed = DestroyWindow(hwnd);
        error = GetLastError();
    }).join();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(DestroyWindow(hwnd));
}

} // namespace
