#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

// Points the opener at a script for one test.
class ScriptedOpener {
public:
    explicit ScriptedOpener(const fs::path& script) { setenv(plat::kShellOpenVariable, script.c_str(), 1); }
    ~ScriptedOpener() { unsetenv(plat::kShellOpenVariable); }
};

TEST(ShellExecute, OpenHandsTheLinkToTheOpener)
{
    plat::testing::TempSystemRoot root;
    const fs::path script = fs::path(root.Path()) / "opener.sh";
    const fs::path opened = fs::path(root.Path()) / "opened.txt";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" '" << opened.string()
                          << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    ScriptedOpener opener(script);

    const HINSTANCE result = ShellExecuteA(nullptr, "open", "https://example.invalid/support", nullptr, nullptr, 1);
    EXPECT_GT(reinterpret_cast<INT_PTR>(result), 32);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fs::exists(opened)) {
        ASSERT_LT(std::chrono::steady_clock::now(), limit);
        std::this_thread::yield();
    }
    std::ifstream in(opened);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "https://example.invalid/support");
}

TEST(ShellExecute, OtherVerbsAndMissingOpenerFail)
{
    ScriptedOpener opener("/no/such/opener");
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, u"open", u"x", nullptr, nullptr, 1)), SE_ERR_FNF);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, u"print", u"x", nullptr, nullptr, 1)), SE_ERR_NOASSOC);
}

} // namespace
