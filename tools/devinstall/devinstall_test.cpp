// devinstall as a user runs it: into a system root deep in the file
// system, and with a registration of the co-installer that fails.
#include "tools/twainscan/testing/InstalledSourceTest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;
using plat::testing::ChildPipes;
using plat::testing::ChildProcess;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A root of 200 characters: every registration command names it twice,
// and the sockets in its run-time folder have paths longer than a socket
// address holds.
class DeepRootTest : public twainscan::testing::InstalledSourceTest {
protected:
    DeepRootTest() : InstalledSourceTest(200) {}
};

TEST_F(DeepRootTest, AnInstallationIntoADeepRootScans)
{
    ASSERT_EQ(200u, m_root.Path().size());
    Install(1);
    EXPECT_EQ(std::string::npos, m_installed.find("NOT registered")) << m_installed;
    EXPECT_EQ(std::string::npos, ReadFile(fs::path(m_root.Path()) / "Log" / "CoInstaller.log").find("FAILED"));

    const fs::path out = fs::path(m_root.Path()) / "scans";
    fs::create_directories(out);
    std::string output;
    ASSERT_EQ(0, TwainScan({"--pixel", "gray", "--dpi", "100", "--duplex", "--xfer", "memory", "--out", out.string()},
                           &output))
        << output;
    EXPECT_NE(std::string::npos, output.find("2 pages scanned")) << output;
    EXPECT_TRUE(fs::is_regular_file(out / "page-002.tif"));
}

// What stands in the system folder as regsvr32: a file that cannot be run,
// or a program that refuses every library.
struct BrokenRegistration {
    const char* what;
    const char* content;
    fs::perms permissions;
};

class FailedRegistrationTest : public twainscan::testing::InstalledSourceTest,
                               public ::testing::WithParamInterface<BrokenRegistration> {};

TEST_P(FailedRegistrationTest, FailsTheInstallationWithTheLibraryItLeftOut)
{
    const fs::path regsvr32 = fs::path(m_root.Path()) / "system" / "regsvr32";
    std::ofstream(regsvr32) << GetParam().content;
    fs::permissions(regsvr32, GetParam().permissions);

    ChildProcess emulator({QBK_EMULATOR, "--sheets", "1", "--serial", kSerial});
    ASSERT_TRUE(emulator.Started());
    ASSERT_EQ(0u, emulator.ReadLine().rfind("device ", 0));
    ASSERT_EQ(0u, emulator.ReadLine().rfind("ready ", 0));
    ChildProcess devinstall({QBK_DEVINSTALL, "install"}, ChildPipes::WithErrors);
    ASSERT_TRUE(devinstall.Started());
    const std::string output = devinstall.RestOfOutput();
    EXPECT_EQ(1, devinstall.Wait()) << output;
    EXPECT_EQ(std::string::npos, output.find("\ninstalled")) << output;
    for (const char* library : {"RNXHALPSx.dll", "RNXCOMCorex.dll", "RNXShellExtx.dll"}) {
        EXPECT_NE(std::string::npos, output.find(std::string(library) + " NOT registered")) << output;
        EXPECT_NE(std::string::npos, output.find("system/RNX/" + std::string(library) + " could not be registered"))
            << output;
    }
    EXPECT_NE(std::string::npos, output.find("installation incomplete")) << output;
}

INSTANTIATE_TEST_SUITE_P(Registrations, FailedRegistrationTest,
                         ::testing::Values(BrokenRegistration{"cannot run", "not a program\n",
                                                              fs::perms::owner_read | fs::perms::owner_write},
                                           BrokenRegistration{"refuses", "#!/bin/sh\nexit 5\n", fs::perms::owner_all}),
                         [](const ::testing::TestParamInfo<BrokenRegistration>& testInfo) {
                             return std::string(testInfo.param.what) == "cannot run" ? "CannotRun" : "Refuses";
                         });

} // namespace
