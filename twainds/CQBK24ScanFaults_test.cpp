// The scanner's faults as a TWAIN application meets them: the emulator
// program as the scanner, set to fail at a place of a sheet, the hardware
// service in its own process, and the data source's retry question answered
// by the test. The pages before a fault come whole and once, a page the
// fault cut short comes as far as it was scanned, and the fault reaches the
// application as its condition code.
#include "platform/base/strings.h"
#include "platform/ui/UiScript.h"
#include "twainds/testing/AcquisitionTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qbk24::testing::AcquisitionTest;
using qbk24::testing::FirstBadLine;
using qbk24::testing::Job;
using qbk24::testing::ScannedPage;
using Trellis::CTWAINOneValue;

// The device's double-feed detection.
constexpr TW_UINT16 kDoubleFeedDetection = 0x8020;

// Gray duplex pages of 192 x 300 lines by memory transfer, 3 sheets.
const Job kJob = {TWSX_MEMORY, TWPT_GRAY, 8, true, TWCP_NONE, 3};
using Words = std::vector<std::string>;

// The emulator's fault of a kind at a place of a sheet.
Words Fault(const char* kind, const Words& place)
{
    Words words = {"fault", kind};
    words.insert(words.end(), place.begin(), place.end());
    return words;
}
// Inside the second sheet's front page, at line 104.
const Words kMidPage = {"sheet=1", "offset=20000"};
// Before anything of the second sheet.
const Words kFirstBand = {"sheet=1", "offset=0"};

// A page the application should get: the sheet and side it shows, and
// whether the fault cut it short.
struct PageSpec {
    std::uint32_t sheet;
    std::uint32_t side;
    bool partial;
};

const std::vector<PageSpec> kFirstSheet = {{0, 0, false}, {0, 1, false}};

class SourceFaultsTest : public AcquisitionTest {
protected:
    void SetUp() override { plat::ui::ResetUiScript(); }
    void TearDown() override
    {
        AcquisitionTest::TearDown();
        plat::ui::ResetUiScript();
    }

    std::vector<std::string> Questions()
    {
        std::vector<std::string> texts;
        for (const plat::ui::MessageBoxRecord& box : plat::ui::TakeMessageBoxLog())
            texts.push_back(Utf16ToUtf8(box.text));
        return texts;
    }

    // Each page shows its sheet and side; a cut page holds the lines
    // scanned before the fault and white after them.
    void ExpectPages(const std::vector<ScannedPage>& pages, const std::vector<PageSpec>& expected)
    {
        ASSERT_EQ(pages.size(), expected.size());
        for (size_t i = 0; i < pages.size(); ++i) {
            SCOPED_TRACE("page " + std::to_string(i + 1));
            const ScannedPage& page = pages[i];
            EXPECT_EQ(page.pageNumber, i + 1);
            ASSERT_EQ(page.height, 300);
            const long bad = FirstBadLine(page, expected[i].sheet, expected[i].side);
            if (!expected[i].partial) {
                EXPECT_EQ(bad, -1);
                continue;
            }
            EXPECT_GT(bad, 0);
            for (long y = bad; y >= 0 && y < page.height; ++y) {
                const BYTE* row = page.rows.data() + static_cast<size_t>(y) * page.stride;
                ASSERT_EQ(std::vector<BYTE>(row, row + page.width), std::vector<BYTE>(page.width, 255)) << "line " << y;
            }
        }
    }
};

