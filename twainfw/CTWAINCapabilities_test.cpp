// The framework's capability answers after the source has been opened: the
// initial lists, the families of accessors and the image geometry.
#include "twainfw/CTWAINDataSource.h"

#include "platform/testing/TempSystemRoot.h"
#include "twainfw/FixedPoint.h"
#include "twainfw/TestDataSource.h"

#include <gtest/gtest.h>

#include <functional>

namespace Trellis {
namespace {

using testing::TestDataSource;

struct Answer {
    TW_INT32 returnCode;
    TW_INT32 conditionCode;
    bool operator==(const Answer&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Answer& answer)
{
    return out << "{rc " << answer.returnCode << ", cc " << answer.conditionCode << "}";
}

constexpr Answer kSuccess{TWRC_SUCCESS, TWCC_SUCCESS};
constexpr Answer kBadValue{TWRC_FAILURE, TWCC_BADVALUE};
constexpr Answer kAdjusted{TWRC_CHECKSTATUS, TWCC_BADVALUE};

Answer Outcome(const std::function<void()>& call)
{
    try {
        call();
        return kSuccess;
    } catch (const CTWAINOperationException& e) {
        return {e.m_ReturnCode, e.m_ConditionCode};
    }
}

CTWAINEnumeration Codes(std::initializer_list<TW_UINT16> codes)
{
    CTWAINEnumeration list;
    for (TW_UINT16 code : codes)
        list.Add(CTWAINOneValue(code));
    return list;
}

std::vector<TW_UINT32> Items(const CTWAINArray& list)
{
    std::vector<TW_UINT32> items;
    for (const CTWAINOneValue& item : list.m_List)
        items.push_back(item.Value);
    return items;
}

std::vector<float> Floats(const CTWAINArray& list)
{
    std::vector<float> items;
    for (const CTWAINOneValue& item : list.m_List)
        items.push_back(item.GetFloat());
    return items;
}

void ExpectFrame(const CTWAINFrame& actual, float left, float top, float right, float bottom, float margin = 1e-3f)
{
    EXPECT_NEAR(left, Fix32ToFloat(actual.Left), margin);
    EXPECT_NEAR(top, Fix32ToFloat(actual.Top), margin);
    EXPECT_NEAR(right, Fix32ToFloat(actual.Right), margin);
    EXPECT_NEAR(bottom, Fix32ToFloat(actual.Bottom), margin);
}

class CapabilityTest : public ::testing::Test {
protected:
    void Open(TestDataSource& source)
    {
        source.Init(nullptr);
        TW_IDENTITY assigned = source.GetIdentity();
        TW_IDENTITY app{};
        app.Id = 42;
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    }

    void SetUp() override { Open(ds); }

