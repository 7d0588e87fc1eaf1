#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/eventlog/eventlog.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/Wait.h"
#include "platform/registry/winreg.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr DWORD kSafetyNetMs = 30000; // only a guard: the event comes first

class EventLogTest : public ::testing::Test {
protected:
    std::vector<std::string> Lines(const std::string& log = "Application") const
    {
        std::vector<std::string> lines;
        std::ifstream file(m_root.Path() + "/log/eventlog/" + log + ".log");
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    // The record without its time stamp and process id.
    static std::string Body(const std::string& line)
    {
        size_t second = line.find('\t', line.find('\t') + 1);
        return second == std::string::npos ? line : line.substr(second + 1);
    }

    // Runs the writer program to its end; its exit code.
    int RunWriter(const std::string& source, const std::string& text, bool watch = false)
    {
        std::vector<std::string> args{QBK_EVENTLOG_WRITER, source, text};
        if (watch)
            args.push_back("--watch");
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    plat::testing::TempSystemRoot m_root;
};

TEST_F(EventLogTest, ReportEventAppendsOneLinePerRecord)
{
    HANDLE source = RegisterEventSourceW(nullptr, u"QBK Test");
    ASSERT_NE(source, nullptr);
    LPCWSTR strings[] = {u"Service started", u"tab\there\nand line", nullptr};
    BYTE data[] = {0x01, 0xAB};
    ASSERT_TRUE(ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr));
    ASSERT_TRUE(ReportEventW(source, EVENTLOG_ERROR_TYPE, 3, 0xC0000102u, nullptr, 3, sizeof data, strings, data));
    LPCSTR narrow[] = {"\xC3\xA4rger"};
    HANDLE narrowSource = RegisterEventSourceA(".", "Narrow Source");
    ASSERT_TRUE(ReportEventA(narrowSource, 0x40, 1, 7, nullptr, 1, 0, narrow, nullptr));
    EXPECT_TRUE(DeregisterEventSource(narrowSource));

    auto lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Body(lines[0]), "source=QBK Test\ttype=Information\tcategory=0\tid=0\tstrings=1\tService started\tdata=");
    EXPECT_EQ(Body(lines[1]), "source=QBK Test\ttype=Error\tcategory=3\tid=3221225730\tstrings=3\tService started"
                              "\ttab\\there\\nand line\t\tdata=01AB");
    EXPECT_EQ(Body(lines[2]), "source=Narrow Source\ttype=0x0040\tcategory=1\tid=7\tstrings=1\t\xC3\xA4rger\tdata=");
    EXPECT_EQ(lines[0].substr(0, 2), "20");
    EXPECT_NE(lines[0].find("\tpid=" + std::to_string(getpid()) + "\t"), std::string::npos);
    EXPECT_TRUE(DeregisterEventSource(source));
}

TEST_F(EventLogTest, BadHandlesAndArgumentsAreRefused)
{
    HANDLE source = RegisterEventSourceW(nullptr, u"QBK Test");
    ASSERT_NE(source, nullptr);
    BYTE data[4] = {};
    struct Case {
        WORD numStrings;
        LPCWSTR* strings;
        DWORD dataSize;
        void* data;
    };
    std::u16string tooLong(31840, u'x');
    LPCWSTR longStrings[] = {tooLong.c_str()};
    for (auto [count, strings, size, raw] : {Case{1, nullptr, 0, nullptr}, Case{0, nullptr, 4, nullptr},
                                             Case{0, nullptr, 61441, data}, Case{1, longStrings, 0, nullptr}}) {
        SetLastError(0);
        EXPECT_FALSE(ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, count, size, strings, raw));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_TRUE(Lines().empty());

    EXPECT_EQ(RegisterEventSourceW(u"\\\\elsewhere", u"QBK Test"), nullptr);
    EXPECT_EQ(RegisterEventSourceW(nullptr, u""), nullptr);
    EXPECT_TRUE(DeregisterEventSource(source));
    EXPECT_FALSE(DeregisterEventSource(source));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    HANDLE log = OpenEventLogW(nullptr, u"Application");
    HANDLE notAnEvent = reinterpret_cast<HANDLE>(0x1234);
    EXPECT_FALSE(NotifyChangeEventLog(log, notAnEvent));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(DeregisterEventSource(log)); // a log handle is not a source handle
    EXPECT_TRUE(CloseEventLog(log));
}

TEST_F(EventLogTest, RegisteredSourcesWriteToTheirLog)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\QbkDriver",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    HANDLE source = RegisterEventSourceW(nullptr, u"qbkdriver");
    LPCWSTR strings[] = {u"to the system log"};
    ASSERT_TRUE(ReportEventW(source, EVENTLOG_WARNING_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr));
    DeregisterEventSource(source);
    EXPECT_EQ(Lines("System").size(), 1u);
    EXPECT_TRUE(Lines("Application").empty());
}

TEST_F(EventLogTest, AReportFromAnotherProcessSignalsTheChangeEvent)
{
    HANDLE source = RegisterEventSourceW(nullptr, u"RNX Configure.Configure");
    HANDLE changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_TRUE(NotifyChangeEventLog(source, changed));
    EXPECT_EQ(WaitForSingleObject(changed, 0), WAIT_TIMEOUT);

    ASSERT_EQ(RunWriter("DiagnosticsConfig", "settings changed"), 0);
    EXPECT_EQ(WaitForSingleObject(changed, kSafetyNetMs), WAIT_OBJECT_0);
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_NE(Lines()[0].find("source=DiagnosticsConfig"), std::string::npos);

    // The writer itself can watch too, and ends with its watcher running.
    ASSERT_EQ(RunWriter("DiagnosticsConfig", "again", true), 0);
    EXPECT_EQ(WaitForSingleObject(changed, kSafetyNetMs), WAIT_OBJECT_0);

    // Once the log handle is closed the event is left alone.
    ASSERT_TRUE(DeregisterEventSource(source));
    ResetEvent(changed);
    ASSERT_EQ(RunWriter("DiagnosticsConfig", "after"), 0);
    HANDLE probe = RegisterEventSourceW(nullptr, u"Probe");
    HANDLE probeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(NotifyChangeEventLog(probe, probeEvent));
    LPCWSTR strings[] = {u"probe"};
    ASSERT_TRUE(ReportEventW(probe, EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr));
    ASSERT_EQ(WaitForSingleObject(probeEvent, kSafetyNetMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(changed, 0), WAIT_TIMEOUT);
    DeregisterEventSource(probe);
    CloseHandle(probeEvent);
    CloseHandle(changed);
}

TEST_F(EventLogTest, AReportFromAnotherThreadSignalsEveryWatcher)
{
    HANDLE source = RegisterEventSourceW(nullptr, u"Watcher One");
    HANDLE log = OpenEventLogW(nullptr, u"application");
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(NotifyChangeEventLog(source, first));
    ASSERT_TRUE(NotifyChangeEventLog(log, second));
    // The log keeps the event even when its handle is closed at once.
    CloseHandle(second);

    std::thread writer([] {
        HANDLE other = RegisterEventSourceW(nullptr, u"Other Thread");
        LPCWSTR strings[] = {u"from a thread"};
        ReportEventW(other, EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
        DeregisterEventSource(other);
    });
    writer.join();
    EXPECT_EQ(WaitForSingleObject(first, kSafetyNetMs), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseEventLog(log));
    EXPECT_TRUE(DeregisterEventSource(source));
    CloseHandle(first);
}

} // namespace
