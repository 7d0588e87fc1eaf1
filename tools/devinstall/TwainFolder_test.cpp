// Where devinstall puts the data source: each run where its own options
// say (a manager's folder with --twain-folder, else the system root's), the
// copy and its libraries taken away from where an earlier run put them, and
// twainscan finding it there.
#include "platform/base/sysroot.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using plat::testing::ChildProcess;

constexpr const char* kCopy = "QBK24_0000.ds";

class TwainFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_emulator.Started());
        ASSERT_EQ(m_emulator.ReadLine().rfind("device ", 0), 0u);
        ASSERT_EQ(m_emulator.ReadLine().rfind("ready ", 0), 0u);
    }
    void TearDown() override { plat::testing::KillProgramsRunFrom(m_root.Path()); }

    static int Run(std::vector<std::string> args, std::string* output)
    {
        ChildProcess child(std::move(args), plat::testing::ChildPipes::WithErrors);
        *output = child.RestOfOutput();
        return child.Wait();
    }

    // The folders a data source may be in: the root's and two managers'.
    fs::path RootFolder() const { return fs::path(plat::TwainSourceFolder(m_root.Path())); }
    fs::path ManagerA() const { return fs::path(m_root.Path()) / "managerA"; }
    fs::path ManagerB() const { return fs::path(m_root.Path()) / "managerB"; }

    plat::testing::TempSystemRoot m_root;
    ChildProcess m_emulator{{QBK_EMULATOR, "--sheets", "0", "--serial", "twainfolder01"}};
};

TEST_F(TwainFolderTest, EachInstallationPutsTheSourceWhereItsOwnOptionsSayAndLeavesNothingBehind)
{
    std::string output;
    EXPECT_EQ(Run({QBK_TWAINSCAN, "--list"}, &output), 1);
    EXPECT_NE(output.find("no data source is installed in " + RootFolder().string()), std::string::npos) << output;

    // Each installation's --twain-folder (empty: none) and the manager's
    // folder that is to hold the source after it.
    const struct {
        fs::path option;
        fs::path holder;
    } runs[] = {
        {{}, RootFolder()},       // first installation
        {ManagerA(), ManagerA()}, // moved out of the root
        {ManagerA(), ManagerA()}, // the same folder again keeps it
        {ManagerB(), ManagerB()}, // from one manager's folder to another
        {{}, RootFolder()},       // without the option: back in the root
        {{}, RootFolder()},       {ManagerA(), ManagerA()},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE("--twain-folder " + run.option.string());
        std::vector<std::string> args = {QBK_DEVINSTALL, "install"};
        if (!run.option.empty())
            args.insert(args.end(), {"--twain-folder", run.option.string()});
        ASSERT_EQ(Run(args, &output), 0) << output;
        const fs::path copy = run.holder / "RNX" / kCopy;
        EXPECT_NE(output.find("TWAIN_DS_PATH  " + copy.string() + "\n"), std::string::npos) << output;
        for (const fs::path& folder : {RootFolder(), ManagerA(), ManagerB()}) {
            SCOPED_TRACE(folder.string());
            const bool holder = folder == run.holder;
            EXPECT_EQ(fs::is_regular_file(folder / "RNX" / kCopy), holder);
            // The root's folder keeps the staged libraries; a manager's has
            // them while it holds the source.
            if (folder != RootFolder()) {
                EXPECT_EQ(fs::exists(folder / "RNX" / "libplatform.so"), holder);
                EXPECT_EQ(fs::exists(folder / "RNX" / "libplatform_gtk.so"), holder);
            }
        }
        std::vector<std::string> list = {QBK_TWAINSCAN, "--list"};
        if (run.holder != RootFolder())
            list.insert(list.end(), {"--folder", run.holder.string()});
        ASSERT_EQ(Run(list, &output), 0) << output;
        EXPECT_NE(output.find("Quillbox K24"), std::string::npos) << output;
    }
}

} // namespace