    plat::testing::TempSystemRoot root;
    TestDataSource ds;
};

TEST_F(CapabilityTest, OpeningSetsEveryCapabilityToItsDefault)
{
    struct Case {
        const char* name;
        std::function<TW_UINT32(TestDataSource&)> current;
        TW_UINT32 expected;
    };
    const Case cases[] = {
        {"units", [](auto& s) { return s.GetUnitsCurrent(); }, TWUN_INCHES},
        {"pixel type", [](auto& s) { return s.GetPixelTypeCurrent(); }, TWPT_BW},
        {"bit depth", [](auto& s) { return s.GetBitDepthCurrent(); }, 1},
        {"transfer mechanism", [](auto& s) { return s.GetXferMechCurrent(); }, TWSX_NATIVE},
        {"file format", [](auto& s) { return s.GetImageFileFormatCurrent(); }, TWFF_BMP},
        {"orientation", [](auto& s) { return s.GetOrientationCurrent(); }, TWOR_ROT0},
        {"pixel flavor", [](auto& s) { return s.GetPixelFlavorCurrent(); }, TWPF_CHOCOLATE},
        {"bit order", [](auto& s) { return s.GetBitOrderCurrent(); }, TWBO_MSBFIRST},
        {"job control", [](auto& s) { return s.GetJobControlCurrent(); }, TWJC_NONE},
        {"compression", [](auto& s) { return s.GetCompressionCurrent(); }, TWCP_NONE},
        {"planar/chunky", [](auto& s) { return s.GetPlanarChunkyCurrent(); }, TWPC_CHUNKY},
        {"page size", [](auto& s) { return s.GetSupportedSizesCurrent(); }, TWSS_NONE},
        {"transfer count", [](auto& s) { return static_cast<TW_UINT32>(s.GetXferCountCurrent()); }, 0xFFFFFFFFu},
        {"frames", [](auto& s) { return s.GetMaxFramesCurrent(); }, 1},
        {"duplex", [](auto& s) { return s.GetDuplex(); }, TWDX_NONE},
        {"custom data", [](auto& s) { return s.GetCustomDSData(); }, 1},
        {"x resolution", [](auto& s) { return static_cast<TW_UINT32>(s.GetXResolutionCurrent()); }, 200},
        {"y resolution", [](auto& s) { return static_cast<TW_UINT32>(s.GetYResolutionDefault()); }, 200},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, c.current(ds)) << c.name;

    ExpectFrame(ds.GetFramesCurrent(), 0, 0, 8.5f, 14.0f);
    EXPECT_EQ((std::vector<TW_UINT32>{TWFF_BMP, TWFF_TIFF}), Items(ds.GetImageFileFormatValues().List));
    EXPECT_EQ((std::vector<TW_UINT32>{TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY}), Items(ds.GetXferMechValues().List));
    EXPECT_EQ("Test Maker Test Scanner", ds.GetAuthor());

    // Each pixel type keeps its own bit depth.
    ds.SetPixelTypeCurrent(TWPT_GRAY);
    EXPECT_EQ(8, ds.GetBitDepthCurrent());
    EXPECT_EQ((std::vector<TW_UINT32>{8, 4}), Items(ds.GetBitDepthValues().List));
    ds.SetBitDepthCurrent(4);
    ds.SetPixelTypeCurrent(TWPT_RGB);
    EXPECT_EQ(24, ds.GetBitDepthCurrent());
    ds.SetPixelTypeCurrent(TWPT_GRAY);
    EXPECT_EQ(4, ds.GetBitDepthCurrent());
}

TEST_F(CapabilityTest, TheFrameworkListsItsOwnCapabilities)
{
    std::vector<TW_UINT32> caps = Items(ds.GetSupportedCaps());
    ASSERT_EQ(27u, caps.size());
    EXPECT_EQ(CAP_AUTHOR, caps.front());
    EXPECT_EQ(CUSTCAP_MULTIPAGETIFF, caps.back());
    for (TW_UINT16 id : {CAP_XFERCOUNT, ICAP_FRAMES, ICAP_YRESOLUTION})
        EXPECT_TRUE(ds.IsCapSupported(id)) << id;
    for (TW_UINT16 id : {CAP_AUTOFEED, ICAP_BRIGHTNESS, TW_UINT16{0}})
        EXPECT_FALSE(ds.IsCapSupported(id)) << id;
}

TEST_F(CapabilityTest, AnEmptySupportedListSupportsNothing)
{
    class Bare : public TestDataSource {
    public:
        void InitSupportedCaps(CTWAINArray& caps) override { caps.Clear(); }
    };
    Bare bare;
    Open(bare);
    for (TW_UINT16 id : {CAP_AUTHOR, CAP_SUPPORTEDCAPS, ICAP_PIXELTYPE})
        EXPECT_FALSE(bare.IsCapSupported(id)) << id;
}

TEST_F(CapabilityTest, ReopeningStartsFromTheSameLists)
{
    ds.SetPixelTypeConstraint(Codes({TWPT_GRAY}));
    TW_IDENTITY app{};
    app.Id = 42;
    TW_IDENTITY self = ds.GetIdentity();
    ASSERT_EQ(TWRC_SUCCESS, ds.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &self));
    ASSERT_EQ(TWRC_SUCCESS, ds.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &self));
    EXPECT_EQ((std::vector<TW_UINT32>{TWPT_BW, TWPT_GRAY, TWPT_RGB}), Items(ds.GetPixelTypeValues().List));
    EXPECT_EQ(27u, ds.GetSupportedCaps().GetCount());
}

TEST_F(CapabilityTest, ConstrainingAnEnumeratedList)
{
    EXPECT_EQ(kAdjusted, Outcome([&] { ds.SetPixelTypeConstraint(Codes({TWPT_RGB, 9})); }));
    EXPECT_EQ((std::vector<TW_UINT32>{TWPT_RGB}), Items(ds.GetPixelTypeValues().List));
    EXPECT_EQ(TWPT_RGB, ds.GetPixelTypeCurrent());
    EXPECT_EQ(TWPT_BW, ds.GetPixelTypeDefault()); // the allowed list's default

    // A value the constraint dropped comes back from the allowed list.
    ds.SetPixelTypeCurrent(TWPT_GRAY);
    EXPECT_EQ((std::vector<TW_UINT32>{TWPT_RGB, TWPT_GRAY}), Items(ds.GetPixelTypeValues().List));
    EXPECT_EQ(kBadValue, Outcome([&] { ds.SetPixelTypeCurrent(9); }));
    EXPECT_EQ(TWPT_GRAY, ds.GetPixelTypeCurrent());

    // Nothing left: the allowed list is back, and the request refused.
    EXPECT_EQ(kBadValue, Outcome([&] { ds.SetPixelTypeConstraint(Codes({9})); }));
    EXPECT_EQ((std::vector<TW_UINT32>{TWPT_BW, TWPT_GRAY, TWPT_RGB}), Items(ds.GetPixelTypeValues().List));

    EXPECT_EQ(kSuccess, Outcome([&] { ds.SetPixelTypeConstraint(Codes({TWPT_GRAY, TWPT_BW})); }));
    EXPECT_EQ(TWPT_BW, ds.ResetPixelType());
    EXPECT_EQ(3u, ds.GetPixelTypeValues().List.GetCount());
}

TEST_F(CapabilityTest, CompressionsBelongToTheTransferMechanism)
{
    class MemoryGroup4 : public TestDataSource {
    public:
        void InitCompressions(TW_UINT16 mech, CTWAINEnumeration& values) override
        {
            TestDataSource::InitCompressions(mech, values);
            if (mech == TWSX_MEMORY)
                values.Add(CTWAINOneValue(TWCP_GROUP4));
        }
    };
    MemoryGroup4 source;
    Open(source);
    EXPECT_EQ((std::vector<TW_UINT32>{TWCP_NONE}), Items(source.GetCompressionValues().List));
    EXPECT_EQ(kBadValue, Outcome([&] { source.SetCompressionCurrent(TWCP_GROUP4); }));

    source.SetXferMechCurrent(TWSX_MEMORY);
    EXPECT_EQ((std::vector<TW_UINT32>{TWCP_NONE, TWCP_GROUP4}), Items(source.GetCompressionValues().List));
    source.SetCompressionCurrent(TWCP_GROUP4);
    source.SetXferMechCurrent(TWSX_NATIVE);
    EXPECT_EQ(TWCP_NONE, source.GetCompressionCurrent());
    source.SetXferMechCurrent(TWSX_MEMORY);
    EXPECT_EQ(TWCP_GROUP4, source.GetCompressionCurrent());
    EXPECT_EQ(TWCP_NONE, source.GetCompressionDefault());
}

TEST_F(CapabilityTest, BatchBuffersTakeTheApplicationsRange)
{
    CTWAINRange range;
    range.SetMin(CTWAINOneValue(1, TWTY_UINT32));
    range.SetMax(CTWAINOneValue(8, TWTY_UINT32));
    range.SetStep(CTWAINOneValue(1, TWTY_UINT32));
    range.SetDefault(CTWAINOneValue(2, TWTY_UINT32));
    range.SetCurrent(CTWAINOneValue(2, TWTY_UINT32));
    ds.SetMaxBatchBuffersRangeConstraint(range);
    ds.SetMaxBatchBuffersCurrent(6);
    EXPECT_EQ(6u, ds.GetMaxBatchBuffersCurrent());
    EXPECT_EQ(2u, ds.GetMaxBatchBuffersDefault());
    EXPECT_EQ(TWON_RANGE, ds.GetMaxBatchBuffersValues().ContainerType);
    EXPECT_EQ(0u, ds.ResetMaxBatchBuffers()); // the framework allows no range of its own
}

TEST_F(CapabilityTest, FixedValuesRefuseWhatTheyCannotTake)
{
    struct Case {
        const char* name;
        std::function<void()> set;
        Answer expected;
    };
    const Case cases[] = {
        {"transfer count 0", [&] { ds.SetXferCountCurrent(0); }, kBadValue},
        {"transfer count -2", [&] { ds.SetXferCountCurrent(-2); }, kBadValue},
        {"transfer count -1", [&] { ds.SetXferCountCurrent(-1); }, kSuccess},
        {"transfer count 32767", [&] { ds.SetXferCountCurrent(32767); }, kSuccess},
        {"two frames", [&] { ds.SetMaxFramesCurrent(2); }, kBadValue},
        {"one frame", [&] { ds.SetMaxFramesCurrent(1); }, kSuccess},
        {"unlisted bit order", [&] { ds.SetBitOrderCurrent(TWBO_LSBFIRST); }, kBadValue},
        {"unlisted flavor", [&] { ds.SetPixelFlavorCurrent(TWPF_VANILLA); }, kBadValue},
        {"batch buffers as a list", [&] { ds.SetMaxBatchBuffersConstraint(Codes({1})); }, kBadValue},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, Outcome(c.set)) << c.name;
    EXPECT_EQ(32767, ds.GetXferCountCurrent());
    EXPECT_EQ(-1, ds.ResetXferCount());
}

TEST_F(CapabilityTest, UnimplementedCapabilitiesAnswerByWhetherTheyAreListed)
{
    const std::function<void(TestDataSource&)> calls[] = {
        [](TestDataSource& s) { s.GetAutoFeedCurrent(); },
        [](TestDataSource& s) { s.QueryAutoFeedSupport(); },
        [](TestDataSource& s) { s.SetAutoFeedCurrent(true); },
    };
    TestDataSource listing;
    listing.ExtraCaps = {CAP_AUTOFEED};
    listing.Init(nullptr);
    listing.FillSupportedCaps();
    for (const auto& call : calls) {
        EXPECT_EQ((Answer{TWRC_FAILURE, TWCC_CAPUNSUPPORTED}), Outcome([&] { call(ds); }));
        EXPECT_EQ((Answer{TWRC_FAILURE, TWCC_CAPBADOPERATION}), Outcome([&] { call(listing); }));
    }
    // The framework's author text cannot be set.
    EXPECT_EQ((Answer{TWRC_FAILURE, TWCC_CAPBADOPERATION}), Outcome([&] { ds.SetAuthor("x"); }));

    // Opening resets every listed capability, so a device that lists one
    // must also answer for it.
    TW_IDENTITY app{};
    app.Id = 42;
    TW_IDENTITY assigned = listing.GetIdentity();
    EXPECT_EQ(TWRC_FAILURE, listing.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    TW_STATUS status{};
    ASSERT_EQ(TWRC_SUCCESS, listing.Dispatch(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status));
    EXPECT_EQ(TWCC_CAPBADOPERATION, status.ConditionCode);
    EXPECT_EQ(3, listing.GetState());
    EXPECT_EQ(TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT, ds.QueryAuthorSupport());
    EXPECT_EQ(0x1F, ds.QueryUnitsSupport());
}

TEST_F(CapabilityTest, DimensionsFollowTheUnits)
{
    struct Case {
        TW_UINT16 unit;
        float width;
        float minimumHeight;
    };
    const Case cases[] = {
        {TWUN_INCHES, 8.5f, 2.0f},
        {TWUN_CENTIMETERS, 8.5f * 2.54f, 2.0f * 2.54f},
        {TWUN_PIXELS, 8.5f * 200, 2.0f * 200},
    };
    for (const Case& c : cases) {
        ds.SetUnitsCurrent(c.unit);
        EXPECT_NEAR(c.width, ds.GetPhysicalWidth(), 1e-3) << c.unit;
        EXPECT_NEAR(c.minimumHeight, ds.GetMinimumHeight(), 1e-3) << c.unit;
        ExpectFrame(ds.GetFramesDefault(), 0, 0, c.width, 14.0f * c.width / 8.5f, 1e-2f);
    }
}

TEST_F(CapabilityTest, ResolutionsCrossTheInterfaceInTheCurrentUnit)
{
    ds.SetXResolutionCurrent(300);
    ds.SetUnitsCurrent(TWUN_CENTIMETERS);
    const float perCentimetre = ds.GetXResolutionCurrent();
    EXPECT_NEAR(300 / 2.54, perCentimetre, 1e-3);
    EXPECT_FLOAT_EQ(300, ds.GetXResolutionValue());
    std::vector<float> values = Floats(ds.GetXResolutionValues().List);
    ASSERT_EQ(3u, values.size());
    EXPECT_NEAR(100 / 2.54, values[0], 1e-3);

    EXPECT_EQ(kSuccess, Outcome([&] { ds.SetXResolutionCurrent(perCentimetre); }));
    EXPECT_FLOAT_EQ(300, ds.GetXResolutionValue());

    ds.SetUnitsCurrent(TWUN_PIXELS);
    EXPECT_FLOAT_EQ(1.0f, ds.GetXResolutionCurrent());
    EXPECT_EQ((std::vector<float>{1.0f}), Floats(ds.GetXResolutionValues().List));
    EXPECT_EQ(kSuccess, Outcome([&] { ds.SetXResolutionCurrent(1.0f); }));
    EXPECT_EQ(kBadValue, Outcome([&] { ds.SetXResolutionCurrent(200); }));
    EXPECT_EQ(kBadValue, Outcome([&] { ds.SetYResolutionConstraint(CTWAINEnumeration()); }));
    EXPECT_FLOAT_EQ(300, ds.GetXResolutionValue());
}

TEST_F(CapabilityTest, ResolutionsBetweenListedValuesMoveToTheNearest)
{
    struct Case {
        float request;
        Answer expected;
        float current;
    };
    const Case cases[] = {
        {100, kSuccess, 100},  {180, kAdjusted, 200}, {250, kAdjusted, 300}, // of two equally near, the upper
        {50, kBadValue, 300},                                                // outside the list: nothing changes
        {400, kBadValue, 300},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, Outcome([&] { ds.SetYResolutionCurrent(c.request); })) << c.request;
        EXPECT_FLOAT_EQ(c.current, ds.GetYResolutionValue()) << c.request;
    }
}

TEST_F(CapabilityTest, ConstrainingResolutions)
{
    CTWAINEnumeration request;
    request.Add(CTWAINOneValue(100.0f));
    request.Add(CTWAINOneValue(150.0f));
    EXPECT_EQ(kAdjusted, Outcome([&] { ds.SetXResolutionConstraint(request); }));
    EXPECT_EQ((std::vector<float>{100}), Floats(ds.GetXResolutionValues().List));

    // A range takes the allowed values inside it, whatever its step.
    EXPECT_EQ(kSuccess, Outcome([&] { ds.SetXResolutionRangeConstraint(CTWAINRange(150, 350, 7, 300, 200)); }));
    EXPECT_EQ((std::vector<float>{200, 300}), Floats(ds.GetXResolutionValues().List));
    EXPECT_FLOAT_EQ(300, ds.GetXResolutionValue());

    // Nothing inside: the axis is reset and the request refused.
    EXPECT_EQ(kBadValue, Outcome([&] { ds.SetXResolutionRangeConstraint(CTWAINRange(400, 600, 1, 400, 400)); }));
    EXPECT_EQ((std::vector<float>{100, 200, 300}), Floats(ds.GetXResolutionValues().List));
    EXPECT_FLOAT_EQ(200, ds.GetXResolutionValue());
}

TEST_F(CapabilityTest, FramesAreKeptInInchesAndClippedToThePage)
{
    ds.SetUnitsCurrent(TWUN_CENTIMETERS);
    ds.SetFramesCurrent(CTWAINFrame(2.54f, 2.54f, 12.7f, 25.4f));
    ExpectFrame(ds.GetFramesCurrent(), 2.54f, 2.54f, 12.7f, 25.4f);
    ds.SetUnitsCurrent(TWUN_INCHES);
    ExpectFrame(ds.GetFramesCurrent(), 1, 1, 5, 10);
    ds.SetUnitsCurrent(TWUN_PIXELS);
    ExpectFrame(ds.GetFramesCurrent(), 200, 200, 1000, 2000, 0.05f);
    ds.SetUnitsCurrent(TWUN_INCHES);

    // Past the page by a rounding margin: clipped, and the application told.
    EXPECT_EQ(kAdjusted, Outcome([&] { ds.SetFramesCurrent(CTWAINFrame(0, 0, 8.5001f, 11)); }));
    ExpectFrame(ds.GetFramesCurrent(), 0, 0, 8.5f, 11, 1e-5f);

    // Wholly past the page: an empty frame would be no frame at all.
    EXPECT_EQ(kAdjusted, Outcome([&] { ds.SetFramesCurrent(CTWAINFrame(9, 15, 10, 16)); }));
    ExpectFrame(ds.GetFramesCurrent(), 0, 0, 8.5f, 14);

    EXPECT_EQ(kBadValue, Outcome([&] { ds.SetFramesConstraint(CTWAINEnumeration()); }));
    CTWAINEnumeration two;
    two.Add(CTWAINOneValue(TW_FRAME(CTWAINFrame(1, 1, 2, 2))));
    two.Add(CTWAINOneValue(TW_FRAME(CTWAINFrame(3, 3, 4, 4))), true);
    EXPECT_EQ(kAdjusted, Outcome([&] { ds.SetFramesConstraint(two); }));
    ExpectFrame(ds.GetFramesCurrent(), 3, 3, 4, 4);

    ExpectFrame(ds.ResetFrames(), 0, 0, 8.5f, 14);
    EXPECT_EQ(TWSS_NONE, ds.GetSupportedSizesCurrent());
}

TEST_F(CapabilityTest, PageSizesSetTheFrame)
{
    ds.SetFramesCurrent(CTWAINFrame(1, 1, 2, 2));
    EXPECT_EQ(kBadValue, Outcome([&] { ds.SetSupportedSizesCurrent(TWSS_B5LETTER); }));
    ds.SetSupportedSizesCurrent(TWSS_NONE);
    ExpectFrame(ds.GetFramesCurrent(), 1, 1, 2, 2);

    ds.SetSupportedSizesCurrent(TWSS_USLETTER);
    ExpectFrame(ds.GetFramesCurrent(), 0, 0, 8.5f, 11);
    EXPECT_EQ(TWSS_USLETTER, ds.GetSupportedSizesCurrent());

    // Setting a frame makes the page size none again.
    ds.SetFramesCurrent(CTWAINFrame(1, 1, 2, 2));
    EXPECT_EQ(TWSS_NONE, ds.GetSupportedSizesCurrent());

    EXPECT_EQ(kAdjusted, Outcome([&] { ds.SetSupportedSizesConstraint(Codes({TWSS_A4, TWSS_B5LETTER})); }));
    EXPECT_EQ((std::vector<TW_UINT32>{TWSS_A4}), Items(ds.GetSupportedSizesValues().List));
    ExpectFrame(ds.GetFramesCurrent(), 0, 0, 21.0f / 2.54f, 29.7f / 2.54f);
    EXPECT_EQ(kBadValue, Outcome([&] { ds.SetSupportedSizesConstraint(Codes({TWSS_B5LETTER})); }));
    EXPECT_EQ(TWSS_NONE, ds.ResetSupportedSizes());
}

TEST_F(CapabilityTest, ACentreFedPageLiesInTheMiddleOfThePaperPath)
{
    TestDataSource centred;
    centred.FeederAlignment = TWFA_CENTER;
    centred.ExtraCaps = {CAP_FEEDERALIGNMENT};
    Open(centred);
    const float a5Width = 14.8f / 2.54f;
    const float a5Height = 21.0f / 2.54f;
    centred.SetSupportedSizesCurrent(TWSS_A5);
    const float offset = (8.5f - a5Width) / 2;
    EXPECT_NEAR(1.337, offset, 0.01);
    ExpectFrame(centred.GetFramesCurrent(), offset, 0, offset + a5Width, a5Height);

    centred.SetOrientationCurrent(TWOR_LANDSCAPE);
    centred.SetSupportedSizesCurrent(TWSS_A5);
    const float down = (8.5f - a5Height) / 2;
    ExpectFrame(centred.GetFramesCurrent(), 0, down, a5Width, down + a5Height);

    // Without the capability listed, the alignment is not looked at.
    TestDataSource unlisted;
    unlisted.FeederAlignment = TWFA_CENTER;
    Open(unlisted);
    unlisted.SetSupportedSizesCurrent(TWSS_A5);
    ExpectFrame(unlisted.GetFramesCurrent(), 0, 0, a5Width, a5Height);
}

TEST_F(CapabilityTest, ImageDataSet)
{
    ds.SetImagesAvailable(5);
    EXPECT_EQ(5u, ds.ResetImageDataSet());

    CTWAINContainer answer;
    ds.GetImageDataSetCurrent(answer);
    EXPECT_EQ(TWON_ONEVALUE, answer.ContainerType);
    EXPECT_EQ(5u, answer.GetOneValue().Value);

    CTWAINRange range;
    range.SetMin(CTWAINOneValue(2, TWTY_UINT32));
    range.SetMax(CTWAINOneValue(4, TWTY_UINT32));
    range.SetStep(CTWAINOneValue(1, TWTY_UINT32));
    ds.SetImageDataSetRangeConstraint(range);
    ds.GetImageDataSetCurrent(answer);
    EXPECT_EQ(TWON_ARRAY, answer.ContainerType);
    EXPECT_EQ((std::vector<TW_UINT32>{2, 3, 4}), Items(answer.GetArray()));

    struct Case {
        const char* name;
        std::function<void()> set;
        Answer expected;
    };
    CTWAINArray withZero;
    withZero.Append(CTWAINOneValue(0, TWTY_UINT32));
    CTWAINRange huge = range;
    huge.SetMax(CTWAINOneValue(0xFFFFFFFFu, TWTY_UINT32));
    CTWAINRange fromZero = range;
    fromZero.SetMin(CTWAINOneValue(0, TWTY_UINT32));
    const Case cases[] = {
        {"none", [&] { ds.SetImageDataSetCurrent(0); }, kBadValue},
        {"more than there are", [&] { ds.SetImageDataSetCurrent(6); }, kBadValue},
        {"image 0", [&] { ds.SetImageDataSetArray(withZero); }, kBadValue},
        {"range from 0", [&] { ds.SetImageDataSetRangeConstraint(fromZero); }, kBadValue},
        {"range past the images", [&] { ds.SetImageDataSetRangeConstraint(huge); }, kBadValue},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, Outcome(c.set)) << c.name;
        ds.GetImageDataSetCurrent(answer);
        EXPECT_EQ((std::vector<TW_UINT32>{2, 3, 4}), Items(answer.GetArray())) << c.name;
    }

    ds.SetImageDataSetCurrent(3);
    ds.GetImageDataSetCurrent(answer);
    EXPECT_EQ(TWON_ONEVALUE, answer.ContainerType);
    EXPECT_EQ(3u, answer.GetOneValue().Value);

    // An empty set is answered as an empty array.
    ds.SetImageDataSetArray(CTWAINArray());
    ds.GetImageDataSetCurrent(answer);
    EXPECT_EQ(TWON_ARRAY, answer.ContainerType);
    EXPECT_EQ(0u, answer.GetArray().GetCount());
}

} // namespace
} // namespace Trellis
