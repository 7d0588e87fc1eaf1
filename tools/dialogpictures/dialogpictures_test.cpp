// dialogpictures on an installed scanner, as the demo runs it: the emulator
// program as the plugged-in scanner and devinstall installing it into a
// fresh system root. Run again in the same root it meets the profile its
// first run saved and still finishes; and what the installation and a scan
// leave in the root is the user's alone.
#include "platform/base/sysroot.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using plat::testing::ChildProcess;
using plat::testing::RunProgram;

class DialogPicturesTest : public ::testing::Test {
protected:
    static constexpr const char* kSerial = "pictures01";

    void TearDown() override { plat::testing::KillProgramsRunFrom(m_root.Path()); }

    void Install()
    {
        ASSERT_TRUE(m_emulator.Start({QBK_EMULATOR, "--sheets", "0", "--serial", kSerial}));
        ASSERT_EQ(m_emulator.ReadLine().rfind("device ", 0), 0u);
        ASSERT_EQ(m_emulator.ReadLine().rfind("ready ", 0), 0u);
        std::string output;
        ASSERT_EQ(RunProgram({QBK_DEVINSTALL, "install"}, &output), 0) << output;
    }

    // With one sheet in the feeder, for the progress dialog: the tool's
    // output and error output. A run that hangs is ended after two minutes
    // (a run takes a few seconds).
    int Pictures(std::string* output)
    {
        if (RunProgram({QBK_EMULATOR, "control", "--serial", kSerial, "load", "1"}, output) != 0)
            return -1;
        ChildProcess child({"/usr/bin/timeout", "120", QBK_DIALOGPICTURES, "--out", PicturesFolder().string()},
                           plat::testing::ChildPipes::WithErrors);
        if (!child.Started())
            return -1;
        *output = child.RestOfOutput();
        return child.Wait();
    }

    fs::path PicturesFolder() const { return fs::path(m_root.Path()) / "pictures"; }

    plat::testing::TempSystemRoot m_root;
    ChildProcess m_emulator;
};

TEST_F(DialogPicturesTest, ASecondRunInTheSameRootReplacesTheSavedProfileAndFinishes)
{
    Install();
    const fs::path profile = fs::path(plat::UserProfileFolder()) / "AppData/Roaming/Quorvant/QBK24_TWAIN/Office.bin";
    for (const int run : {1, 2}) {
        SCOPED_TRACE(run);
        std::string output;
        ASSERT_EQ(Pictures(&output), 0) << output;
        EXPECT_NE(output.find("dialog-save-profile.png\n"), std::string::npos) << output;
        EXPECT_NE(output.find("dialog-progress.png\n"), std::string::npos) << output;
        // The tool answered its own questions: none was left to a default.
        EXPECT_EQ(output.find("without a scripted answer"), std::string::npos) << output;
        EXPECT_TRUE(fs::is_regular_file(profile));
    }
}

// Every folder, file and socket that the installation, the emulator, the
// service and the data source (with its debug log on) made in the root:
// nobody but its user may read, write or enter it. The pictures are the
// user's own output, made as the user's files are.
TEST_F(DialogPicturesTest, WhatAnInstallationAndAScanLeaveInTheRootIsPrivate)
{
    ASSERT_TRUE(WriteProfileStringA("Quorvant", "DEBUG", "1"));
    Install();
    std::string output;
    ASSERT_EQ(Pictures(&output), 0) << output;

    std::vector<std::string> open;
    size_t seen = 0;
    for (auto entry = fs::recursive_directory_iterator(m_root.Path()); entry != fs::recursive_directory_iterator();
         ++entry) {
        if (entry->path() == PicturesFolder()) {
            entry.disable_recursion_pending();
            continue;
        }
        struct stat info {};
        ASSERT_EQ(lstat(entry->path().c_str(), &info), 0) << entry->path();
        ++seen;
        if ((info.st_mode & 077) != 0)
            open.push_back(entry->path().string());
    }
    EXPECT_EQ(open, std::vector<std::string>{});
    EXPECT_GT(seen, 30u);
    // The data source's debug log and the staged programs were among them.
    EXPECT_TRUE(fs::is_regular_file(plat::UserTempFolder() + "/QBK24.log"));
    EXPECT_TRUE(fs::is_regular_file(fs::path(plat::SystemFolder()) / "RNX" / "RNXQBK24x.BIN"));
    EXPECT_TRUE(fs::is_directory(fs::path(plat::WindowsFolder()) / "twain_32" / "RNX"));
}

} // namespace
