// Starting and waiting, ending a process by its file's path, and net.exe
// by display name.
#include "coinst/ProcessHelpers.h"
#include "platform/services/ServiceControl.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr DWORD kSafetyNetMs = 30000; // only a guard: processes end on a signal first

class ProcessHelpersTest : public ::testing::Test {
protected:
    ~ProcessHelpersTest() override
    {
        for (HANDLE process : m_started) {
            TerminateProcess(process, 0);
            WaitForSingleObject(process, kSafetyNetMs);
            CloseHandle(process);
        }
    }

    // A long sleeper running under the given file name (in the system root
    // unless another folder is named).
    HANDLE StartSleeper(const std::string& fileName, const std::string& folder = {})
    {
        const std::string path = (folder.empty() ? m_root.Path() : folder) + "/" + fileName;
        EXPECT_TRUE(CopyFileA("/bin/sleep", path.c_str(), FALSE));
        std::u16string line = Utf8ToUtf16("\"" + path + "\" 600");
        STARTUPINFOW startup = {};
        PROCESS_INFORMATION info = {};
        EXPECT_TRUE(
            CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
        CloseHandle(info.hThread);
        m_started.push_back(info.hProcess);
        return info.hProcess;
    }

    plat::testing::TempSystemRoot m_root;
    std::vector<HANDLE> m_started;
};

TEST_F(ProcessHelpersTest, RunProcessAndWaitGivesTheExitCodeOrTheStartError)
{
    EXPECT_EQ(coinst::RunProcessAndWait(u"/bin/sh", u"", u"-c \"exit 3\""), 3u);
    // Arguments that begin with a blank are taken as they are.
    EXPECT_EQ(coinst::RunProcessAndWait(u"/bin/sh", u"", u" -c \"exit 0\""), 0u);
    EXPECT_EQ(coinst::RunProcessAndWait(u"/no/such/program.exe", u"", u""), DWORD(ERROR_FILE_NOT_FOUND));
}

// A command line is as long as what it holds (a deep system root named
// twice), and reaches the program whole.
TEST_F(ProcessHelpersTest, StartAndWaitRunsCommandLinesOfAnyLengthWhole)
{
    EXPECT_TRUE(coinst::StartAndWait(u"/bin/true", u""));
    const std::u16string text(600, u'a');
    ASSERT_TRUE(coinst::StartAndWait(u"/bin/sh -c \"printf %s " + text + u" > long.txt\"", Utf8ToUtf16(m_root.Path())));
    std::ifstream written(m_root.Path() + "/long.txt");
    EXPECT_EQ(std::string(600, 'a'), std::string(std::istreambuf_iterator<char>(written), {}));
    EXPECT_FALSE(coinst::StartAndWait(u"/no/such/program", u""));
}

TEST_F(ProcessHelpersTest, GetDirectoryPartKeepsTheLastSeparator)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"C:\\Windows\\System32\\RNX\\A_0000_0.EXE", u"C:\\Windows\\System32\\RNX\\"},
        {u"/root/system/RNX/A_0000_0.EXE", u"/root/system/RNX/"},
        {u"A.EXE", u""},
    };
    for (const auto& [path, folder] : cases)
        EXPECT_EQ(coinst::GetDirectoryPart(path), folder);
}

TEST_F(ProcessHelpersTest, KillProcessByPathEndsTheProcessOfThatFileName)
{
    struct Case {
        std::string runningAs;
        std::u16string killPath;
        bool ended;
    };
    const Case cases[] = {
        // Case does not matter; a file name reported without its extension matches too.
        {"sleeper_a.exe", u"C:\\Windows\\SLEEPER_A.EXE", true},
        {"sleeper_b", u"/elsewhere/Sleeper_B.EXE", true},
        // A path whose file name has no extension compares the whole name only.
        {"sleeper_c.exe", u"C:\\Windows\\sleeper_c", false},
        {"sleeper_d.exe", u"sleeper_d.exe", false}, // no folder at all
        {"sleeper_e.exe", u"C:\\Windows\\other.exe", false},
    };
    for (const Case& c : cases) {
        HANDLE process = StartSleeper(c.runningAs);
        EXPECT_EQ(coinst::KillProcessByPath(c.killPath), c.ended) << c.runningAs;
        if (c.ended) {
            EXPECT_EQ(WaitForSingleObject(process, kSafetyNetMs), WAIT_OBJECT_0) << c.runningAs;
            DWORD code = STILL_ACTIVE;
            EXPECT_TRUE(GetExitCodeProcess(process, &code));
            EXPECT_EQ(code, 0u);
        } else {
            EXPECT_EQ(WaitForSingleObject(process, 0), DWORD(WAIT_TIMEOUT)) << c.runningAs;
        }
    }
}

