// The band loop of an acquisition as an application's memory transfers
// drive it, with a pipeline that plays a script of bands: the band levels
// and the pending count, the retry question of a page that failed before
// its first line and the partial page of one that failed later, and the
// user's Abort Scan.
#include "pipeline/RNXCOMCoreIds.h"
#include "platform/base/strings.h"
#include "platform/com/ComPtr.h"
#include "pipeline/testing/TestDispatchObject.h"
#include "platform/ui/UiScript.h"
#include "twainds/testing/PipelineSourceTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {

using Trellis::CTWAINOneValue;

// Pages of 4 gray lines of 16 pixels.
constexpr LONG kWidth = 16;
constexpr LONG kLines = 4;
constexpr BYTE kWhite = 255;

struct Band {
    LONG lines;
    LONG level;
    LONG status;
};

// Plays its bands into the raster band it is given; line n of the session
// holds the byte n (from 1). Remembers the buffer of each band.
class ScriptedBands final : public TestDispatchObject<IRNXPayloadSource, IID_IRNXPayloadSource> {
public:
    HRESULT STDMETHODCALLTYPE Produce(IDispatch** payload) override
    {
        plat::ComPtr<IRNXRasterBand> band;
        plat::ComPtr<IRNXPayload> place;
        if (FAILED((*payload)->QueryInterface(IID_IRNXRasterBand, band.ReleaseAndGetVoidAddress())) ||
            FAILED((*payload)->QueryInterface(IID_IRNXPayload, place.ReleaseAndGetVoidAddress())))
            return E_NOINTERFACE;
        BYTE* buffer = nullptr;
        LONG size = 0;
        band->get_Buffer(&buffer);
        band->get_BufferSize(&size);
        buffers.push_back(buffer);
        const Band next = bands.empty() ? Band{0, 6, 0} : bands.front();
        if (!bands.empty())
            bands.pop_front();
        const LONG lines = std::min(next.lines, size / kWidth);
        for (LONG i = 0; i < lines; ++i)
            std::memset(buffer + i * kWidth, ++line, kWidth);
        band->put_BytesWritten(lines * kWidth);
        band->put_BytesPerLine(kWidth);
        place->put_SessionLevel(next.level);
        place->put_Status(next.status);
        if (onBand)
            onBand();
        return S_OK;
    }

    std::deque<Band> bands;
    std::vector<BYTE*> buffers;
    int line = 0;
    std::function<void()> onBand;
};

// What an application got of one image: its return code, the first byte
// of each row (or every byte of compressed data) and, for a failure, the
// condition code.
struct Image {
    TW_UINT16 rc = 0;
    std::vector<BYTE> rows;
    std::vector<BYTE> compressed;
    TW_UINT16 condition = 0;
};

