// The scanner's standard capabilities whose answers depend on one another,
// in the cases where a request cannot be taken as it stands: coupled
// resolutions, range constraints, the filter list and the frame of a page
// size chosen on its side.
#include "twainds/testing/OpenSourceTest.h"

#include <vector>

namespace {

using NegotiationTest = qbk24::testing::OpenSourceTest;
using qbk24::testing::ExpectEdges;
using qbk24::testing::Number;
using qbk24::testing::Numbers;
using Trellis::CTWAINArray;
using Trellis::CTWAINContainer;
using Trellis::CTWAINEnumeration;
using Trellis::CTWAINOneValue;
using Trellis::CTWAINRange;

constexpr double kFix32Step = 1.0 / 65536;

CTWAINEnumeration Resolutions(std::initializer_list<float> dotsPerInch)
{
    CTWAINEnumeration list;
    for (float value : dotsPerInch)
        list.Add(CTWAINOneValue(value), list.GetCount() == 0, list.GetCount() == 0);
    return list;
}

// Once constraints have parted the two resolutions, a value one axis
// refuses is refused outright, and neither axis changes.
TEST_F(NegotiationTest, ARefusedResolutionChangesNeitherAxis)
{
    const struct {
        TW_UINT16 id;
        TW_UINT16 other;
    } axes[] = {{ICAP_XRESOLUTION, ICAP_YRESOLUTION}, {ICAP_YRESOLUTION, ICAP_XRESOLUTION}};
    for (const auto& axis : axes) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << axis.id);
        ASSERT_EQ(TWRC_SUCCESS, Send(axis.id, MSG_SET, CTWAINContainer(Resolutions({300, 400}))));
        ASSERT_EQ(TWRC_SUCCESS, Send(axis.other, MSG_SET, CTWAINContainer(Resolutions({100, 600}))));
        ASSERT_EQ(300.0, Current(axis.id));
        ASSERT_EQ(100.0, Current(axis.other));

        EXPECT_EQ(TWRC_FAILURE, SetOne(axis.id, CTWAINOneValue(250.0f)));
        EXPECT_EQ(TWCC_BADVALUE, Status());
        EXPECT_EQ(300.0, Current(axis.id));
        EXPECT_EQ(100.0, Current(axis.other));

        Ask(ICAP_XRESOLUTION, MSG_RESET);
        Ask(ICAP_YRESOLUTION, MSG_RESET);
    }
}

// A range constraint: one within the device's range is taken and changes
// nothing; one partly outside keeps the device's range with check status;
// one with nothing inside restores the range and fails.
TEST_F(NegotiationTest, RangeConstraintsWhollyOutsideFail)
{
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_BRIGHTNESS, CTWAINOneValue(10.0f)));
    const struct {
        TW_UINT16 id;
        CTWAINRange request;
        TW_UINT16 rc;
        double current;
    } cases[] = {
        {ICAP_BRIGHTNESS, CTWAINRange(-10, 20, 1, 5, 5), TWRC_SUCCESS, 10},
        {ICAP_BRIGHTNESS, CTWAINRange(-2000, 2000, 1, 20, 20), TWRC_CHECKSTATUS, 20},
        {ICAP_BRIGHTNESS, CTWAINRange(-2000, -1500, 1, -1700, -1700), TWRC_FAILURE, 0},
        {ICAP_THRESHOLD, CTWAINRange(300, 400, 10, 300, 300), TWRC_FAILURE, 128},
        {CUSTCAP_DYNAMICTHRESHOLD, CTWAINRange(20, 30, 1, 25, 25), TWRC_FAILURE, 8},
        {CUSTCAP_DESPECKLEVALUE, CTWAINRange(0.5f, 0.75f, 0.25f, 0.5f, 0.5f), TWRC_FAILURE, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "cap 0x" << std::hex << c.id << " from " << std::dec << Number(c.request.MinValue));
        EXPECT_EQ(c.rc, Send(c.id, MSG_SET, CTWAINContainer(c.request)));
        if (c.rc != TWRC_SUCCESS) {
            EXPECT_EQ(TWCC_BADVALUE, Status());
        }
        EXPECT_EQ(c.current, Current(c.id));
    }
    // The refused request left the device's own range in force.
    const CTWAINRange brightness = Ask(ICAP_BRIGHTNESS, MSG_GET).GetRange();
    EXPECT_EQ(
        (std::vector<double>{-1000, 1000, 1, 0, 0}),
        (std::vector<double>{Number(brightness.MinValue), Number(brightness.MaxValue), Number(brightness.StepSize),
                             Number(brightness.CurrentValue), Number(brightness.DefaultValue)}));
}