// Two systems on one machine: removing this system's service copy never
// ends another system's copy of the same name.
TEST_F(ProcessHelpersTest, RemovalEndsOnlyTheCopyOfItsOwnSystem)
{
    const std::string name = "RNXQBK24_0000_0.EXE";
    HANDLE otherSystemsCopy = StartSleeper(name);
    plat::testing::TempSystemRoot thisSystem;
    HANDLE ownCopy = StartSleeper(name, thisSystem.Path());

    coinst::RegisterHAL(Utf8ToUtf16(thisSystem.Path() + "/" + name), false);
    EXPECT_EQ(WaitForSingleObject(ownCopy, kSafetyNetMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(otherSystemsCopy, 0), DWORD(WAIT_TIMEOUT));
    // With no copy of its own left running, nothing is ended.
    EXPECT_FALSE(coinst::KillProcessByPath(Utf8ToUtf16(thisSystem.Path() + "/" + name)));
    EXPECT_EQ(WaitForSingleObject(otherSystemsCopy, 0), DWORD(WAIT_TIMEOUT));
}

class NetCommandTest : public ProcessHelpersTest {
protected:
    void SetUp() override
    {
        SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(scm, nullptr);
        const std::u16string command =
            Utf8ToUtf16("\"" + std::string(QBK_TEST_SERVICE) + "\" --record \"" + m_root.Path() + "/record.txt\"");
        m_service = CreateServiceW(scm, u"QbkMonitor", u"Tessivo 4.0 Monitor", SERVICE_ALL_ACCESS,
                                   SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                   command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
        CloseServiceHandle(scm);
        ASSERT_NE(m_service, nullptr) << GetLastError();
    }

    void TearDown() override
    {
        SERVICE_STATUS status = {};
        ControlService(m_service, SERVICE_CONTROL_STOP, &status);
        plat::WaitForServiceState(u"QbkMonitor", SERVICE_STOPPED, kSafetyNetMs);
        DeleteService(m_service);
        CloseServiceHandle(m_service);
    }

    DWORD State()
    {
        SERVICE_STATUS status = {};
        EXPECT_TRUE(QueryServiceStatus(m_service, &status));
        return status.dwCurrentState;
    }

    SC_HANDLE m_service = nullptr;
};

TEST_F(NetCommandTest, StartsAndStopsAServiceByDisplayName)
{
    ASSERT_TRUE(coinst::NetStartService(u"Tessivo 4.0 Monitor"));
    EXPECT_EQ(State(), DWORD(SERVICE_RUNNING));
    EXPECT_FALSE(coinst::NetStartService(u"Tessivo 4.0 Monitor")); // runs already

    EXPECT_EQ(coinst::RunNetCommand(u"stop \"Tessivo 4.0 Monitor\""), 0u);
    EXPECT_EQ(State(), DWORD(SERVICE_STOPPED));
    // A service that is not running, or not there, is reported as not done.
    EXPECT_NE(coinst::RunNetCommand(u"stop \"Tessivo 4.0 Monitor\""), 0u);
    EXPECT_NE(coinst::RunNetCommand(u"stop \"Windows Image Acquisition (WIA)\""), 0u);
    EXPECT_FALSE(coinst::NetStartService(u"Windows Image Acquisition (WIA)"));
}

} // namespace
