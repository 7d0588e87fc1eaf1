// Installing the scanner again beside running scans: the hardware service
// and its clients keep the libraries they have loaded, so one service
// process serves every session before, during and after a reinstallation,
// whichever client holds the scanner's lock.
#include "platform/base/strings.h"
#include "tools/scan/PagePattern.h"
#include "tools/scan/PipelineScan.h"
#include "tools/scan/ServiceSession.h"
#include "tools/scan/testing/EndToEnd.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace scan::testing;

class ReinstallTest : public ScanEndToEndTest {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }

    void TearDown() override
    {
        CoUninitialize();
        ScanEndToEndTest::TearDown();
    }

    void PlugInScanner(int sheets)
    {
        m_emulator = std::make_unique<ChildProcess>(
            std::vector<std::string>{QBK_EMULATOR, "--sheets", std::to_string(sheets), "--serial", "again01"});
        ASSERT_TRUE(m_emulator->Started());
        ASSERT_EQ(m_emulator->ReadLine().rfind("device ", 0), 0u);
        ASSERT_EQ(m_emulator->ReadLine().rfind("ready ", 0), 0u);
    }

    void Install()
    {
        std::string output;
        ASSERT_EQ(RunProgram({QBK_DEVINSTALL, "install"}, &output), 0) << output;
        m_halPath = ReadDriverValue(output, "HAL_PATH");
        m_halClass = ReadDriverValue(output, "HAL_CLSID");
        ASSERT_TRUE(fs::is_regular_file(m_halPath)) << output;
    }

    // The one process running the instance's service copy.
    pid_t ServiceProcess() const
    {
        const std::vector<pid_t> pids = ProcessesOf(m_halPath);
        return pids.size() == 1 ? pids.front() : -1;
    }

    static scan::ScanSettings OnePageSettings(int pages)
    {
        scan::ScanSettings settings;
        settings.width = 2000;
        settings.height = 3000;
        settings.dpi = 100;
        settings.bitsPerPixel = 8;
        settings.duplex = false;
        settings.pages = pages;
        return settings;
    }

    // A session of this process as client: `pages` front sides, each
    // checked to be the next sheet of the feeder with every line in order.
    // `afterFirstPage` runs inside the session, the scanner locked.
    void ScanHere(int pages, const std::function<void()>& afterFirstPage = {})
    {
        CLSID serviceClass{};
        ASSERT_EQ(CLSIDFromString(Utf8ToUtf16(m_halClass).c_str(), &serviceClass), S_OK);
        CollectedPages collected;
        collected.onPageEnd = [&](const CollectedPages::Page&) {
            if (collected.pages.size() == 1 && afterFirstPage)
                afterFirstPage();
        };
        scan::ScanResult result;
        {
            scan::ServiceSession session;
            ASSERT_EQ(session.Open(serviceClass), scan::ServiceSession::Opened::Ready);
            result = scan::ScanThroughPipeline(session.Service(), OnePageSettings(pages), collected);
            EXPECT_TRUE(session.Close());
        }
        ASSERT_TRUE(result.Succeeded()) << result.failedStep << " 0x" << std::hex << result.result;
        ASSERT_EQ(collected.pages.size(), static_cast<size_t>(pages));
        for (int i = 0; i < pages; ++i)
            ExpectSheet(collected.pages[static_cast<size_t>(i)].pattern, m_sheetsScanned + i);
        m_sheetsScanned += pages;
    }

    // A session of the scan tool as the other client: one page into a file.
    void ScanWithTool()
    {
        const std::string folder = m_root.Path() + "/scans-" + std::to_string(m_sheetsScanned);
        std::filesystem::create_directories(folder);
        std::string output;
        ASSERT_EQ(RunProgram({QBK_SCAN, "--simplex", "--pages", "1", "--width", "2000", "--height", "3000", "--dpi",
                              "100", "--bits", "8", "--out", folder},
                             &output),
                  0)
            << output;
        ExpectSheet(ReadGrayPage(folder + "/page-001.pgm"), m_sheetsScanned++);
    }

    // The scan tool while this process holds the lock: refused, and no
    // sheet is fed.
    void ToolIsRefused()
    {
        std::string output;
        std::filesystem::create_directories(m_root.Path() + "/refused");
        EXPECT_NE(RunProgram({QBK_SCAN, "--simplex", "--pages", "1", "--out", m_root.Path() + "/refused"}, &output), 0)
            << output;
    }

    void Reinstall()
    {
        std::string output;
        ASSERT_EQ(RunProgram({QBK_DEVINSTALL, "install"}, &output), 0) << output;
        EXPECT_EQ(ReadDriverValue(output, "HAL_PATH"), m_halPath);
    }

    static void ExpectSheet(const scan::PagePattern& pattern, int sheet)
    {
        SCOPED_TRACE("sheet " + std::to_string(sheet));
        ASSERT_TRUE(pattern.valid);
        EXPECT_EQ(pattern.sheet, static_cast<std::uint32_t>(sheet % 8));
        EXPECT_EQ(pattern.side, 0u);
        EXPECT_TRUE(pattern.linesInOrder) << "first line out of pattern: " << pattern.firstBadLine;
    }

    // The pattern of a P5 file as the scan tool writes it.
    static scan::PagePattern ReadGrayPage(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        std::string magic;
        int maxValue = 0;
        scan::PageFormat format;
        long height = 0;
        file >> magic >> format.width >> height >> maxValue;
        file.get();
        EXPECT_EQ(magic, "P5") << path;
        format.bitsPerPixel = 8;
        scan::PatternCheck check;
        check.Begin(format);
        std::vector<BYTE> line(format.LineBytes());
        for (long y = 0; y < height && file.read(reinterpret_cast<char*>(line.data()), line.size()); ++y)
            check.Line(line.data());
        return check.Result();
    }

    std::unique_ptr<ChildProcess> m_emulator;
    std::string m_halPath;
    std::string m_halClass;
    int m_sheetsScanned = 0;
};

