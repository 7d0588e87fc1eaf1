#include "tools/svctool/SvcTool.h"

#include "platform/services/ServiceControl.h"
#include "platform/services/ServiceRuntime.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

namespace {

class SvcToolTest : public ::testing::Test {
protected:
    ~SvcToolTest() override
    {
        // A service left running by a failed test ends with it.
        for (const char16_t* name : {u"QbkSvc", u"Other"}) {
            SERVICE_STATUS_PROCESS status = {};
            if (plat::services::ReadStatusFile(name, status) && status.dwProcessId &&
                plat::services::IsServiceProcessAlive(name))
                kill(static_cast<pid_t>(status.dwProcessId), SIGKILL);
            plat::WaitForServiceState(name, SERVICE_STOPPED, 30000);
        }
    }

    int Run(std::vector<std::string> args, const std::string& program = "svctool")
    {
        m_out.str("");
        m_err.str("");
        return svctool::Run(program, args, m_out, m_err);
    }

    std::string ServiceCommand() const
    {
        return "\"" + std::string(QBK_TEST_SERVICE) + "\" --record \"" + m_root.Path() + "/record.txt\"";
    }

    plat::testing::TempSystemRoot m_root;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

TEST_F(SvcToolTest, CreateStartQueryStopDelete)
{
    ASSERT_EQ(Run({"create", "QbkSvc", ServiceCommand(), "--display", "Qbk Scanner Service", "--description",
                   "Runs the scanner"}),
              0)
        << m_err.str();
    EXPECT_EQ(Run({"create", "QbkSvc", ServiceCommand()}), 2);
    EXPECT_NE(m_err.str().find("error 1073"), std::string::npos) << m_err.str();

    ASSERT_EQ(Run({"start", "Qbk Scanner Service"}), 0) << m_err.str(); // by display name
    EXPECT_EQ(m_out.str(), "QbkSvc: RUNNING\n");
    ASSERT_EQ(Run({"query", "qbksvc"}), 0) << m_err.str();
    EXPECT_NE(m_out.str().find("DISPLAY_NAME: Qbk Scanner Service\n"), std::string::npos) << m_out.str();
    EXPECT_NE(m_out.str().find("STATE              : 4  RUNNING\n"), std::string::npos) << m_out.str();
    EXPECT_EQ(Run({"query"}), 0);
    EXPECT_EQ(m_out.str(), "QbkSvc\tRUNNING\n");

    ASSERT_EQ(Run({"stop", "QbkSvc"}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "QbkSvc: STOPPED\n");
    EXPECT_EQ(Run({"stop", "QbkSvc"}), 2);
    EXPECT_NE(m_err.str().find("error 1062"), std::string::npos) << m_err.str();
    ASSERT_EQ(Run({"delete", "QbkSvc"}), 0);
    EXPECT_EQ(Run({"query", "QbkSvc"}), 2);
    EXPECT_NE(m_err.str().find("error 1060"), std::string::npos) << m_err.str();

    EXPECT_EQ(Run({"frobnicate"}), 1);
    EXPECT_EQ(Run({}), 1);
}

TEST_F(SvcToolTest, UnderTheNameNetItStartsAndStopsByDisplayName)
{
    ASSERT_EQ(Run({"create", "Other", ServiceCommand(), "--display", "Tessivo 4.0 Monitor"}), 0);
    EXPECT_EQ(Run({"stop", "Tessivo 4.0 Monitor"}, "/sys/folder/NET.EXE"), 2);
    EXPECT_EQ(m_err.str(), "The Tessivo 4.0 Monitor service is not started.\n");
    ASSERT_EQ(Run({"start", "Tessivo 4.0 Monitor"}, "net.exe"), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "The Tessivo 4.0 Monitor service is starting.\n"
                           "The Tessivo 4.0 Monitor service was started successfully.\n");
    EXPECT_EQ(Run({"start", "Tessivo 4.0 Monitor"}, "net"), 2);
    EXPECT_EQ(m_err.str(), "The requested service has already been started.\n");
    ASSERT_EQ(Run({"STOP", "Tessivo 4.0 Monitor"}, "net.exe"), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "The Tessivo 4.0 Monitor service is stopping.\n"
                           "The Tessivo 4.0 Monitor service was stopped successfully.\n");
    EXPECT_EQ(Run({"stop", "Windows Image Acquisition (WIA)"}, "net.exe"), 2);
    EXPECT_EQ(m_err.str(), "The service name is invalid.\n");
}

} // namespace
