// Scanner faults as a user meets them: the emulator program as the
// plugged-in scanner, installed through the co-installer, the hardware
// service in its own process, and the scan tool run as a program. Each fault
// is set through the emulator's control command; the tool must name it at
// once, keep the pages finished before it whole (and only those), exit with
// 1, and the next scan must work. Reads that end short, anywhere in a line,
// are no fault: the pages come whole.
#include "emulator/testing/StatusAnswer.h"
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "platform/base/strings.h"
#include "platform/com/ComPtr.h"
#include "platform/testing/ChildProcess.h"
#include "platform/testing/Sanitizers.h"
#include "platform/testing/TempSystemRoot.h"
#include "tools/scan/testing/EndToEnd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using emulator::testing::StatusValue;
using plat::testing::ChildPipes;
using plat::testing::ChildProcess;
using Clock = std::chrono::steady_clock;

constexpr const char* kSerial = "fault01";
// 2 in by 3 in at 100 dpi, 8 bit: pages of 192 x 300 lines, 57600 bytes.
const std::vector<std::string> kSmallPages = {"--dpi", "100", "--width", "2000", "--height", "3000"};
// Where a fault strikes inside the second sheet's front page.
constexpr const char* kMidPage = "sheet=1 offset=20000";

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// One run of the scan tool, its output line by line as it came.
struct ScanRun {
    int exitCode = -1;
    std::vector<std::string> lines;
    std::vector<std::string> pages; // the "page N: ..." lines
    std::string failure;            // the "scan: failed: ..." line
    double seconds = 0;             // from the start to the failure line, or to the end
    double lastPageSeconds = 0;     // from the start to the last page line
    std::string Output() const
    {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\n";
        return text;
    }
};

class ScanFaultsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_emulator = std::make_unique<ChildProcess>(
            std::vector<std::string>{QBK_EMULATOR, "--sheets", "0", "--serial", kSerial});
        ASSERT_TRUE(m_emulator->Started());
        ASSERT_EQ(m_emulator->ReadLine().rfind("device ", 0), 0u);
        ASSERT_EQ(m_emulator->ReadLine().rfind("ready ", 0), 0u);
        ChildProcess install({QBK_DEVINSTALL, "install"}, ChildPipes::WithErrors);
        const std::string output = install.RestOfOutput();
        ASSERT_EQ(install.Wait(), 0) << output;
        m_serviceClass = scan::testing::ReadDriverValue(output, "HAL_CLSID");
        ASSERT_EQ(m_serviceClass.size(), 38u) << output;
    }
    // The service copy is this root's; nothing else is ended.
    void TearDown() override { plat::testing::KillProgramsRunFrom(m_root.Path()); }

    std::vector<pid_t> RootProcesses() const
    {
        std::vector<pid_t> found;
        for (const auto& [pid, exe] : scan::testing::ProgramsUnder(m_root.Path()))
            found.push_back(pid);
        return found;
    }

    // Sends the emulator a control line; its answer.
    std::string Control(const std::string& line)
    {
        std::vector<std::string> args = {QBK_EMULATOR, "control", "--serial", kSerial};
        size_t from = 0;
        for (size_t space; (space = line.find(' ', from)) != std::string::npos; from = space + 1)
            args.push_back(line.substr(from, space - from));
        args.push_back(line.substr(from));
        ChildProcess control(args, ChildPipes::WithErrors);
        const std::string answer = control.RestOfOutput();
        EXPECT_EQ(control.Wait(), 0) << line << ": " << answer;
        // Plugged in again: the service's device notice and the next open
        // need the node, which the emulator makes before it answers.
        return answer;
    }

    // Runs the scan tool to its end; `onLine` sees each line as it comes.
    ScanRun Scan(std::vector<std::string> extra = {}, const std::function<void(const std::string&)>& onLine = nullptr)
    {
        const std::string folder = m_root.Path() + "/scan" + std::to_string(++m_scans);
        std::filesystem::create_directories(folder);
        std::vector<std::string> args = {QBK_SCAN, "--out", folder};
        args.insert(args.end(), kSmallPages.begin(), kSmallPages.end());
        args.insert(args.end(), extra.begin(), extra.end());
        ScanRun run;
        const Clock::time_point start = Clock::now();
        ChildProcess scan(args, ChildPipes::WithErrors);
        for (std::string line; !(line = scan.ReadLine()).empty();) {
            run.lines.push_back(line);
            if (line.rfind("page ", 0) == 0) {
                run.pages.push_back(line);
                run.lastPageSeconds = Seconds(Clock::now() - start);
            }
            if (line.rfind("scan: failed: ", 0) == 0) {
                run.failure = line;
                run.seconds = Seconds(Clock::now() - start);
            }
            if (onLine)
                onLine(line);
        }
        run.exitCode = scan.Wait();
        if (run.failure.empty())
            run.seconds = Seconds(Clock::now() - start);
        return run;
    }

    // The pages finished are the first sheets' sides in order, each whole,
    // and only their files are there.
    void ExpectPagesBefore(const ScanRun& run, size_t count)
    {
        ASSERT_EQ(run.pages.size(), count) << run.Output();
        for (size_t i = 0; i < count; ++i) {
            const std::string expected =
                "page " + std::to_string(i + 1) + ": 192 x 300, 8 bit, 57600 bytes -> page-00" + std::to_string(i + 1) +
                ".pgm (sheet " + std::to_string(i / 2) + (i % 2 == 0 ? " front" : " back") + ", 300 lines in order)";
            EXPECT_EQ(run.pages[i], expected);
        }
        const fs::path folder = m_root.Path() + "/scan" + std::to_string(m_scans);
        size_t files = 0;
        for (const auto& entry : fs::directory_iterator(folder)) {
            EXPECT_EQ(entry.file_size(), 57600u + 22u) << entry.path();
            ++files;
        }
        EXPECT_EQ(files, count);
    }

    // The service answers again and the scanner is on-line and free: after
    // a replug, a killed service or a fault the service recovers in its own
    // time, which is waited for by asking it, within a generous bound.
    void WaitForTheScannerToServe()
    {
        CLSID serviceClass{};
        ASSERT_EQ(CLSIDFromString(Utf8ToUtf16(m_serviceClass).c_str(), &serviceClass), S_OK);
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        bool serving = false;
        for (const Clock::time_point end = Clock::now() + std::chrono::seconds(60); !serving && Clock::now() < end;) {
            plat::ComPtr<IRNXHALS> service;
            LONG status = -1;
            if (CoCreateInstance(serviceClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS,
                                 service.ReleaseAndGetVoidAddress()) == S_OK &&
                service->Initialize(&status) == S_OK && status == 0) {
                serving =
                    service->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status) == S_OK && status == 0;
                if (serving)
                    service->UnlockScanner(&status);
                service->Uninitialize();
            }
            if (!serving)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        CoUninitialize();
        EXPECT_TRUE(serving) << "the service did not serve the scanner again within 60 s";
    }

    // A scan of one sheet, both sides, that works.
    void ExpectAScanWorks()
    {
        WaitForTheScannerToServe();
        Control("load 1");
        const ScanRun run = Scan();
        EXPECT_EQ(run.exitCode, 0) << run.Output();
        ExpectPagesBefore(run, 2);
    }

    plat::testing::TempSystemRoot m_root;
    std::unique_ptr<ChildProcess> m_emulator;
    std::string m_serviceClass;
    int m_scans = 0;
};