// A reinstallation while a scan runs: the scan goes on to its end through
// the same service process.
TEST_F(ReinstallTest, AScanOutlivesAReinstallationInItsMiddle)
{
    ASSERT_NO_FATAL_FAILURE(PlugInScanner(3));
    ASSERT_NO_FATAL_FAILURE(Install());
    ASSERT_NO_FATAL_FAILURE(ScanHere(1));
    const pid_t service = ServiceProcess();
    ASSERT_GT(service, 0);

    ASSERT_NO_FATAL_FAILURE(ScanHere(2, [&] { Reinstall(); }));
    EXPECT_EQ(ServiceProcess(), service);
}

// Many sessions against one service: in a row, and two clients taking
// turns with the lock, with reinstallations between them.
TEST_F(ReinstallTest, OneServiceProcessServesEverySessionAcrossReinstallations)
{
    ASSERT_NO_FATAL_FAILURE(PlugInScanner(14));
    ASSERT_NO_FATAL_FAILURE(Install());
    ASSERT_NO_FATAL_FAILURE(ScanHere(1));
    const pid_t service = ServiceProcess();
    ASSERT_GT(service, 0);

    for (int session = 0; session < 4; ++session) {
        SCOPED_TRACE("in a row, session " + std::to_string(session));
        ASSERT_NO_FATAL_FAILURE(ScanHere(1));
        if (session % 2 == 1) {
            ASSERT_NO_FATAL_FAILURE(Reinstall());
        }
        EXPECT_EQ(ServiceProcess(), service);
    }
    for (int turn = 0; turn < 3; ++turn) {
        SCOPED_TRACE("taking turns, turn " + std::to_string(turn));
        // While this process holds the lock the tool is refused; then it
        // gets its turn.
        ASSERT_NO_FATAL_FAILURE(ScanHere(2, [&] { ToolIsRefused(); }));
        ASSERT_NO_FATAL_FAILURE(Reinstall());
        ASSERT_NO_FATAL_FAILURE(ScanWithTool());
        EXPECT_EQ(ServiceProcess(), service);
    }
    EXPECT_EQ(m_sheetsScanned, 14);
}

} // namespace
