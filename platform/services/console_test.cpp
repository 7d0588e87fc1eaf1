#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"
#include "platform/services/ConsoleControl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;
std::promise<DWORD>* g_signalled = nullptr;

BOOL Declines(DWORD type)
{
    g_calls.push_back("declines " + std::to_string(type));
    return FALSE;
}

BOOL Handles(DWORD type)
{
    g_calls.push_back("handles " + std::to_string(type));
    if (g_signalled)
        g_signalled->set_value(type);
    return TRUE;
}

TEST(ConsoleControl, HandlersRunNewestFirstUntilOneHandles)
{
    g_calls.clear();
    ASSERT_TRUE(SetConsoleCtrlHandler(Handles, TRUE));
    ASSERT_TRUE(SetConsoleCtrlHandler(Declines, TRUE));
    EXPECT_TRUE(plat::DispatchConsoleCtrlEvent(CTRL_LOGOFF_EVENT));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"declines 5", "handles 5"}));

    ASSERT_TRUE(SetConsoleCtrlHandler(Handles, FALSE));
    g_calls.clear();
    EXPECT_FALSE(plat::DispatchConsoleCtrlEvent(CTRL_SHUTDOWN_EVENT));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"declines 6"}));

    // Ignoring Ctrl+C answers only that event.
    ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, TRUE));
    g_calls.clear();
    EXPECT_TRUE(plat::DispatchConsoleCtrlEvent(CTRL_C_EVENT));
    EXPECT_TRUE(g_calls.empty());
    ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, FALSE));

    ASSERT_TRUE(SetConsoleCtrlHandler(Declines, FALSE));
    EXPECT_FALSE(SetConsoleCtrlHandler(Declines, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(ConsoleControl, SigintReachesTheHandlersAsCtrlC)
{
    std::promise<DWORD> signalled;
    g_signalled = &signalled;
    ASSERT_TRUE(SetConsoleCtrlHandler(Handles, TRUE));
    raise(SIGINT);
    auto result = signalled.get_future();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready); // a safety net only
    EXPECT_EQ(result.get(), CTRL_C_EVENT);
    ASSERT_TRUE(SetConsoleCtrlHandler(Handles, FALSE));
    g_signalled = nullptr;
}

} // namespace
