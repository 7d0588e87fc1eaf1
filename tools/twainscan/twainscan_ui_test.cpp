// twainscan with the source's dialog on a display (Xvfb): the person
// presses Enter in the dialog (its default button, Scan) and the pages
// arrive; Esc closes the dialog and twainscan ends. The keys are sent to
// the dialog's window by xdotool, through the X server.
#include "platform/testing/XvfbDisplay.h"
#include "tools/twainscan/testing/InstalledSourceTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using twainscan::testing::InstalledSourceTest;

// The dialog's window, found by its title, takes the key. A search may
// meet a window that goes while it looks (an X error): it looks again, for
// at most 30 s, each attempt bounded. A key that closes the dialog may end
// xdotool with an X error after it did its work (the release finds no
// window): a dialog gone by then took the key.
bool PressKey(const std::string& key, bool closesTheDialog = false)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string output;
    while (std::chrono::steady_clock::now() < limit) {
        if (plat::testing::RunProgram({"/usr/bin/timeout", "10", "/usr/bin/xdotool", "search", "--sync", "--onlyvisible",
                                       "--name", "Scan Settings", "windowfocus", "--sync", "key", key},
                                      &output)
            == 0)
            return true;
        if (closesTheDialog
            && plat::testing::RunProgram({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "Scan Settings"},
                                         &output)
                   != 0)
            return true;
    }
    return false;
}

// The child's output through the first line that starts with `start`.
bool ReadUntil(plat::testing::ChildProcess& child, const std::string& start, std::string* seen)
{
    const std::string text = child.ReadThrough(start);
    *seen += text;
    return text.rfind(start, 0) == 0 || text.find("\n" + start) != std::string::npos;
}

TEST_F(InstalledSourceTest, WithTheDialogTwainscanScansWhenScanIsPressedAndEndsWhenTheDialogCloses)
{
    if (plat::testing::XvfbDisplay::ServerProgram().empty() || access("/usr/bin/xdotool", X_OK) != 0)
        GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/deps.sh installs them): no display for the dialog";
    std::string why;
    ASSERT_NE(plat::testing::XvfbDisplay::ForProcess(&why), nullptr) << why;
    Install(1);
    const fs::path out = fs::path(m_root.Path()) / "scans";
    fs::create_directories(out);
    plat::testing::ChildProcess twainscan({QBK_TWAINSCAN, "--folder", ManagerFolder().string(), "--ui", "--duplex",
                                           "--dpi", "100", "--out", out.string()},
                                          plat::testing::ChildPipes::WithErrors);
    ASSERT_TRUE(twainscan.Started());
    std::string seen;
    ASSERT_TRUE(ReadUntil(twainscan, "the source's dialog is open", &seen)) << seen;

    ASSERT_TRUE(PressKey("Return"));
    ASSERT_TRUE(ReadUntil(twainscan, "page 2:", &seen)) << seen;
    ASSERT_TRUE(PressKey("Escape", true));
    seen += twainscan.RestOfOutput();
    EXPECT_EQ(twainscan.Wait(), 0) << seen;
    EXPECT_TRUE(fs::is_regular_file(out / "page-001.tif")) << seen;
    EXPECT_TRUE(fs::is_regular_file(out / "page-002.tif")) << seen;
    EXPECT_FALSE(fs::exists(out / "page-003.tif")) << seen;
}

// No display for the dialog: the source refuses at once (condition 2)
// rather than waiting for a person who cannot see it.
TEST_F(InstalledSourceTest, WithoutADisplayTheDialogIsRefusedAtOnce)
{
    Install(1);
    std::optional<std::string> display;
    if (const char* named = std::getenv("DISPLAY"))
        display = named;
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    std::string output;
    const int status = TwainScan({"--ui", "--out", m_root.Path()}, &output);
    if (display)
        setenv("DISPLAY", display->c_str(), 1);
    EXPECT_EQ(status, 1) << output;
    EXPECT_NE(output.find("the source cannot be enabled: condition 2,"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(fs::path(m_root.Path()) / "page-001.tif"));
}

} // namespace