class BandLoopTest : public qbk24::testing::PipelineSourceTest {
protected:
    void SetUp() override
    {
        PipelineSourceTest::SetUp();
        if (HasFatalFailure())
            return;
        m_source.TestPipeline = [this] {
            m_source.ReleasePipeline();
            ASSERT_EQ(S_OK, CoCreateInstance(CLSID_RNXRasterBand, nullptr, CLSCTX_INPROC_SERVER, IID_IRNXRasterBand,
                                             reinterpret_cast<void**>(&m_source.RasterBand)));
            m_bands->AddRef();
            m_source.PipelineSource = m_bands;
            m_source.ScanWidth = kWidth;
            m_source.ScanHeight = kLines;
            m_source.ScanBytesPerLine = kWidth;
        };
        ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_XFERMECH, CTWAINOneValue(static_cast<TW_UINT16>(TWSX_MEMORY))));
        ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_PIXELTYPE, CTWAINOneValue(static_cast<TW_UINT16>(TWPT_GRAY))));
        ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_EXTIMAGEINFO, CTWAINOneValue(1u, TWTY_BOOL)));
        plat::ui::ResetUiScript();
    }

    void TearDown() override
    {
        EndAcquisition();
        PipelineSourceTest::TearDown();
        m_bands->Release();
        plat::ui::ResetUiScript();
    }

    // Starts an acquisition of `count` images (-1: all) over these bands.
    void Start(TW_INT16 count, std::vector<Band> bands)
    {
        m_bands->bands.assign(bands.begin(), bands.end());
        ASSERT_EQ(TWRC_SUCCESS, SetOne(CAP_XFERCOUNT, CTWAINOneValue(static_cast<TW_UINT16>(count), TWTY_INT16)));
        ASSERT_EQ(TWRC_SUCCESS, Enable()) << Status();
        ASSERT_EQ(m_source.GetState(), 6);
    }

    Image TransferImage()
    {
        std::vector<BYTE> buffer(0x8000);
        Image image;
        for (;;) {
            TW_IMAGEMEMXFER xfer{};
            xfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
            xfer.Memory.Length = static_cast<TW_UINT32>(buffer.size());
            xfer.Memory.TheMem = buffer.data();
            image.rc = static_cast<TW_UINT16>(m_source.Dispatch(&m_app, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer));
            if (image.rc == TWRC_SUCCESS || image.rc == TWRC_XFERDONE) {
                if (xfer.Compression != TWCP_NONE) {
                    image.compressed.insert(image.compressed.end(), buffer.begin(), buffer.begin() + xfer.BytesWritten);
                } else {
                    for (TW_UINT32 row = 0; row < xfer.Rows; ++row)
                        image.rows.push_back(buffer[row * xfer.BytesPerRow]);
                }
            }
            if (image.rc != TWRC_SUCCESS) {
                if (image.rc == TWRC_FAILURE)
                    image.condition = Status();
                return image;
            }
        }
    }

    TW_UINT16 EndXfer()
    {
        TW_PENDINGXFERS pending{};
        EXPECT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending));
        return pending.Count;
    }

    TW_UINT32 PageNumber()
    {
        TW_EXTIMAGEINFO request{};
        request.NumInfos = 1;
        request.Info[0].InfoID = TWEI_PAGENUMBER;
        EXPECT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, &request));
        return static_cast<TW_UINT32>(request.Info[0].Item);
    }

    std::vector<std::string> Questions()
    {
        std::vector<std::string> texts;
        for (const plat::ui::MessageBoxRecord& box : plat::ui::TakeMessageBoxLog())
            texts.push_back(Utf16ToUtf8(box.text));
        return texts;
    }

    ScriptedBands* m_bands = new ScriptedBands;
};

