// A registry file that cannot be read, as every tool that looks up the
// scanner meets it: each names it as damaged with its path and what to do,
// and doing that (remove it, plug the scanner in again, install) brings the
// scanner back.
#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using plat::testing::ChildProcess;

class DamagedRegistryTest : public ::testing::Test {
protected:
    void TearDown() override { plat::testing::KillProgramsRunFrom(m_root.Path()); }

    void PlugIn()
    {
        m_emulator = std::make_unique<ChildProcess>(
            std::vector<std::string>{QBK_EMULATOR, "--sheets", "1", "--serial", "damaged01"});
        ASSERT_TRUE(m_emulator->Started());
        ASSERT_EQ(m_emulator->ReadLine().rfind("device ", 0), 0u);
        ASSERT_EQ(m_emulator->ReadLine().rfind("ready ", 0), 0u);
    }

    static int Run(std::vector<std::string> args, std::string* output)
    {
        ChildProcess child(std::move(args), plat::testing::ChildPipes::WithErrors);
        *output = child.RestOfOutput();
        return child.Wait();
    }

    std::string TwainFolder() const { return m_root.Path() + "/lib/twain"; }

    plat::testing::TempSystemRoot m_root;
    std::unique_ptr<ChildProcess> m_emulator;
};

TEST_F(DamagedRegistryTest, EveryToolNamesItAndSaysWhatToDo)
{
    PlugIn();
    std::string output;
    ASSERT_EQ(Run({QBK_DEVINSTALL, "install", "--twain-folder", TwainFolder()}, &output), 0) << output;
    const std::string registry = m_root.Path() + "/registry.db";
    std::ofstream(registry, std::ios::binary | std::ios::trunc) << "not a database at all";

    const std::string pages = m_root.Path() + "/pages";
    fs::create_directories(pages);
    const std::string said = "the registry " + registry + " is damaged: remove it (and " + registry + "-shm and " +
                             registry + "-wal beside it), then plug the scanner in again and install it with " +
                             "devinstall install\n";
    const struct {
        std::vector<std::string> command;
        const char* prefix; // before the words
    } cases[] = {
        {{QBK_SCAN, "--out", pages}, "scan: "},
        {{QBK_SCAN, "--list"}, "scan: "},
        {{QBK_WIASCAN, "acquire", pages}, "wiascan: "},
        {{QBK_WIASCAN, "--list"}, "wiascan: "},
        {{QBK_SHELLPAGE, "page", pages + "/page.png"}, "shellpage: "},
        {{QBK_SHELLPAGE, "--list"}, "shellpage: "},
        {{QBK_DEVINSTALL, "install"}, "devinstall: "},
        {{QBK_DEVINSTALL, "remove"}, "devinstall: "},
        {{QBK_DEVINSTALL, "--list"}, "devinstall: "},
        {{QBK_SCANNERTOOL, "list"}, "scannertool: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command[0] + " " + c.command[1]);
        EXPECT_EQ(Run(c.command, &output), 1) << output;
        EXPECT_NE(output.find(c.prefix + said), std::string::npos) << output;
        EXPECT_EQ(output.find("no recorded scanner"), std::string::npos) << output;
    }
    // twainscan, an outside application, sees the source's refusal only.
    EXPECT_EQ(Run({QBK_TWAINSCAN, "--folder", TwainFolder(), "--out", pages}, &output), 1) << output;
    EXPECT_NE(output.find("or the registry is damaged (scan --list says what to do) (condition 5)"), std::string::npos)
        << output;
    EXPECT_TRUE(fs::is_empty(pages));

    m_emulator.reset();
    for (const char* suffix : {"", "-shm", "-wal"})
        fs::remove(registry + suffix);
    PlugIn();
    // The service the first installation started still runs, unknown to
    // the new registry: the installation ends it, so that it does not serve
    // the scanner beside the new one.
    ASSERT_EQ(Run({QBK_DEVINSTALL, "install", "--twain-folder", TwainFolder()}, &output), 0) << output;
    EXPECT_NE(output.find("ended RNXQBK24_0000_0.EXE, a service copy no registered service runs"), std::string::npos)
        << output;
    EXPECT_EQ(Run({QBK_SCAN, "--out", pages}, &output), 0) << output;
}

} // namespace
