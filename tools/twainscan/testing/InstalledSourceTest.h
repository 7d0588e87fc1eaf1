// A scanner installed as a user installs it for a TWAIN application: the
// emulator program as the plugged-in scanner, and devinstall putting the
// device's data source into a manager's folder inside the test's system
// root, away from the build tree. Runs twainscan on that folder.
#pragma once

#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace twainscan::testing {

class InstalledSourceTest : public ::testing::Test {
protected:
    static constexpr const char* kSerial = "twainscan01";

    // A system root whose path has `rootLength` characters (0: any).
    explicit InstalledSourceTest(size_t rootLength = 0) : m_root(rootLength) {}

    void SetUp() override
    {
        // Nothing but the installed files may tell the loader where the
        // source's libraries are.
        unsetenv("LD_LIBRARY_PATH");
    }

    void TearDown() override { plat::testing::KillProgramsRunFrom(m_root.Path()); }

    std::filesystem::path ManagerFolder() const { return std::filesystem::path(m_root.Path()) / "lib" / "twain"; }

    void Install(int sheets)
    {
        m_emulator = std::make_unique<plat::testing::ChildProcess>(
            std::vector<std::string>{QBK_EMULATOR, "--sheets", std::to_string(sheets), "--serial", kSerial});
        ASSERT_TRUE(m_emulator->Started());
        ASSERT_EQ(m_emulator->ReadLine().rfind("device ", 0), 0u);
        ASSERT_EQ(m_emulator->ReadLine().rfind("ready ", 0), 0u);
        ASSERT_EQ(plat::testing::RunProgram({QBK_DEVINSTALL, "install", "--twain-folder", ManagerFolder().string()},
                                            &m_installed),
                  0)
            << m_installed;
    }

    // A value of the device's key as devinstall reported it.
    std::string ReadDriverValue(const std::string& name) const
    {
        const size_t at = m_installed.find("  " + name + " ");
        if (at == std::string::npos)
            return {};
        const size_t start = m_installed.find_first_not_of(' ', at + name.size() + 2);
        return m_installed.substr(start, m_installed.find('\n', start) - start);
    }

    void LoadSheets(int sheets) { Control({"load", std::to_string(sheets)}); }

    // Sends the emulator a control line; its answer.
    std::string Control(const std::vector<std::string>& words)
    {
        std::vector<std::string> args = {QBK_EMULATOR, "control", "--serial", kSerial};
        args.insert(args.end(), words.begin(), words.end());
        std::string answer;
        EXPECT_EQ(plat::testing::RunProgram(args, &answer), 0) << answer;
        return answer;
    }

    // twainscan on the manager's folder; its output and error output, and
    // what it used when `usage` is given.
    int TwainScan(std::vector<std::string> args, std::string* output, rusage* usage = nullptr)
    {
        args.insert(args.begin(), {QBK_TWAINSCAN, "--folder", ManagerFolder().string()});
        plat::testing::ChildProcess child(std::move(args), plat::testing::ChildPipes::WithErrors);
        if (!child.Started())
            return -1;
        *output = child.RestOfOutput();
        return child.Wait(usage);
    }

    plat::testing::TempSystemRoot m_root;
    std::unique_ptr<plat::testing::ChildProcess> m_emulator;
    std::string m_installed;
};

} // namespace twainscan::testing