TEST_F(SourceFaultsTest, AFaultAnsweredCancelFailsWithItsConditionAndLosesNoPage)
{
    Install(0);
    Negotiate(kJob);
    // clang-format off
    const struct {
        const char* name;
        Words fault;
        bool doubleFeedDetection;
        std::string question;
        TW_UINT16 condition;
        std::vector<PageSpec> pages;
        Words after; // the control line that ends the fault
    } cases[] = {
        {"jam", Fault("jam", kMidPage), false,
         "Paper Jam.  Open scanner and remove jammed page, close then restack paper in ADF. Click Retry to continue.",
         TWCC_PAPERJAM, kFirstSheet, {}},
        {"double feed", Fault("double-feed", kMidPage), true,
         "Multiple page feed detected.   Open scanner and remove pages, close then restack paper in ADF. Click Retry "
         "to continue.",
         TWCC_PAPERDOUBLEFEED, kFirstSheet, {}},
        {"cover opened", Fault("cover-open", kMidPage), false,
         "ADF cover or Exit cover open.  Close cover then click Retry to continue.", TWCC_OPERATIONERROR,
         {{0, 0, false}, {0, 1, false}, {1, 0, true}}, {"cover", "closed"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(TWRC_SUCCESS, SetCap(kDoubleFeedDetection, CTWAINOneValue(c.doubleFeedDetection, TWTY_BOOL)));
        // A fault counts the sheets from the next load, which the job makes.
        Control(c.fault);
        plat::ui::ScriptMessageBoxAnswer(IDCANCEL);
        const JobRun run = RunJob(kJob);
        ExpectPages(run.pages, c.pages);
        EXPECT_EQ(run.failure, TWRC_FAILURE);
        EXPECT_EQ(run.condition, c.condition);
        EXPECT_EQ(run.pendingAfter, 0);
        EXPECT_EQ(Questions(), std::vector<std::string>{c.question});
        if (!c.after.empty())
            Control(c.after);
    }
    // The scanner works again afterwards.
    const std::vector<ScannedPage> pages =
        Scan({kJob.xferMech, kJob.pixelType, kJob.bitDepth, kJob.duplex, kJob.compression, 1});
    ExpectPages(pages, kFirstSheet);
}

TEST_F(SourceFaultsTest, APageCutByTheCoverComesAsFarAsItWasScannedByEveryMechanism)
{
    Install(0);
    // Memory transfers are in the table of faults above.
    for (const TW_UINT16 mechanism : {TWSX_NATIVE, TWSX_FILE}) {
        const Job job = {mechanism, TWPT_GRAY, 8, true, TWCP_NONE, 3};
        SCOPED_TRACE(Describe(job));
        Negotiate(job);
        Control(Fault("cover-open", kMidPage));
        plat::ui::ScriptMessageBoxAnswer(IDCANCEL);
        const JobRun run = RunJob(job);
        ExpectPages(run.pages, {{0, 0, false}, {0, 1, false}, {1, 0, true}});
        EXPECT_EQ(run.failure, TWRC_FAILURE);
        EXPECT_EQ(run.condition, TWCC_OPERATIONERROR);
        EXPECT_EQ(Questions().size(), 1u);
        Control({"cover", "closed"});
    }
}

TEST_F(SourceFaultsTest, RetryGoesOnWithTheNextSheetWithoutRepeatingAPage)
{
    Install(0);
    Negotiate(kJob);
    const struct {
        const char* name;
        Words place;
        std::vector<PageSpec> pages;
    } cases[] = {
        // Asked at once (the service keeps nothing of a struck page), and
        // the next sheet scanned into the same transfer.
        {"jam on the first band", kFirstBand, {{0, 0, false}, {0, 1, false}, {2, 0, false}, {2, 1, false}}},
        {"jam mid-page", kMidPage, {{0, 0, false}, {0, 1, false}, {2, 0, false}, {2, 1, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A fault counts the sheets from the next load, which the job makes.
        Control(Fault("jam", c.place));
        plat::ui::ScriptMessageBoxAnswer(IDRETRY);
        const JobRun run = RunJob(kJob);
        EXPECT_EQ(run.failure, TWRC_SUCCESS) << run.condition;
        ExpectPages(run.pages, c.pages);
        EXPECT_EQ(Questions().size(), 1u);
    }
}

TEST_F(SourceFaultsTest, AnEmptyFeederIsAskedAboutAtTheStartAndEndsTheSessionLater)
{
    Install(0);
    Negotiate(kJob);
    plat::ui::ScriptMessageBoxAnswer(IDCANCEL);
    Control({"load", "0"});
    EXPECT_EQ(TWRC_SUCCESS, Enable()) << ConditionCode();
    EXPECT_EQ(Questions(),
              std::vector<std::string>{"No paper in ADF.  Put documents in the ADF, then click Retry to continue."});
    // Not accepted: no image is ready.
    TW_IMAGEINFO info{};
    EXPECT_EQ(TWRC_FAILURE, Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
    EXPECT_EQ(ConditionCode(), TWCC_SEQERROR);
    Disable();

    // Retry after loading paper: the acquisition starts and scans it.
    plat::ui::ScriptMessageBoxAnswer(IDRETRY, [this] { Control({"load", "1"}); });
    EXPECT_EQ(TWRC_SUCCESS, Enable()) << ConditionCode();
    EXPECT_EQ(Questions(),
              std::vector<std::string>{"No paper in ADF.  Put documents in the ADF, then click Retry to continue."});
    const JobRun loaded = TransferImages(kJob);
    EXPECT_EQ(loaded.failure, TWRC_SUCCESS) << loaded.condition;
    ExpectPages(loaded.pages, kFirstSheet);

    // A feeder that runs out before the count ends the session: no question.
    ASSERT_EQ(TWRC_SUCCESS, SetCap(CAP_XFERCOUNT, CTWAINOneValue(4, TWTY_INT16)));
    const JobRun run = RunJob({kJob.xferMech, kJob.pixelType, kJob.bitDepth, kJob.duplex, kJob.compression, 1});
    EXPECT_EQ(run.failure, TWRC_SUCCESS);
    ExpectPages(run.pages, kFirstSheet);
    EXPECT_TRUE(Questions().empty());
}

} // namespace
