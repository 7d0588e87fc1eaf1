// The data source's device operations against a hardware-service object of
// the test's own: device controls, gamma tables, status lines and the retry
// question of a failed page.
#include "twainds/CQBK24DataSource.h"
#include "twainds/GammaTables.h"
#include "halservice/interfaces/testing/FakeHal.h"

#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

namespace {

using qbk24::testing::FakeHal;

class TestSource : public CQBK24DataSource {
public:
    bool GetIndicatorsCurrent() override { return Indicators; }
    int ShowScanErrorBox(UINT stringId) override
    {
        if (!Indicators)
            return CQBK24DataSource::ShowScanErrorBox(stringId);
        Questions.push_back(stringId);
        return Answer;
    }

    bool Indicators = true;
    int Answer = qbk24::kAnswerCancel;
    std::vector<UINT> Questions;
};

class DataSourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_hal.AddRef();
        m_source.Hal = &m_hal;
    }
    void TearDown() override
    {
        m_source.Hal = nullptr;
        m_hal.Release();
    }

    plat::testing::TempSystemRoot m_root;
    FakeHal m_hal;
    TestSource m_source;
};

TEST_F(DataSourceTest, DeviceControlPassesByteArraysAndCopiesTheAnswer)
{
    const BYTE input[3] = {7, 8, 9};
    BYTE output[4] = {};
    EXPECT_TRUE(m_source.SendDeviceControl(3, input, sizeof(input), output, sizeof(output)));
    EXPECT_EQ(m_hal.Inputs.back(), (std::vector<BYTE>{7, 8, 9}));
    EXPECT_EQ(m_hal.OutputSizes.back(), 4u);
    EXPECT_EQ(std::vector<BYTE>(output, output + 4), (std::vector<BYTE>{48, 49, 50, 51}));

    // Without data or a buffer the service still gets two-byte arrays.
    EXPECT_TRUE(m_source.SendDeviceControl(0, nullptr, 0, nullptr, 0));
    EXPECT_EQ(m_hal.Inputs.back().size(), 2u);
    EXPECT_EQ(m_hal.OutputSizes.back(), 2u);
}

TEST_F(DataSourceTest, DeviceControlAnswersFalseOrThrowsWhenTheServiceDoesNotRunIt)
{
    BYTE output[2] = {0xAA, 0xAA};
    m_hal.Results[4] = S_FALSE;
    EXPECT_FALSE(m_source.SendDeviceControl(4, nullptr, 0, output, sizeof(output)));
    EXPECT_EQ(output[0], 0xAA);

    m_hal.Results[4] = E_FAIL;
    try {
        m_source.SendDeviceControl(4, nullptr, 0, output, sizeof(output));
        ADD_FAILURE() << "no COM error";
    } catch (const _com_error& error) {
        EXPECT_EQ(error.Error(), E_FAIL);
    }

    m_source.Hal = nullptr;
    EXPECT_FALSE(m_source.SendDeviceControl(9, nullptr, 0, output, sizeof(output)));
    m_source.Hal = &m_hal;
}

TEST_F(DataSourceTest, DeviceInfoFillsEachMemberAndKeepsOneWhoseControlFailed)
{
    std::memset(m_source.Counters, 0x5A, sizeof(m_source.Counters));
    m_hal.Results[10] = S_FALSE;
    m_source.ReadDeviceInfo();
    EXPECT_EQ(m_hal.Controls, (std::vector<LONG>{9, 10, 11}));
    EXPECT_EQ(m_source.SupportInfo[31], BYTE(9 * 16 + 31));
    EXPECT_EQ(m_source.Counters[0], 0x5A);
    EXPECT_EQ(m_source.FirmwareRevision[4], BYTE(11 * 16 + 4));
}