// An empty filter list would leave acquisition no filter to read: it falls
// back to no filter, and the application is told the list was refused.
TEST_F(NegotiationTest, AnEmptyFilterListFallsBackToNoFilter)
{
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_FILTER, CTWAINOneValue(TWFT_RED)));
    EXPECT_EQ(TWRC_FAILURE, Send(ICAP_FILTER, MSG_SET, CTWAINContainer(CTWAINArray())));
    EXPECT_EQ(TWCC_BADVALUE, Status());
    EXPECT_EQ(std::vector<double>{TWFT_NONE}, Numbers(Ask(ICAP_FILTER, MSG_GETCURRENT).GetArray()));

    // Nothing allowed in a list that was not empty: the default list.
    CTWAINArray unknown;
    unknown.Append(CTWAINOneValue(TW_UINT16{7}));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_FILTER, CTWAINOneValue(TWFT_BLUE)));
    EXPECT_EQ(TWRC_FAILURE, Send(ICAP_FILTER, MSG_SET, CTWAINContainer(unknown)));
    EXPECT_EQ(std::vector<double>{TWFT_NONE}, Numbers(Ask(ICAP_FILTER, MSG_GETCURRENT).GetArray()));

    CTWAINArray two;
    two.Append(CTWAINOneValue(TWFT_RED));
    two.Append(CTWAINOneValue(TWFT_GREEN));
    EXPECT_EQ(TWRC_SUCCESS, Send(ICAP_FILTER, MSG_SET, CTWAINContainer(two)));
    EXPECT_EQ((std::vector<double>{TWFT_RED, TWFT_GREEN}), Numbers(Ask(ICAP_FILTER, MSG_GETCURRENT).GetArray()));
}

// A chosen size sets the page's frame, in either orientation. The frame
// stays upright: a scan in landscape turns it.
TEST_F(NegotiationTest, ASizeSetsItsUprightFrameInEitherOrientation)
{
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_SUPPORTEDSIZES, CTWAINOneValue(TW_UINT16{0x800A})));
    ExpectEdges({0, 0, 11 / 2.54, 22 / 2.54}, Ask(ICAP_FRAMES, MSG_GETCURRENT).GetOneValue().Frame, kFix32Step);

    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_ORIENTATION, CTWAINOneValue(TWOR_LANDSCAPE)));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_SUPPORTEDSIZES, CTWAINOneValue(TWSS_A5)));
    ExpectEdges({0, 0, 14.8 / 2.54, 21 / 2.54}, Ask(ICAP_FRAMES, MSG_GETCURRENT).GetOneValue().Frame, kFix32Step);
    EXPECT_EQ(TWOR_LANDSCAPE, Current(ICAP_ORIENTATION));

    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_UNITS, CTWAINOneValue(TWUN_PIXELS)));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_SUPPORTEDSIZES, CTWAINOneValue(TW_UINT16{0x8013})));
    ExpectEdges({0, 0, 4 * 200, 6 * 200}, Ask(ICAP_FRAMES, MSG_GETCURRENT).GetOneValue().Frame, 0.01);

    // A constraint sets the frame of its current size; a refused size
    // leaves the frame alone.
    CTWAINEnumeration sizes;
    sizes.Add(CTWAINOneValue(TWSS_USLETTER));
    sizes.Add(CTWAINOneValue(TWSS_A6), true, true);
    ASSERT_EQ(TWRC_SUCCESS, Send(ICAP_SUPPORTEDSIZES, MSG_SET, Trellis::CTWAINContainer(sizes)));
    ExpectEdges({0, 0, 10.5 / 2.54 * 200, 14.8 / 2.54 * 200}, Ask(ICAP_FRAMES, MSG_GETCURRENT).GetOneValue().Frame,
                0.01);
    EXPECT_EQ(TWRC_FAILURE, SetOne(ICAP_SUPPORTEDSIZES, CTWAINOneValue(TWSS_USLEDGER)));
    ExpectEdges({0, 0, 10.5 / 2.54 * 200, 14.8 / 2.54 * 200}, Ask(ICAP_FRAMES, MSG_GETCURRENT).GetOneValue().Frame,
                0.01);
}

} // namespace
