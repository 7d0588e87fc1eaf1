// Every tool a user runs reads its command line the same way: --help and
// --version on the output with status 0, an unknown option named, and
// neither creating anything (no system root, no registry).
#include "platform/testing/ChildProcess.h"
#include "platform/testing/ScopedVariable.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

struct Tool {
    const char* name;
    const char* path;
    int usageExit; // the status of a wrong command line
};

const Tool kTools[] = {
    {"qbk-scanner-emu", QBK_EMULATOR, 2},
    {"devinstall", QBK_DEVINSTALL, 2},
    {"twainscan", QBK_TWAINSCAN, 2},
    {"wiascan", QBK_WIASCAN, 2},
    {"scan", QBK_SCAN, 2},
    {"dialogpictures", QBK_DIALOGPICTURES, 2},
    {"shellpage", QBK_SHELLPAGE, 2},
    {"regtool", QBK_REGTOOL, 2},
    {"svctool", QBK_SVCTOOL, 1},
    {"diagtool", QBK_DIAGTOOL, 2},
    {"scannertool", QBK_SCANNERTOOL, 2},
};

class EveryToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/everytool-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_temp = pattern;
    }
    void TearDown() override { fs::remove_all(m_temp); }

    // The program's status; its output (with the error output when
    // `errors`) into *output.
    static int Run(std::vector<std::string> args, bool errors, std::string* output)
    {
        plat::testing::ChildProcess child(std::move(args), errors ? plat::testing::ChildPipes::WithErrors
                                                                  : plat::testing::ChildPipes::OutputOnly);
        *output = child.RestOfOutput();
        return child.Wait();
    }

    fs::path m_temp;
};

TEST_F(EveryToolTest, HelpAndVersionEndWellAWrongOptionIsNamedAndNothingIsCreated)
{
    const fs::path root = m_temp / "root";
    const plat::testing::ScopedVariable sysroot("QBK_SYSROOT", root.string());
    const struct {
        const char* option;
        bool errors;       // the error output read too
        bool ok;           // status 0, else the tool's wrong-usage status
        const char* shown; // in what the program wrote; %s: its name
    } cases[] = {
        {"--help", false, true, "usage: "},
        {"--version", false, true, " (qbk24) "},
        {"--bogus", true, false, ": unknown option --bogus\n"},
        {"--bogus=1", true, false, ": unknown option --bogus\n"},
    };
    for (const Tool& tool : kTools) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(tool.name) + " " + c.option);
            std::string output;
            EXPECT_EQ(Run({tool.path, c.option}, c.errors, &output), c.ok ? 0 : tool.usageExit) << output;
            EXPECT_NE(output.find(c.shown), std::string::npos) << output;
            if (!c.ok) {
                EXPECT_EQ(output.rfind(tool.name, 0), 0u) << "the mistake comes first, named by the tool: " << output;
            }
            EXPECT_FALSE(fs::exists(root)) << "the command line alone created the system root";
        }
    }
}

TEST_F(EveryToolTest, AWrongValueIsNamedWithTheValuesTaken)
{
    const plat::testing::ScopedVariable sysroot("QBK_SYSROOT", (m_temp / "root").string());
    const struct {
        std::vector<std::string> args;
        const char* shown;
    } cases[] = {
        {{QBK_TWAINSCAN, "--dpi", "30"}, "twainscan: --dpi: 30 is not one of 100, 150, 200, 300, 400, 500, 600\n"},
        {{QBK_TWAINSCAN, "--pixel=grey"}, "twainscan: --pixel: grey is not one of bw, gray, color\n"},
        {{QBK_TWAINSCAN, "--out"}, "twainscan: --out needs a value\n"},
        {{QBK_SCAN, "--bits", "4"}, "scan: --bits: 4 is not one of 1, 8, 24\n"},
        {{QBK_SCAN, "--dpi=1200"}, "scan: --dpi: 1200 is not a number from 50 to 600\n"},
        {{QBK_WIASCAN, "--batch-start", "0", "acquire", "."}, "wiascan: --batch-start: 0 is not a number from 1"},
        {{QBK_SVCTOOL, "create", "A", "/bin/true", "--start", "sometimes"},
         "svctool: --start: sometimes is not one of auto, demand, disabled\n"},
        {{QBK_EMULATOR, "--vid", "xyz"}, "qbk-scanner-emu: --vid: bad value xyz\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        std::string output;
        EXPECT_NE(Run(c.args, true, &output), 0) << output;
        EXPECT_EQ(output.rfind(c.shown, 0), 0u) << output;
    }
}

} // namespace
