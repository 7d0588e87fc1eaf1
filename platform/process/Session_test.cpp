#include "platform/windows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace {

// Sets the console-session variable for one test.
class ConsoleSession {
public:
    explicit ConsoleSession(const char* value)
    {
        if (const char* old = std::getenv(plat::kConsoleSessionVariable))
            m_old = old;
        setenv(plat::kConsoleSessionVariable, value, 1);
    }
    ~ConsoleSession()
    {
        if (m_old)
            setenv(plat::kConsoleSessionVariable, m_old->c_str(), 1);
        else
            unsetenv(plat::kConsoleSessionVariable);
        plat::ClearProcessSessionOverrides();
    }

private:
    std::optional<std::string> m_old;
};

TEST(Session, ConsoleSessionAndItsToken)
{
    struct Case {
        const char* variable;
        DWORD console;
    };
    const Case cases[] = {{"2", 2}, {"0", 0}, {"none", 0xFFFFFFFFu}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variable);
        ConsoleSession session(c.variable);
        EXPECT_EQ(WTSGetActiveConsoleSessionId(), c.console);
        HANDLE token = nullptr;
        const BOOL got = WTSQueryUserToken(c.console, &token);
        EXPECT_EQ(got != FALSE, c.console != 0xFFFFFFFFu);
        if (got)
            EXPECT_TRUE(CloseHandle(token));
        else
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
        // Nobody is logged on in any other session.
        EXPECT_FALSE(WTSQueryUserToken(c.console + 1, &token));
    }
}

TEST(Session, ProcessSessionComesFromTheLoginSession)
{
    ConsoleSession session("1");
    DWORD own = 0xDEAD;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &own));
    std::ifstream file("/proc/self/sessionid");
    std::string audit;
    if (std::getline(file, audit)) {
        const unsigned long long id = std::stoull(audit);
        EXPECT_EQ(own, id == 0xFFFFFFFFull ? 0u : static_cast<DWORD>(id));
    }

    plat::SetProcessSessionOverride(GetCurrentProcessId(), 5);
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &own));
    EXPECT_EQ(own, 5u);

    DWORD dead = 0;
    EXPECT_FALSE(ProcessIdToSessionId(0x7FFFFFF0u, &dead));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// The service looks both functions up at run time by name.
TEST(Session, FunctionsAreFoundByName)
{
    ConsoleSession session("4");
    HMODULE kernel = LoadLibraryW(u"Kernel32.DLL");
    HMODULE wts = LoadLibraryW(u"Wtsapi32.dll");
    ASSERT_NE(kernel, nullptr);
    ASSERT_NE(wts, nullptr);
    auto active = reinterpret_cast<DWORD (*)()>(GetProcAddress(kernel, "WTSGetActiveConsoleSessionId"));
    auto query = reinterpret_cast<BOOL (*)(ULONG, PHANDLE)>(GetProcAddress(wts, "WTSQueryUserToken"));
    ASSERT_NE(active, nullptr);
    ASSERT_NE(query, nullptr);
    EXPECT_EQ(active(), 4u);
    HANDLE token = nullptr;
    EXPECT_TRUE(query(4, &token));
    CloseHandle(token);
    FreeLibrary(kernel);
    FreeLibrary(wts);
}

} // namespace
