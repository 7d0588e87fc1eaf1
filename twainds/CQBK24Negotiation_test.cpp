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

} // namespace