TEST_F(DataSourceTest, GammaTablesFollowThePixelType)
{
    ASSERT_TRUE(m_source.InitializeCapabilities());
    struct Case {
        TW_UINT16 pixelType;
        std::optional<LONG> failing;
        bool result;
        std::vector<LONG> codes;
    };
    // clang-format off
    const Case cases[] = {
        {TWPT_BW, {}, true, {}},
        {TWPT_GRAY, {}, true, {16}},
        {TWPT_RGB, {}, true, {13, 14, 15}},
        {TWPT_RGB, 13, false, {13}},
        {TWPT_RGB, 14, false, {13, 14}},
        {TWPT_RGB, 15, false, {13, 14, 15}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "pixel type " << c.pixelType);
        m_hal.Controls.clear();
        m_hal.Inputs.clear();
        m_hal.Results.clear();
        if (c.failing)
            m_hal.Results[*c.failing] = S_FALSE;
        m_source.SetPixelTypeCurrent(c.pixelType);
        EXPECT_EQ(m_source.DownloadGammaTables(), c.result);
        EXPECT_EQ(m_hal.Controls, c.codes);
        for (const auto& input : m_hal.Inputs)
            EXPECT_EQ(input.size(), 256u);
    }
    m_hal.Inputs.clear();
    m_source.SetPixelTypeCurrent(TWPT_GRAY);
    m_source.DownloadGammaTables();
    ASSERT_EQ(m_hal.Inputs.size(), 1u);
    EXPECT_TRUE(std::equal(m_hal.Inputs[0].begin(), m_hal.Inputs[0].end(), qbk24::GammaGray().begin()));
}

TEST(GammaTables, HoldTheirFixedPointsAndNeverFall)
{
    struct Row {
        const qbk24::GammaTable& table;
        int firstOne, at64, at128, at192, at224;
    };
    const Row rows[] = {
        {qbk24::GammaChannel1(), 48, 14, 66, 139, 183},
        {qbk24::GammaChannel2(), 44, 16, 62, 131, 175},
        {qbk24::GammaChannel3(), 48, 13, 62, 135, 181},
        {qbk24::GammaGray(), 45, 15, 62, 131, 174},
    };
    for (const Row& row : rows) {
        const auto& t = row.table;
        EXPECT_EQ(t[row.firstOne - 1], 0);
        EXPECT_EQ(t[row.firstOne], 1);
        EXPECT_EQ(t[64], row.at64);
        EXPECT_EQ(t[128], row.at128);
        EXPECT_EQ(t[192], row.at192);
        EXPECT_EQ(t[224], row.at224);
        EXPECT_EQ(t[246] < 255, true);
        for (int i = 247; i < 256; ++i)
            EXPECT_EQ(t[i], 255);
        EXPECT_TRUE(std::is_sorted(t.begin(), t.end()));
    }
}

TEST_F(DataSourceTest, StatusLineFollowsTheBandStatusAndTheFeeder)
{
    struct Case {
        LONG status;
        TW_INT32 state;
        bool paper;
        UINT text;
    };
    const Case cases[] = {
        {0, 4, true, 10290}, {0, 5, false, 10280}, {0, 7, false, 10291}, {1, 7, true, 10288},
        {3, 7, true, 10282}, {8, 7, true, 10281},  {-1, 4, true, 10289}, {42, 4, true, 10290},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "status " << c.status << " state " << c.state);
        m_source.BandStatus = c.status;
        m_source.SetState(c.state);
        m_hal.Results[4] = S_OK;
        // The fake fills its answer from the code: the first byte of code 4 is
        // 64, paper; S_FALSE gives no answer, no paper.
        if (!c.paper)
            m_hal.Results[4] = S_FALSE;
        EXPECT_EQ(m_source.StatusTextId(), c.text);
    }
}

struct ScanFailure {
    LONG status;
    UINT question; // 0: none asked
    TW_UINT16 conditionCode;
};

const ScanFailure kScanFailures[] = {
    {1, 0, TWCC_OPERATIONERROR},     {2, 10272, TWCC_OPERATIONERROR}, {3, 10274, TWCC_PAPERDOUBLEFEED},
    {4, 10276, TWCC_OPERATIONERROR}, {5, 10279, TWCC_OPERATIONERROR}, {6, 10277, TWCC_OPERATIONERROR},
    {7, 10275, TWCC_OPERATIONERROR}, {8, 10273, TWCC_PAPERJAM},       {9, 10278, TWCC_OPERATIONERROR},
    {-1, 0, TWCC_CHECKDEVICEONLINE}, {0, 0, TWCC_OPERATIONERROR},     {77, 0, TWCC_OPERATIONERROR},
};