TEST_F(ScanFaultsTest, EachFaultIsNamedAtOnceAndThePagesBeforeItStayWhole)
{
    // clang-format off
    const struct {
        const char* name;
        std::vector<std::string> setup; // control lines
        std::vector<std::string> options;
        const char* words;
        size_t pagesBefore;
        std::vector<std::string> after; // control lines that end the fault
    } cases[] = {
        {"jam mid-page", {"load 2", std::string("fault jam ") + kMidPage}, {}, "jam (status 8)", 2, {}},
        {"double feed", {"load 2", std::string("fault double-feed ") + kMidPage}, {"--double-feed"},
         "double feed (status 3)", 2, {}},
        {"skew", {"load 2", "fault skew sheet=0 offset=20000"}, {"--stop-on-skew"}, "skewed page (status 9)", 0, {}},
        {"cover opened mid-job", {"load 2", std::string("fault cover-open ") + kMidPage}, {},
         "cover open (status 7)", 2, {"cover closed"}},
        {"cover open before", {"load 2", "cover open"}, {}, "cover open (status 7)", 0, {"cover closed"}},
        {"no paper", {"load 0"}, {}, "no paper (status 2)", 0, {}},
        {"stalled READ", {"load 2", std::string("fault stall-in opcode=0x28 ") + kMidPage}, {},
         "scanner error (status 1)", 2, {}},
        {"unplugged mid-page", {"load 2", std::string("fault unplug ") + kMidPage}, {}, "scanner unplugged", 2,
         {"replug"}},
        {"unplugged before", {"load 2", "unplug"}, {}, "scanner unplugged", 0, {"replug"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& line : c.setup)
            Control(line);
        const ScanRun run = Scan(c.options);
        EXPECT_EQ(run.exitCode, 1) << run.Output();
        EXPECT_EQ(run.failure.rfind(std::string("scan: failed: ") + c.words, 0), 0u) << run.Output();
        ExpectPagesBefore(run, c.pagesBefore);
        // No fault here waits for a time-out: the whole run is short.
        EXPECT_LT(run.seconds, 5.0);
        for (const std::string& line : c.after)
            Control(line);
    }
    ExpectAScanWorks();
}

// A scanner's READ may end anywhere, inside a line too: no fault at all.
// Whatever byte counts the reads end at, both sides come whole, every line
// in order.
TEST_F(ScanFaultsTest, ReadsEndingAtOddByteCountsLeaveEveryLineInOrder)
{
    const struct {
        const char* bits;
        const char* maxRead; // lines of 24, 192 and 576 bytes
        const char* pageBytes;
        const char* extension;
    } cases[] = {
        {"1", "3601", "7200", "pbm"},
        {"8", "28799", "57600", "pgm"},
        {"24", "57601", "172800", "ppm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.bits) + " bit, at most " + c.maxRead + " bytes a read");
        Control(std::string("max-read ") + c.maxRead);
        Control("load 1");
        const long cappedBefore = StatusValue(Control("status"), "capped-reads");
        const ScanRun run = Scan({"--bits", c.bits});
        EXPECT_EQ(run.exitCode, 0) << run.Output();
        EXPECT_GT(StatusValue(Control("status"), "capped-reads"), cappedBefore) << "no read ended short";
        ASSERT_EQ(run.pages.size(), 2u) << run.Output();
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(run.pages[i], "page " + std::to_string(i + 1) + ": 192 x 300, " + c.bits + " bit, " +
                                        c.pageBytes + " bytes -> page-00" + std::to_string(i + 1) + "." + c.extension +
                                        " (sheet 0 " + (i == 0 ? "front" : "back") + ", 300 lines in order)");
        }
    }
    Control("max-read 0");
}

// Ctrl-C (or SIGTERM) while pages come in: the scan is cancelled through
// the service with status 130, the pages already whole stay, no part of a
// page is left, and the next scan works.
TEST_F(ScanFaultsTest, AnInterruptCancelsTheScanKeepingTheWholePages)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        Control("load 5");
        const std::string folder = m_root.Path() + "/interrupted" + std::to_string(signal);
        fs::create_directories(folder);
        std::vector<std::string> args = {QBK_SCAN, "--simplex", "--out", folder};
        args.insert(args.end(), kSmallPages.begin(), kSmallPages.end());
        ChildProcess scan(args, ChildPipes::WithErrors);
        const std::string seen = scan.ReadThrough("scanning page 2:");
        ASSERT_NE(seen.find("scanning page 2:"), std::string::npos) << seen;
        scan.Signal(signal);
        const std::string rest = scan.RestOfOutput();
        EXPECT_EQ(scan.Wait(), 130) << seen << rest;
        EXPECT_NE(rest.find("scan: interrupted; "), std::string::npos) << rest;
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(folder))
            files.push_back(entry.path().filename().string());
        std::sort(files.begin(), files.end());
        ASSERT_FALSE(files.empty());
        EXPECT_LT(files.size(), 5u) << "the scan went on";
        for (size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(files[i], "page-00" + std::to_string(i + 1) + ".pgm") << "no part file is left";
            EXPECT_GT(fs::file_size(fs::path(folder) / files[i]), 57600u) << files[i] << " is whole";
        }
    }
    const ScanRun after = Scan({"--simplex", "--pages", "1"});
    EXPECT_EQ(after.exitCode, 0) << after.Output();
}

