// The emulated scanner plugged in and installed on a fresh system root of
// its own, with its TWAIN data source in a manager's folder, as the whole-path
// benchmarks use it. The emulator and devinstall programs come from the
// build (QBK_EMULATOR, QBK_DEVINSTALL).
#pragma once

#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace bench {

class InstalledScanner {
public:
    InstalledScanner()
    {
        unsetenv("LD_LIBRARY_PATH");
        m_emulator = std::make_unique<plat::testing::ChildProcess>(
            std::vector<std::string>{QBK_EMULATOR, "--sheets", "0", "--serial", "twainbench01"});
        if (!m_emulator->Started() || m_emulator->ReadLine().rfind("device ", 0) != 0 ||
            m_emulator->ReadLine().rfind("ready ", 0) != 0) {
            m_failure = "the emulator does not start";
            return;
        }
        std::string output;
        if (plat::testing::RunProgram({QBK_DEVINSTALL, "install", "--twain-folder", Folder()}, &output) != 0)
            m_failure = "devinstall: " + output;
    }
    ~InstalledScanner() { plat::testing::KillProgramsRunFrom(m_root.Path()); }

    const std::string& Failure() const { return m_failure; }
    std::string Root() const { return m_root.Path(); }
    std::string Folder() const { return (std::filesystem::path(m_root.Path()) / "lib" / "twain").string(); }

    bool Load(int sheets)
    {
        std::string answer;
        return plat::testing::RunProgram(
                   {QBK_EMULATOR, "control", "--serial", "twainbench01", "load", std::to_string(sheets)}, &answer) == 0;
    }

private:
    plat::testing::TempSystemRoot m_root;
    std::unique_ptr<plat::testing::ChildProcess> m_emulator;
    std::string m_failure;
};

} // namespace bench