TW_INT32 FailureCode(TestSource& source)
{
    try {
        source.ReportScanStatus();
    } catch (const Trellis::CTWAINFailureException& failure) {
        return failure.m_ConditionCode;
    }
    return -1;
}

TEST_F(DataSourceTest, FailedPageAsksOnceAndCancelBecomesItsConditionCode)
{
    for (const ScanFailure& failure : kScanFailures) {
        SCOPED_TRACE(testing::Message() << "status " << failure.status);
        m_source.BandStatus = failure.status;
        m_source.Questions.clear();
        m_source.PendingXfers.Count = 3;
        m_source.Answer = qbk24::kAnswerCancel;
        EXPECT_EQ(FailureCode(m_source), failure.conditionCode);
        EXPECT_EQ(m_source.PendingXfers.Count, 0);
        if (failure.question)
            EXPECT_EQ(m_source.Questions, std::vector<UINT>{failure.question});
        else
            EXPECT_TRUE(m_source.Questions.empty());

        // Retry scans the page again, where a question is asked at all.
        if (failure.question) {
            m_source.PendingXfers.Count = 3;
            m_source.Answer = qbk24::kAnswerRetry;
            EXPECT_EQ(m_source.ReportScanStatus(), qbk24::kAnswerRetry);
            EXPECT_EQ(m_source.PendingXfers.Count, 3);
        }
    }
}

TEST_F(DataSourceTest, WithoutIndicatorsAFailedPageIsCancelledUnasked)
{
    m_source.Indicators = false;
    m_source.BandStatus = 3;
    EXPECT_EQ(FailureCode(m_source), TWCC_PAPERDOUBLEFEED);
    EXPECT_TRUE(m_source.Questions.empty());
}

class TestLogger : public CQBK24Logger {
public:
    DWORD* GetLogMaskAddress(const std::string& category) override
    {
        return category == "TWAIN Driver" ? &MainMask : category == "TWAIN Driver.Data" ? &DataMask : nullptr;
    }
    void Write(DWORD level, DWORD processId, DWORD, const std::string&, const std::string& category,
               const std::string& text) override
    {
        EXPECT_EQ(processId, GetCurrentProcessId());
        Lines.push_back(std::to_string(level) + " " + category + ": " + text);
    }

    DWORD MainMask = 4;
    DWORD DataMask = 1;
    std::vector<std::string> Lines;
};

TEST(DataSourceLog, LinesAreWrittenOnlyForTheLevelsOfTheirCategorysMask)
{
    CQBK24DataSource source;
    EXPECT_EQ(source.GetLogMask(), 0u);
    source.LogLevel4("before %d", 1); // no logger yet

    TestLogger logger;
    source.AttachLogger(&logger);
    EXPECT_EQ(source.GetLogCategory(), "TWAIN Driver");
    EXPECT_EQ(source.GetDataLogCategory(), "TWAIN Driver.Data");
    source.LogLevel4("Open %s.", "Entered");
    source.LogLevel1("dropped");
    source.LogDataLevel4("dropped");
    source.LogDataLevel1("Status = 0x%08X", 0x2Au);
    logger.MainMask = 0; // the logger's settings change under the source
    source.LogLevel4("dropped");
    EXPECT_EQ(logger.Lines,
              (std::vector<std::string>{"4 TWAIN Driver: Open Entered.", "1 TWAIN Driver.Data: Status = 0x0000002A"}));
    source.AttachLogger(nullptr);
}

TEST(ScaleValue, MapsLinearlyAndClamps)
{
    struct Case {
        float x, fromMin, fromMax, toMin, toMax, expected;
    };
    const Case cases[] = {
        {50, 0, 100, -1000, 1000, 0}, {0, 0, 100, -1000, 1000, -1000}, {100, 0, 100, -1000, 1000, 1000},
        {150, 0, 100, 0, 255, 255},   {-20, 0, 100, 0, 255, 0},        {25, 0, 100, 0, 2, 0.5f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(ScaleValue(c.x, c.fromMin, c.fromMax, c.toMin, c.toMax), c.expected);
}

} // namespace