TEST_F(BandLoopTest, BandLevelsEndPagesAndTheSessionAndCountThePendingTransfers)
{
    constexpr TW_UINT16 kUnknown = 0xFFFF;
    struct Expected {
        TW_UINT16 rc;
        std::vector<BYTE> rows;
        TW_UINT16 condition;
        TW_UINT16 pendingAfter;
    };
    const struct {
        const char* name;
        TW_INT16 count;
        std::vector<Band> bands;
        std::vector<Expected> images;
    } cases[] = {
        {"a page in two bands, then the session's last",
         2,
         {{2, 1, 0}, {2, 2, 0}, {4, 6, 0}},
         {{TWRC_XFERDONE, {1, 2, 3, 4}, 0, 1}, {TWRC_XFERDONE, {5, 6, 7, 8}, 0, 0}}},
        {"all pages: the count stays unknown until the session ends",
         -1,
         {{4, 2, 0}, {4, 2, 0}, {4, 6, 0}},
         {{TWRC_XFERDONE, {1, 2, 3, 4}, 0, kUnknown},
          {TWRC_XFERDONE, {5, 6, 7, 8}, 0, kUnknown},
          {TWRC_XFERDONE, {9, 10, 11, 12}, 0, 0}}},
        {"the session ends before the count",
         3,
         {{4, 2, 0}, {4, 6, 0}},
         {{TWRC_XFERDONE, {1, 2, 3, 4}, 0, 2}, {TWRC_XFERDONE, {5, 6, 7, 8}, 0, 0}}},
        {"the count ends the session", 1, {{4, 2, 0}}, {{TWRC_XFERDONE, {1, 2, 3, 4}, 0, 0}}},
        {"a short page ends white",
         2,
         {{1, 2, 0}, {4, 6, 0}},
         {{TWRC_XFERDONE, {1, kWhite, kWhite, kWhite}, 0, 1}, {TWRC_XFERDONE, {2, 3, 4, 5}, 0, 0}}},
        {"a band of level 0 without a status fails",
         2,
         {{2, 1, 0}, {2, 0, 0}},
         {{TWRC_FAILURE, {}, TWCC_OPERATIONERROR, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_bands->line = 0;
        Start(c.count, c.bands);
        for (size_t i = 0; i < c.images.size(); ++i) {
            SCOPED_TRACE("image " + std::to_string(i + 1));
            const Image image = TransferImage();
            ASSERT_EQ(image.rc, c.images[i].rc);
            EXPECT_EQ(image.condition, c.images[i].condition);
            if (image.rc != TWRC_XFERDONE)
                break;
            EXPECT_EQ(image.rows, c.images[i].rows);
            EXPECT_EQ(PageNumber(), i + 1);
            EXPECT_EQ(EndXfer(), c.images[i].pendingAfter);
        }
        EndAcquisition();
        EXPECT_EQ(m_source.GetState(), 4);
        EXPECT_TRUE(Questions().empty());
    }
}

TEST_F(BandLoopTest, AStatusOnAPagesFirstBandAsksAndRetryScansAgainIntoTheSameBuffer)
{
    Start(2, {{0, 2, 8}, {4, 2, 0}, {4, 6, 0}});
    plat::ui::ScriptMessageBoxAnswer(IDRETRY);
    const Image first = TransferImage();
    ASSERT_EQ(first.rc, TWRC_XFERDONE);
    EXPECT_EQ(first.rows, (std::vector<BYTE>{1, 2, 3, 4}));
    EXPECT_EQ(Questions(), (std::vector<std::string>{"Paper Jam.  Open scanner and remove jammed page, close then "
                                                     "restack paper in ADF. Click Retry to continue."}));
    // A new pipeline, and the page scanned again where the failed band went.
    EXPECT_EQ(m_source.PipelinesBuilt, 2);
    ASSERT_EQ(m_bands->buffers.size(), 2u);
    EXPECT_EQ(m_bands->buffers[0], m_bands->buffers[1]);
    // The failed try counts neither as a page nor as a transfer.
    EXPECT_EQ(PageNumber(), 1u);
    EXPECT_EQ(EndXfer(), 1);
    const Image second = TransferImage();
    ASSERT_EQ(second.rc, TWRC_XFERDONE);
    EXPECT_EQ(second.rows, (std::vector<BYTE>{5, 6, 7, 8}));
    EXPECT_EQ(PageNumber(), 2u);
    EXPECT_EQ(EndXfer(), 0);
}

// Compressed data has no lines to count: a page that failed before any of
// its bytes came is asked about at once too, instead of coming empty.
TEST_F(BandLoopTest, ACompressedPageThatFailedBeforeItsFirstByteIsAskedAboutAtOnce)
{
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_COMPRESSION, CTWAINOneValue(static_cast<TW_UINT16>(TWCP_JPEG))));
    Start(2, {{0, 2, 8}, {4, 2, 0}, {4, 6, 0}});
    plat::ui::ScriptMessageBoxAnswer(IDRETRY);
    const Image first = TransferImage();
    ASSERT_EQ(first.rc, TWRC_XFERDONE);
    EXPECT_EQ(Questions().size(), 1u);
    // The page scanned again, whole.
    std::vector<BYTE> expected;
    for (BYTE line = 1; line <= 4; ++line)
        expected.insert(expected.end(), kWidth, line);
    EXPECT_EQ(first.compressed, expected);
    EXPECT_EQ(PageNumber(), 1u);
    EXPECT_EQ(EndXfer(), 1);
}

TEST_F(BandLoopTest, ACancelledQuestionFailsWithTheStatusConditionAndNoTransfersLeft)
{
    const struct {
        LONG status;
        bool asked;
        TW_UINT16 condition;
    } cases[] = {
        {8, true, TWCC_PAPERJAM},
        {3, true, TWCC_PAPERDOUBLEFEED},
        {7, true, TWCC_OPERATIONERROR},
        {2, true, TWCC_OPERATIONERROR},
        {9, true, TWCC_OPERATIONERROR},
        {1, false, TWCC_OPERATIONERROR},
        {-1, false, TWCC_CHECKDEVICEONLINE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("status " + std::to_string(c.status));
        Start(3, {{0, 2, c.status}});
        plat::ui::ScriptMessageBoxAnswer(IDCANCEL);
        const Image image = TransferImage();
        EXPECT_EQ(image.rc, TWRC_FAILURE);
        EXPECT_EQ(image.condition, c.condition);
        EXPECT_EQ(Questions().size(), c.asked ? 1u : 0u);
        EXPECT_EQ(EndXfer(), 0);
        EndAcquisition();
        plat::ui::ResetUiScript();
    }
}

TEST_F(BandLoopTest, AStatusAfterSomeLinesDeliversThePartialPageAndAsksWithTheNextImage)
{
    for (const int answer : {IDRETRY, IDCANCEL}) {
        SCOPED_TRACE(answer == IDRETRY ? "retry" : "cancel");
        m_bands->line = 0;
        Start(-1, {{2, 1, 0}, {1, 2, 3}, {4, 6, 0}});
        const Image partial = TransferImage();
        ASSERT_EQ(partial.rc, TWRC_XFERDONE);
        EXPECT_EQ(partial.rows, (std::vector<BYTE>{1, 2, 3, kWhite}));
        EXPECT_TRUE(Questions().empty());
        EXPECT_EQ(EndXfer(), 0xFFFF);

        plat::ui::ScriptMessageBoxAnswer(answer);
        const Image next = TransferImage();
        EXPECT_EQ(Questions().size(), 1u);
        if (answer == IDRETRY) {
            ASSERT_EQ(next.rc, TWRC_XFERDONE);
            EXPECT_EQ(next.rows, (std::vector<BYTE>{4, 5, 6, 7}));
            EXPECT_EQ(PageNumber(), 2u);
        } else {
            EXPECT_EQ(next.rc, TWRC_FAILURE);
            EXPECT_EQ(next.condition, TWCC_PAPERDOUBLEFEED);
        }
        EXPECT_EQ(EndXfer(), 0);
        EndAcquisition();
    }
}

TEST_F(BandLoopTest, AStatusOnTheLastPageDeliversItTruncatedWithoutAQuestion)
{
    Start(1, {{2, 1, 0}, {1, 2, 8}});
    const Image image = TransferImage();
    ASSERT_EQ(image.rc, TWRC_XFERDONE);
    EXPECT_EQ(image.rows, (std::vector<BYTE>{1, 2, 3, kWhite}));
    EXPECT_EQ(EndXfer(), 0);
    EXPECT_TRUE(Questions().empty());
}

TEST_F(BandLoopTest, AbortScanStopsTheFeederClearsTheWindowAndCancels)
{
    Start(2, {{1, 1, 0}, {1, 1, 0}, {2, 2, 0}});
    // A progress dialog without a window, whose Abort Scan the test presses.
    auto* progress = new CScanProgressDlg(&m_source);
    m_source.ProgressDialog = progress;
    m_bands->onBand = [progress] { progress->Cancelled = true; };
    m_hal.Controls.clear();
    const Image image = TransferImage();
    EXPECT_EQ(image.rc, TWRC_CANCEL);
    EXPECT_EQ(m_hal.Controls, (std::vector<LONG>{0, 5}));
    EXPECT_EQ(m_bands->buffers.size(), 1u);
    EXPECT_EQ(EndXfer(), 0);
    EXPECT_EQ(m_source.ProgressDialog, nullptr);
}

} // namespace
