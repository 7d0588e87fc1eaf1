// The end-to-end fixture: a fresh system root whose programs end with the
// test, the values devinstall prints, and the processes running a program of
// the root.
#pragma once

#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace scan::testing {

using plat::testing::ChildProcess;
using plat::testing::RunProgram;

inline std::string ReadDriverValue(const std::string& output, const std::string& name)
{
    const size_t at = output.find("  " + name + " ");
    if (at == std::string::npos)
        return {};
    const size_t start = output.find_first_not_of(' ', at + name.size() + 2);
    return output.substr(start, output.find('\n', start) - start);
}

// The processes whose program file lies under `folder`, with their program
// paths (a program file replaced or deleted since it started still counts).
inline std::vector<std::pair<pid_t, std::string>> ProgramsUnder(const std::string& folder)
{
    std::vector<std::pair<pid_t, std::string>> programs;
    const std::string deleted = " (deleted)";
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::error_code error;
        std::string exe = std::filesystem::read_symlink(entry.path() / "exe", error).string();
        if (error || exe.rfind(folder + "/", 0) != 0)
            continue;
        if (exe.ends_with(deleted))
            exe.resize(exe.size() - deleted.size());
        programs.emplace_back(std::stoi(entry.path().filename().string()), exe);
    }
    return programs;
}

// The processes running this program file.
inline std::vector<pid_t> ProcessesOf(const std::string& program)
{
    std::vector<pid_t> pids;
    for (const auto& [pid, exe] : ProgramsUnder(std::filesystem::path(program).parent_path().string()))
        if (exe == program)
            pids.push_back(pid);
    return pids;
}

class ScanEndToEndTest : public ::testing::Test {
protected:
    // A service copy left running by a failed step ends with the test.
    void TearDown() override { plat::testing::KillProgramsRunFrom(m_root.Path()); }

    plat::testing::TempSystemRoot m_root;
};

} // namespace scan::testing
