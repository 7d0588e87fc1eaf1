#include "twainfw/TWAINException.h"

#include "twainfw/DebugLog.h"

#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

namespace Trellis {
namespace {

TEST(TWAINException, MessagesOfTheKinds)
{
    EXPECT_EQ(CTWAINOneValueException().m_Message, "Trellis One Value Error.");
    EXPECT_EQ(CTWAINArrayException().m_Message, "Trellis Array Error.");
    EXPECT_EQ(CTWAINEnumerationException().m_Message, "Trellis Enumeration Error.");
    EXPECT_EQ(CTWAINRangeException().m_Message, "Trellis Range Error.");
    EXPECT_EQ(CTWAINContainerException().m_Message, "Trellis Container Error.");
    EXPECT_EQ(CTWAINStorageException().m_Message, "Trellis Registry Error.");

    // A capability triplet ends with the capability's name, any other with the triplet.
    CTWAINFailureException cap(nullptr, DG_CONTROL, DAT_CAPABILITY, MSG_SET, TWCC_BADVALUE, ICAP_XRESOLUTION);
    EXPECT_EQ(cap.m_Message,
              "TWAIN operation failed.:\nData parameter out of range.\nControl/Capability/Set\nXResolution");
    CTWAINCheckStatusException other(nullptr, DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, TWCC_BADVALUE, ICAP_XRESOLUTION);
    EXPECT_EQ(other.m_Message,
              "Partially successful TWAIN operation.:\nData parameter out of range.\nImage/ImageLayout/Set");
    CTWAINCancelException cancel(nullptr, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, 0);
    EXPECT_EQ(cancel.m_Message, "TWAIN action cancelled by user.\nImage/ImageMemXfer/Get");
    EXPECT_EQ(cancel.m_ConditionCode, TWCC_SUCCESS);
}

TEST(TWAINException, ThrowHelpersCarryTheTriplet)
{
    const TWAINCallContext context{nullptr, DG_CONTROL, DAT_CAPABILITY, MSG_SET, ICAP_PIXELTYPE};
    try {
        ThrowCheckStatus(context, TWCC_BADVALUE);
    } catch (const CTWAINCheckStatusException& e) {
        EXPECT_EQ(e.m_ReturnCode, TWRC_CHECKSTATUS);
        EXPECT_EQ(e.m_ConditionCode, TWCC_BADVALUE);
        EXPECT_EQ(e.m_DAT, DAT_CAPABILITY);
        EXPECT_EQ(e.m_Capability, ICAP_PIXELTYPE);
        EXPECT_EQ(e.m_Message.substr(e.m_Message.rfind('\n') + 1), "PixelType");
    }
    EXPECT_THROW(ThrowFailure(context, TWCC_BUMMER), CTWAINFailureException);
    EXPECT_THROW(ThrowCancel(context), CTWAINCancelException);
    EXPECT_THROW(ThrowXferDone(context), CTWAINXferDoneException);
}

class ExceptionOutcomeTest : public ::testing::Test {
protected:
    // The log goes to the user's temporary folder in the test's root, and
    // ends with it: later tests must not log into it.
    void SetUp() override
    {
        WriteProfileStringA("Quorvant", "DEBUG", "1");
        CloseDebugLog();
        InitDebugLog("QBK24.log", "Quorvant", "DSLogFileName");
    }
    void TearDown() override { CloseDebugLog(); }

    static std::string Log()
    {
        std::ifstream in(DebugLogPath());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    plat::testing::TempSystemRoot root;
};

TEST_F(ExceptionOutcomeTest, CatchOrderGivesReturnAndConditionCodes)
{
    struct Case {
        const char* name;
        std::function<void()> raise;
        TW_UINT16 rc;
        bool setsCC;
        TW_UINT16 cc;
        bool xferDone;
        const char* log;
    };
    const Case cases[] = {
        {"xfer done", [] { throw CTWAINXferDoneException(nullptr, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, 0); },
         TWRC_XFERDONE, false, 0, true, "DS: XferDone\n\n"},
        {"failure",
         [] { throw CTWAINFailureException(nullptr, DG_CONTROL, DAT_CAPABILITY, MSG_SET, TWCC_BADVALUE, CAP_AUTHOR); },
         TWRC_FAILURE, true, TWCC_BADVALUE, false,
         "DS: Operation exception caught, return code \"TWAIN operation failed.\", condition code \"Data parameter out "
         "of range.\".\n"
         "TWAIN operation failed.:\nData parameter out of range.\nControl/Capability/Set\nAuthor\n\n"},
        {"check status",
         [] { throw CTWAINCheckStatusException(nullptr, DG_CONTROL, DAT_CAPABILITY, MSG_SET, TWCC_BADVALUE, 0); },
         TWRC_CHECKSTATUS, true, TWCC_BADVALUE, false, nullptr},
        {"cancel", [] { throw CTWAINCancelException(nullptr, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, 0); }, TWRC_CANCEL,
         true, TWCC_SUCCESS, false, nullptr},
        {"container", [] { throw CTWAINContainerException(); }, TWRC_FAILURE, true, TWCC_BUMMER, false,
         "DS: Exception caught: Trellis Container Error.\n\n"},
        {"storage", [] { throw CTWAINStorageException(); }, TWRC_FAILURE, true, TWCC_BUMMER, false, nullptr},
        {"foreign", [] { throw std::runtime_error("x"); }, TWRC_FAILURE, true, TWCC_BUMMER, false,
         "DS: Unknown exception caught.\n\n"},
        {"not an exception class", [] { throw 42; }, TWRC_FAILURE, true, TWCC_BUMMER, false, nullptr},
    };
    for (const Case& c : cases) {
        std::exception_ptr error;
        try {
            c.raise();
        } catch (...) {
            error = std::current_exception();
        }
        size_t logBefore = Log().size();
        TWAINOutcome o = OutcomeOfException(error, nullptr);
        EXPECT_EQ(o.returnCode, c.rc) << c.name;
        EXPECT_EQ(o.setsConditionCode, c.setsCC) << c.name;
        EXPECT_EQ(o.conditionCode, c.cc) << c.name;
        EXPECT_EQ(o.xferDone, c.xferDone) << c.name;
        if (c.log) {
            EXPECT_EQ(Log().substr(logBefore), c.log) << c.name;
        }
    }
}

} // namespace
} // namespace Trellis
