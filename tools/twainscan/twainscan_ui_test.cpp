// twainscan with the source's dialog on a display (Xvfb): the person
// presses Enter in the dialog (its default button, Scan) and the pages
// arrive; Esc closes the dialog and twainscan ends. The keys are sent to
// the dialog's window by xdotool, through the X server.
#include "platform/testing/Sanitizers.h"
#include "platform/testing/XvfbDisplay.h"
#include "platform/windows.h"
#include "tools/twainscan/testing/InstalledSourceTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using twainscan::testing::InstalledSourceTest;

// xdotool on the visible window whose title matches `title`, once it is
// there: focused, then one command ("key", "Return" or "type", "Office":
// a text to type takes every word after it). A search may meet a window
// that goes while it looks (an X error): it looks again, for at most 30 s,
// each attempt bounded. A key that closes the window may end xdotool with
// an X error after it did its work (the release finds no window): a window
// that was there and is gone by then took the key.
bool OnWindow(const std::string& title, const std::vector<std::string>& command, bool closesTheWindow = false)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const std::vector<std::string> appeared{
        "/usr/bin/timeout", "10", "/usr/bin/xdotool", "search", "--sync", "--onlyvisible", "--name", title};
    std::vector<std::string> act{"/usr/bin/timeout", "10",  "/usr/bin/xdotool", "search", "--onlyvisible",
                                 "--name",           title, "windowfocus",      "--sync"};
    act.insert(act.end(), command.begin(), command.end());
    std::string output;
    bool seen = false;
    while (std::chrono::steady_clock::now() < limit) {
        seen = seen || plat::testing::RunProgram(appeared, &output) == 0;
        if (!seen)
            continue;
        if (plat::testing::RunProgram(act, &output) == 0)
            return true;
        if (closesTheWindow &&
            plat::testing::RunProgram({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", title}, &output) != 0)
            return true;
    }
    return false;
}

// The settings dialog takes the key.
bool PressKey(const std::string& key, bool closesTheDialog = false)
{
    return OnWindow("Scan Settings", {"key", key}, closesTheDialog);
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

// The user's folder of `csidl`, in the test's system root.
fs::path UserFolder(int csidl)
{
    char folder[MAX_PATH] = {};
    return SHGetSpecialFolderPathA(nullptr, folder, csidl | CSIDL_FLAG_CREATE, TRUE) ? fs::path(folder) : fs::path();
}

// Whether `done` holds within 30 s of real time (twainscan writes the files
// in a process of its own), looking every 10 ms.
bool Eventually(const std::function<bool()>& done)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= limit)
            return false;
        usleep(10000);
    }
    return true;
}

// Export... and Import... on the profiles tab, by keyboard alone: the file
// chooser writes the settings where the person names a file (the default
// extension added), asks before replacing it, and reads it back as a
// profile of that name.
TEST_F(InstalledSourceTest, ExportAndImportWriteAndReadAProfileThroughTheFileChooser)
{
    if (plat::testing::XvfbDisplay::ServerProgram().empty() || access("/usr/bin/xdotool", X_OK) != 0)
        GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/deps.sh installs them): no display for the dialog";
    std::string why;
    ASSERT_NE(plat::testing::XvfbDisplay::ForProcess(&why), nullptr) << why;
    Install(1);
    const fs::path exported = UserFolder(CSIDL_PERSONAL) / "Office.bin";
    const fs::path profile = UserFolder(CSIDL_APPDATA) / "Quorvant" / "QBK24_TWAIN" / "Office.bin";
    ASSERT_FALSE(exported.parent_path().empty());
    // The toolkit's file chooser keeps what it allocates (GLib's quark
    // blocks, GIO's type guesses, its name completions) for the process's
    // life; a leak checker sees them without a frame of ours. The chooser's
    // path in the platform is leak-checked in process by its own test.
    const plat::testing::ChildLeakCheckOff leakCheckOff;
    plat::testing::ChildProcess twainscan(
        {QBK_TWAINSCAN, "--folder", ManagerFolder().string(), "--ui", "--out", m_root.Path()},
        plat::testing::ChildPipes::WithErrors);
    ASSERT_TRUE(twainscan.Started());
    std::string seen;
    ASSERT_TRUE(ReadUntil(twainscan, "the source's dialog is open", &seen)) << seen;

    constexpr const char* kExport = "export Profile Settings";
    const auto nameTheFile = [&] {
        return PressKey("alt+e") && OnWindow(kExport, {"key", "ctrl+a"}) && OnWindow(kExport, {"type", "Office"});
    };
    ASSERT_TRUE(nameTheFile());
    ASSERT_TRUE(OnWindow(kExport, {"key", "Return"}, true));
    ASSERT_TRUE(Eventually([&] { return fs::is_regular_file(exported); })) << exported;
    const auto written = fs::last_write_time(exported);

    // Again: the file is there, and Yes replaces it.
    ASSERT_TRUE(nameTheFile());
    ASSERT_TRUE(OnWindow(kExport, {"key", "Return"}));
    ASSERT_TRUE(OnWindow("Confirm Save As", {"key", "Return"}, true));
    ASSERT_TRUE(Eventually([&] { return fs::last_write_time(exported) != written; }));

    ASSERT_TRUE(PressKey("alt+i"));
    ASSERT_TRUE(OnWindow("import Profile Settings", {"type", exported.string()}));
    ASSERT_TRUE(OnWindow("import Profile Settings", {"key", "Return"}, true));
    ASSERT_TRUE(Eventually([&] { return fs::is_regular_file(profile); })) << profile;
    EXPECT_EQ(fs::file_size(profile), fs::file_size(exported));

    ASSERT_TRUE(PressKey("Escape", true));
    seen += twainscan.RestOfOutput();
    EXPECT_EQ(twainscan.Wait(), 0) << seen;
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
    EXPECT_NE(output.find("the source cannot be enabled: not enough memory, or no window for the dialog (condition 2)"),
              std::string::npos)
        << output;
    EXPECT_FALSE(fs::exists(fs::path(m_root.Path()) / "page-001.tif"));
}

} // namespace
