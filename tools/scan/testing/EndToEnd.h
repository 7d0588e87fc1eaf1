// The end-to-end fixture: a fresh system root whose programs end with the
// test, the values devinstall prints, the processes running a program of
// the root, and pages collected whole as a scan delivers them.
#pragma once

#include "platform/testing/ChildProcess.h"
#include "platform/testing/TempSystemRoot.h"
#include "tools/scan/PagePattern.h"
#include "tools/scan/PipelineScan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace scan::testing {

using plat::testing::ChildProcess;
using plat::testing::RunProgram;

// Pages kept whole in memory, for a test to look at.
class CollectedPages final : public scan::PageSink {
public:
    struct Page {
        scan::PageFormat format;
        std::vector<BYTE> bytes;
        long height = 0;
        LONG level = 0;
        scan::PagePattern pattern;
    };

    bool BeginPage(const scan::PageFormat& format) override
    {
        m_open = Page{};
        m_open.format = format;
        m_check.Begin(format);
        return true;
    }
    bool AddLines(const BYTE* lines, size_t count) override
    {
        const size_t lineBytes = m_open.format.LineBytes();
        for (size_t i = 0; i < count; ++i)
            m_check.Line(lines + i * lineBytes);
        m_open.bytes.insert(m_open.bytes.end(), lines, lines + count * lineBytes);
        m_open.height += static_cast<long>(count);
        return true;
    }
    bool EndPage(LONG level) override
    {
        m_open.level = level;
        m_open.pattern = m_check.Result();
        pages.push_back(std::move(m_open));
        if (onPageEnd)
            onPageEnd(pages.back());
        return true;
    }
    void AbandonPage() override { ++abandoned; }

    std::vector<Page> pages;
    int abandoned = 0;
    // Runs as each page ends, inside the session.
    std::function<void(const Page&)> onPageEnd;

private:
    Page m_open;
    scan::PatternCheck m_check;
};

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