TEST_F(ScanFaultsTest, AScannerLockedByAnotherClientIsSaidSo)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    {
        CLSID serviceClass{};
        ASSERT_EQ(CLSIDFromString(Utf8ToUtf16(m_serviceClass).c_str(), &serviceClass), S_OK);
        plat::ComPtr<IRNXHALS> other;
        ASSERT_EQ(CoCreateInstance(serviceClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS,
                                   other.ReleaseAndGetVoidAddress()),
                  S_OK);
        LONG status = -1;
        ASSERT_EQ(other->Initialize(&status), S_OK);
        ASSERT_EQ(other->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status), S_OK);
        ASSERT_EQ(status, 0);

        Control("load 1");
        const ScanRun run = Scan();
        EXPECT_EQ(run.exitCode, 1) << run.Output();
        EXPECT_EQ(run.failure, "scan: failed: locked by another client") << run.Output();

        EXPECT_EQ(other->UnlockScanner(&status), S_OK);
        EXPECT_EQ(other->Uninitialize(), S_OK);
    }
    CoUninitialize();
    ExpectAScanWorks();
}

TEST_F(ScanFaultsTest, AServiceKilledMidPageIsNamedWithinASecond)
{
    // The scanner answers BUSY from the middle of the third page on, so the
    // service is inside that page whenever it is killed.
    Control("load 2");
    Control(std::string("fault busy count=0xFFFFFFFF ") + kMidPage);
    Clock::time_point killed{};
    const ScanRun run = Scan({}, [&](const std::string& line) {
        if (line.rfind("page 2:", 0) != 0)
            return;
        const std::vector<pid_t> service = RootProcesses();
        ASSERT_EQ(service.size(), 1u);
        killed = Clock::now();
        ::kill(service.front(), SIGKILL);
    });
    ASSERT_NE(killed, Clock::time_point{}) << run.Output();
    EXPECT_EQ(run.exitCode, 1) << run.Output();
    EXPECT_EQ(run.failure, "scan: failed: service gone; pages written before it: 2") << run.Output();
    ExpectPagesBefore(run, 2);
    EXPECT_LT(Seconds(Clock::now() - killed), 1.0);

    // Plugged in again the scanner is itself again, and the next scan starts
    // a new service.
    Control("unplug");
    Control("replug");
    ExpectAScanWorks();
}

TEST_F(ScanFaultsTest, AScannerBusyForEverFailsThePageAtTheTransportsBound)
{
    Control("load 2");
    Control(std::string("fault busy count=0xFFFFFFFF ") + kMidPage);
    const ScanRun run = Scan();
    EXPECT_EQ(run.exitCode, 1) << run.Output();
    EXPECT_EQ(run.failure, "scan: failed: scanner error (status 1); pages written before it: 2") << run.Output();
    ExpectPagesBefore(run, 2);
    // Four transfer time-outs of BUSY answers after the second page, then
    // the report.
    const double afterPage = run.seconds - run.lastPageSeconds;
    EXPECT_GT(afterPage, 40.0);
    EXPECT_LT(afterPage, 45.0);

    Control("unplug");
    Control("replug");
    ExpectAScanWorks();
}

// A scan keeps one band in memory, not its pages: three sheets take no more
// than one.
TEST_F(ScanFaultsTest, PagesStreamToTheirFilesInFlatMemory)
{
    if (plat::testing::kAddressSanitizer)
        GTEST_SKIP() << "freed memory stays in the sanitizer's quarantine";
    auto peakMemory = [&](int sheets) {
        Control("load " + std::to_string(sheets));
        const std::string folder = m_root.Path() + "/big" + std::to_string(sheets);
        std::filesystem::create_directories(folder);
        std::vector<std::string> args = {QBK_SCAN, "--out", folder, "--dpi", "100", "--bits", "24"};
        ChildProcess scan(args, ChildPipes::WithErrors);
        const std::string output = scan.RestOfOutput();
        rusage usage{};
        EXPECT_EQ(scan.Wait(&usage), 0) << output;
        return usage.ru_maxrss; // KiB
    };
    const long one = peakMemory(1);
    const long three = peakMemory(3);
    // Four more letter pages in colour would show as 11 MiB.
    EXPECT_LT(three - one, 4 * 1024) << "one sheet " << one << " KiB, three " << three << " KiB";
}

} // namespace
