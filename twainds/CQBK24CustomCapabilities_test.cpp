// The scanner's own capabilities as an application negotiates them: every
// listed capability answering in its own shape, the routes of the custom ids
// through the framework's hooks, and the rules of the device's lists,
// ranges and flags.
#include "twainds/testing/OpenSourceTest.h"

#include <string>
#include <vector>

namespace {

using CustomCapabilityTest = qbk24::testing::OpenSourceTest;
using qbk24::testing::Edges;
using qbk24::testing::Number;
using qbk24::testing::Numbers;
using Trellis::CTWAINArray;
using Trellis::CTWAINContainer;
using Trellis::CTWAINEnumeration;
using Trellis::CTWAINFrame;
using Trellis::CTWAINOneValue;
using Trellis::CTWAINRange;

constexpr TW_INT32 kAll = TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET;
constexpr TW_INT32 kRead = TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT;

// What a capability is: the container MSG_GET answers, the type of its
// items, and whether an application may change it.
struct Shape {
    TW_UINT16 id;
    TW_UINT16 container;
    TW_UINT16 itemType;
    TW_INT32 support;
};

// Every capability the scanner lists, as its table row has it.
const Shape kListedShapes[] = {
    // The framework's.
    {CAP_AUTHOR, TWON_ONEVALUE, TWTY_STR128, kRead},
    {CAP_DEVICEONLINE, TWON_ONEVALUE, TWTY_BOOL, kRead},
    {CAP_JOBCONTROL, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {CAP_SUPPORTEDCAPS, TWON_ARRAY, TWTY_UINT16, kRead},
    {CAP_TIMEDATE, TWON_ONEVALUE, TWTY_STR32, kRead},
    {CAP_UICONTROLLABLE, TWON_ONEVALUE, TWTY_BOOL, kRead},
    {CAP_XFERCOUNT, TWON_ONEVALUE, TWTY_INT16, kAll},
    {ICAP_BITDEPTH, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_BITORDER, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_COMPRESSION, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_FRAMES, TWON_ONEVALUE, TWTY_FRAME, kAll},
    {ICAP_IMAGEFILEFORMAT, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_MAXFRAMES, TWON_ONEVALUE, TWTY_UINT16, kAll},
    {ICAP_MINIMUMHEIGHT, TWON_ONEVALUE, TWTY_FIX32, kRead},
    {ICAP_MINIMUMWIDTH, TWON_ONEVALUE, TWTY_FIX32, kRead},
    {ICAP_ORIENTATION, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_PHYSICALHEIGHT, TWON_ONEVALUE, TWTY_FIX32, kRead},
    {ICAP_PHYSICALWIDTH, TWON_ONEVALUE, TWTY_FIX32, kRead},
    {ICAP_PIXELFLAVOR, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_PIXELTYPE, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_PLANARCHUNKY, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_SUPPORTEDSIZES, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_UNITS, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_XFERMECH, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_XRESOLUTION, TWON_ENUMERATION, TWTY_FIX32, kAll},
    {ICAP_YRESOLUTION, TWON_ENUMERATION, TWTY_FIX32, kAll},
    {Trellis::CUSTCAP_MULTIPAGETIFF, TWON_ONEVALUE, TWTY_BOOL, kAll},
    // The device's.
    {CAP_AUTOFEED, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {CAP_AUTOSCAN, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {CAP_CUSTOMDSDATA, TWON_ONEVALUE, TWTY_BOOL, kRead},
    {CAP_DUPLEX, TWON_ONEVALUE, TWTY_UINT16, kRead},
    {CAP_DUPLEXENABLED, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {CAP_ENABLEDSUIONLY, TWON_ONEVALUE, TWTY_BOOL, kRead},
    {CAP_FEEDERALIGNMENT, TWON_ONEVALUE, TWTY_UINT16, kRead},
    {CAP_FEEDERENABLED, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {CAP_FEEDERLOADED, TWON_ONEVALUE, TWTY_BOOL, kRead},
    {CAP_FEEDERORDER, TWON_ONEVALUE, TWTY_UINT16, kRead},
    {CAP_INDICATORS, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {CAP_PAPERDETECTABLE, TWON_ONEVALUE, TWTY_BOOL, kRead},
    {ICAP_AUTOMATICDESKEW, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {CUSTCAP_SKEWACTION, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {CUSTCAP_AUTOCROPLENGTH, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {CUSTCAP_AUTOCROPWIDTH, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {CUSTCAP_AUTOMATICSEPARATION, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {ICAP_BITDEPTHREDUCTION, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_BRIGHTNESS, TWON_RANGE, TWTY_FIX32, kAll},
    {ICAP_CONTRAST, TWON_RANGE, TWTY_FIX32, kAll},
    {ICAP_JPEGQUALITY, TWON_RANGE, TWTY_INT16, kAll},
    {CUSTCAP_DESPECKLE, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {CUSTCAP_DESPECKLEVALUE, TWON_RANGE, TWTY_FIX32, kAll},
    {CUSTCAP_DOUBLEFEEDDETECTION, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {CUSTCAP_DOUBLEFEEDSENSITIVITY, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {CUSTCAP_DOUBLEFEEDACTION, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_EXTIMAGEINFO, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {ICAP_FILTER, TWON_ARRAY, TWTY_UINT16, kAll},
    {ICAP_HALFTONES, TWON_ENUMERATION, TWTY_STR32, kAll},
    {CUSTCAP_INVERTIMAGE, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {CUSTCAP_MIRRORIMAGE, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {ICAP_NOISEFILTER, TWON_ENUMERATION, TWTY_UINT16, kAll},
    {ICAP_ROTATION, TWON_ENUMERATION, TWTY_FIX32, kAll},
    {ICAP_THRESHOLD, TWON_RANGE, TWTY_FIX32, kAll},
    {CUSTCAP_DYNAMICTHRESHOLD, TWON_RANGE, TWTY_FIX32, kAll},
    {ICAP_UNDEFINEDIMAGESIZE, TWON_ONEVALUE, TWTY_BOOL, kAll},
    {ICAP_XNATIVERESOLUTION, TWON_ONEVALUE, TWTY_FIX32, kRead},
    {ICAP_YNATIVERESOLUTION, TWON_ONEVALUE, TWTY_FIX32, kRead},
    {CUSTCAP_LONGDOCSUPPORT, TWON_ONEVALUE, TWTY_BOOL, kAll},
};

// The item types an answer holds: a range's and its items', or every
// listed item's.
std::vector<TW_UINT16> ItemTypes(const CTWAINContainer& answer)
{
    std::vector<TW_UINT16> types;
    if (answer.ContainerType == TWON_RANGE) {
        const CTWAINRange& range = answer.Range;
        for (TW_UINT32 type : {range.ItemType, range.MinValue.ItemType, range.MaxValue.ItemType,
                               range.StepSize.ItemType, range.CurrentValue.ItemType, range.DefaultValue.ItemType})
            types.push_back(static_cast<TW_UINT16>(type));
        return types;
    }
    for (const CTWAINOneValue& item : answer.List.m_List)
        types.push_back(static_cast<TW_UINT16>(item.ItemType));
    return types;
}

// Every capability in CAP_SUPPORTEDCAPS answers every reading message, in
// the container and with the item type of its row; the current and the
// default value come as one value (an array for an array capability).
TEST_F(CustomCapabilityTest, EveryListedCapabilityAnswersInItsOwnShape)
{
    const std::vector<double> listed = Numbers(Ask(CAP_SUPPORTEDCAPS, MSG_GET).GetArray());
    std::vector<double> rows;
    for (const Shape& shape : kListedShapes)
        rows.push_back(shape.id);
    ASSERT_EQ(listed, rows) << "one row per listed capability, in the list's order";

    for (const Shape& shape : kListedShapes) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << shape.id);
        const TW_UINT16 single = shape.container == TWON_ARRAY ? TWON_ARRAY : TWON_ONEVALUE;
        const struct {
            TW_UINT16 msg;
            TW_UINT16 container;
        } messages[] = {{MSG_GET, shape.container}, {MSG_GETCURRENT, single}, {MSG_GETDEFAULT, single}};
        for (const auto& m : messages) {
            SCOPED_TRACE(::testing::Message() << "msg " << m.msg);
            CTWAINContainer answer;
            if (Query(shape.id, m.msg, answer) != TWRC_SUCCESS) {
                ADD_FAILURE() << "refused, condition " << Status();
                continue;
            }
            EXPECT_EQ(m.container, answer.ContainerType);
            const std::vector<TW_UINT16> types = ItemTypes(answer);
            EXPECT_FALSE(types.empty());
            EXPECT_EQ(std::vector<TW_UINT16>(types.size(), shape.itemType), types);
        }
        CTWAINContainer support;
        if (Query(shape.id, MSG_QUERYSUPPORT, support) != TWRC_SUCCESS) {
            ADD_FAILURE() << "query refused, condition " << Status();
            continue;
        }
        ASSERT_EQ(TWON_ONEVALUE, support.ContainerType);
        EXPECT_EQ(TWTY_INT32, support.GetOneValue().ItemType);
        EXPECT_EQ(shape.support, static_cast<TW_INT32>(support.GetOneValue().Value));
    }
}

// Each custom id, ICAP_NOISEFILTER and CAP_FEEDERORDER: what every message
// answers. Lists, ranges and flags take their own value back and reset;
// the feeder order is read only.
TEST_F(CustomCapabilityTest, EveryMessageReachesTheCustomCapabilities)
{
    const struct {
        TW_UINT16 id;
        TW_UINT16 container; // of MSG_GET
        TW_UINT16 itemType;
        TW_INT32 support;
    } capabilities[] = {
        {CUSTCAP_DYNAMICTHRESHOLD, TWON_RANGE, TWTY_FIX32, kAll},
        {CUSTCAP_DESPECKLE, TWON_ENUMERATION, TWTY_UINT16, kAll},
        {CUSTCAP_DESPECKLEVALUE, TWON_RANGE, TWTY_FIX32, kAll},
        {CUSTCAP_INVERTIMAGE, TWON_ONEVALUE, TWTY_BOOL, kAll},
        {CUSTCAP_MIRRORIMAGE, TWON_ONEVALUE, TWTY_BOOL, kAll},
        {CUSTCAP_DOUBLEFEEDDETECTION, TWON_ONEVALUE, TWTY_BOOL, kAll},
        {CUSTCAP_DOUBLEFEEDSENSITIVITY, TWON_ENUMERATION, TWTY_UINT16, kAll},
        {CUSTCAP_AUTOMATICSEPARATION, TWON_ONEVALUE, TWTY_BOOL, kAll},
        {CUSTCAP_AUTOCROPWIDTH, TWON_ONEVALUE, TWTY_BOOL, kAll},
        {CUSTCAP_AUTOCROPLENGTH, TWON_ONEVALUE, TWTY_BOOL, kAll},
        {CUSTCAP_DOUBLEFEEDACTION, TWON_ENUMERATION, TWTY_UINT16, kAll},
        {CUSTCAP_SKEWACTION, TWON_ENUMERATION, TWTY_UINT16, kAll},
        {CUSTCAP_LONGDOCSUPPORT, TWON_ONEVALUE, TWTY_BOOL, kAll},
        {ICAP_NOISEFILTER, TWON_ENUMERATION, TWTY_UINT16, kAll},
        {CAP_FEEDERORDER, TWON_ONEVALUE, TWTY_UINT16, kRead},
    };
    for (const auto& c : capabilities) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << c.id);
        EXPECT_EQ(c.container, Ask(c.id, MSG_GET).ContainerType);
        const CTWAINOneValue current = Ask(c.id, MSG_GETCURRENT).GetOneValue();
        EXPECT_EQ(c.itemType, current.ItemType);
        EXPECT_EQ(c.itemType, Ask(c.id, MSG_GETDEFAULT).GetOneValue().ItemType);
        EXPECT_EQ(c.support, static_cast<TW_INT32>(Ask(c.id, MSG_QUERYSUPPORT).GetOneValue().Value));

        const TW_UINT16 settable = c.support == kAll ? TWRC_SUCCESS : TWRC_FAILURE;
        EXPECT_EQ(settable, SetOne(c.id, current));
        CTWAINContainer reset;
        EXPECT_EQ(settable, Query(c.id, MSG_RESET, reset));
        if (settable == TWRC_SUCCESS) {
            ASSERT_EQ(TWON_ONEVALUE, reset.ContainerType);
            EXPECT_EQ(c.itemType, reset.GetOneValue().ItemType);
        } else {
            // The gate refuses what the query-support flags do not offer.
            EXPECT_EQ(TWCC_CAPBADOPERATION, Status());
        }
    }
}

// What the hooks refuse: the unused ids (answered by the gate), containers
// a capability does not take, and flags given anything but a one value.
TEST_F(CustomCapabilityTest, TheHooksRefuseWhatTheyDoNotTake)
{
    CTWAINEnumeration codes;
    codes.Add(CTWAINOneValue(TW_UINT16{1}), true, true);
    CTWAINArray array;
    array.Append(CTWAINOneValue(TW_UINT16{1}));
    const CTWAINContainer one(CTWAINOneValue(TW_UINT16{1}));
    const CTWAINContainer range(CTWAINRange(2, 4, 1, 3, 3));

    const struct {
        TW_UINT16 id;
        TW_UINT16 msg;
        CTWAINContainer container; // for MSG_SET
        TW_UINT16 rc;
        TW_UINT16 condition;
    } cases[] = {
        // Not listed: the gate answers "nothing supported" to the query
        // and refuses everything else.
        {0x8022, MSG_GET, {}, TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        {0x8022, MSG_GETCURRENT, {}, TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        {0x8022, MSG_GETDEFAULT, {}, TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        {0x8022, MSG_SET, one, TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        {0x8022, MSG_RESET, {}, TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        {0x8023, MSG_GET, {}, TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        {0x8023, MSG_SET, one, TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        {0x8023, MSG_RESET, {}, TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        {0x802A, MSG_GET, {}, TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        // Containers the capability has no setter for.
        {CUSTCAP_DESPECKLE, MSG_SET, range, TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        {ICAP_NOISEFILTER, MSG_SET, CTWAINContainer(array), TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        {CUSTCAP_DYNAMICTHRESHOLD, MSG_SET, CTWAINContainer(codes), TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        {CUSTCAP_DESPECKLEVALUE, MSG_SET, CTWAINContainer(array), TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        // A flag reads its container as a one value.
        {CUSTCAP_AUTOMATICSEPARATION, MSG_SET, CTWAINContainer(codes), TWRC_FAILURE, TWCC_BUMMER},
        {CUSTCAP_LONGDOCSUPPORT, MSG_SET, range, TWRC_FAILURE, TWCC_BUMMER},
        // Read only.
        {CAP_FEEDERORDER, MSG_SET, one, TWRC_FAILURE, TWCC_CAPBADOPERATION},
        {CAP_FEEDERORDER, MSG_RESET, {}, TWRC_FAILURE, TWCC_CAPBADOPERATION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << c.id << " msg " << std::dec << c.msg);
        CTWAINContainer answer;
        const TW_UINT16 rc = c.msg == MSG_SET ? Send(c.id, MSG_SET, c.container) : Query(c.id, c.msg, answer);
        EXPECT_EQ(c.rc, rc);
        EXPECT_EQ(c.condition, Status());
    }
    for (TW_UINT16 unused : {TW_UINT16{0x8022}, TW_UINT16{0x8023}, TW_UINT16{0x802A}}) {
        const CTWAINOneValue none = Ask(unused, MSG_QUERYSUPPORT).GetOneValue();
        EXPECT_EQ(TWTY_INT32, none.ItemType);
        EXPECT_EQ(0u, none.Value);
    }
    // Nothing refused changed a value.
    EXPECT_EQ(1.0, Current(CUSTCAP_DESPECKLE));
    EXPECT_EQ(8.0, Current(CUSTCAP_DYNAMICTHRESHOLD));
    EXPECT_EQ(0.0, Current(CUSTCAP_AUTOMATICSEPARATION));
    EXPECT_EQ(0.0, Current(CUSTCAP_LONGDOCSUPPORT));
}

// The values an application finds after opening: each list with its
// current and default value, each range with its bounds, each flag off.
TEST_F(CustomCapabilityTest, CustomCapabilitiesAnswerTheirInitialValues)
{
    const struct {
        TW_UINT16 id;
        std::vector<double> values; // list items, or range min, max, step
        double current;
        double defaultValue;
    } cases[] = {
        {CUSTCAP_DYNAMICTHRESHOLD, {1, 15, 1}, 8, 8},
        {CUSTCAP_DESPECKLE, {0, 1}, 1, 1},
        {CUSTCAP_DESPECKLEVALUE, {1, 6, 1}, 1, 1},
        {CUSTCAP_DOUBLEFEEDSENSITIVITY, {0, 1, 2}, 1, 1},
        {CUSTCAP_DOUBLEFEEDACTION, {0, 2}, 2, 2},
        {CUSTCAP_SKEWACTION, {2}, 2, 2},
        {ICAP_NOISEFILTER, {TWNF_NONE, TWNF_LONEPIXEL}, TWNF_NONE, TWNF_NONE},
        {CUSTCAP_INVERTIMAGE, {0}, 0, 0},
        {CUSTCAP_MIRRORIMAGE, {0}, 0, 0},
        {CUSTCAP_DOUBLEFEEDDETECTION, {0}, 0, 0},
        {CUSTCAP_AUTOMATICSEPARATION, {0}, 0, 0},
        {CUSTCAP_AUTOCROPWIDTH, {0}, 0, 0},
        {CUSTCAP_AUTOCROPLENGTH, {0}, 0, 0},
        {CUSTCAP_LONGDOCSUPPORT, {0}, 0, 0},
        {CAP_FEEDERORDER, {0}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << c.id);
        const CTWAINContainer all = Ask(c.id, MSG_GET);
        if (all.ContainerType == TWON_RANGE) {
            const CTWAINRange& range = all.Range;
            EXPECT_EQ(c.values,
                      (std::vector<double>{Number(range.MinValue), Number(range.MaxValue), Number(range.StepSize)}));
            EXPECT_EQ(c.current, Number(range.CurrentValue));
            EXPECT_EQ(c.defaultValue, Number(range.DefaultValue));
        } else if (all.ContainerType == TWON_ENUMERATION) {
            EXPECT_EQ(c.values, Numbers(all.List));
            EXPECT_EQ(c.current, Number(all.List.GetCurrent()));
            EXPECT_EQ(c.defaultValue, Number(all.List.GetDefault()));
        } else {
            EXPECT_EQ(c.values, Numbers(all.List));
        }
        EXPECT_EQ(c.current, Current(c.id));
        EXPECT_EQ(c.defaultValue, Number(Ask(c.id, MSG_GETDEFAULT).GetOneValue()));
    }
}

// One values, constraints and resets on the device's lists and ranges:
// taken, moved to the nearest step with check status, or refused with
// nothing changed; each capability keeps to its own group.
TEST_F(CustomCapabilityTest, CustomListsAndRangesFollowTheDeviceRules)
{
    const struct {
        TW_UINT16 id;
        CTWAINContainer request;
        TW_UINT16 rc;
        double current;
    } cases[] = {
        {CUSTCAP_DYNAMICTHRESHOLD, CTWAINContainer(CTWAINOneValue(7.6f)), TWRC_CHECKSTATUS, 8},
        {CUSTCAP_DYNAMICTHRESHOLD, CTWAINContainer(CTWAINOneValue(12.0f)), TWRC_SUCCESS, 12},
        {CUSTCAP_DYNAMICTHRESHOLD, CTWAINContainer(CTWAINOneValue(16.0f)), TWRC_FAILURE, 12},
        {CUSTCAP_DESPECKLEVALUE, CTWAINContainer(CTWAINOneValue(TW_UINT32{5}, TWTY_UINT16)), TWRC_SUCCESS, 5},
        {CUSTCAP_SKEWACTION, CTWAINContainer(CTWAINOneValue(TW_UINT16{0})), TWRC_FAILURE, 2},
        {CUSTCAP_DOUBLEFEEDACTION, CTWAINContainer(CTWAINOneValue(TW_UINT16{0})), TWRC_SUCCESS, 0},
        {CUSTCAP_DOUBLEFEEDACTION, CTWAINContainer(CTWAINOneValue(TW_UINT16{1})), TWRC_FAILURE, 0},
        {ICAP_NOISEFILTER, CTWAINContainer(CTWAINOneValue(TWNF_LONEPIXEL)), TWRC_SUCCESS, TWNF_LONEPIXEL},
        // Only the low 16 bits of a code count.
        {CUSTCAP_DESPECKLE, CTWAINContainer(CTWAINOneValue(0x10000u, TWTY_UINT32)), TWRC_SUCCESS, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "cap 0x" << std::hex << c.id << " value " << std::dec << Number(c.request.GetOneValue()));
        EXPECT_EQ(c.rc, Send(c.id, MSG_SET, c.request));
        if (c.rc != TWRC_SUCCESS) {
            EXPECT_EQ(TWCC_BADVALUE, Status());
        }
        EXPECT_EQ(c.current, Current(c.id));
    }
    EXPECT_EQ(2.0, Number(Ask(CUSTCAP_SKEWACTION, MSG_GETDEFAULT).GetOneValue()));

    // A reset of the skew action leaves the double-feed action as it was.
    EXPECT_EQ(2.0, Number(Ask(CUSTCAP_SKEWACTION, MSG_RESET).GetOneValue()));
    EXPECT_EQ(0.0, Current(CUSTCAP_DOUBLEFEEDACTION));
    EXPECT_EQ(2.0, Number(Ask(CUSTCAP_DOUBLEFEEDACTION, MSG_RESET).GetOneValue()));
    EXPECT_EQ(8.0, Number(Ask(CUSTCAP_DYNAMICTHRESHOLD, MSG_RESET).GetOneValue()));
    EXPECT_EQ(8.0, Current(CUSTCAP_DYNAMICTHRESHOLD));

    // Constraints: a list keeps what the device allows; a range inside the
    // device's stays the device's range.
    CTWAINEnumeration sensitivities;
    sensitivities.Add(CTWAINOneValue(TW_UINT16{2}), true, true);
    sensitivities.Add(CTWAINOneValue(TW_UINT16{5}));
    EXPECT_EQ(TWRC_CHECKSTATUS, Send(CUSTCAP_DOUBLEFEEDSENSITIVITY, MSG_SET, CTWAINContainer(sensitivities)));
    EXPECT_EQ(std::vector<double>{2}, Numbers(Ask(CUSTCAP_DOUBLEFEEDSENSITIVITY, MSG_GET).List));
    EXPECT_EQ(2.0, Current(CUSTCAP_DOUBLEFEEDSENSITIVITY));
    EXPECT_EQ(1.0, Number(Ask(CUSTCAP_DOUBLEFEEDSENSITIVITY, MSG_RESET).GetOneValue()));
    EXPECT_EQ((std::vector<double>{0, 1, 2}), Numbers(Ask(CUSTCAP_DOUBLEFEEDSENSITIVITY, MSG_GET).List));

    EXPECT_EQ(TWRC_SUCCESS, Send(CUSTCAP_DESPECKLEVALUE, MSG_SET, CTWAINContainer(CTWAINRange(2, 4, 1, 3, 3))));
    const CTWAINRange despeckle = Ask(CUSTCAP_DESPECKLEVALUE, MSG_GET).GetRange();
    EXPECT_EQ(
        (std::vector<double>{1, 6, 1}),
        (std::vector<double>{Number(despeckle.MinValue), Number(despeckle.MaxValue), Number(despeckle.StepSize)}));
}

// Flags take any one value as on or off and reset to off.
TEST_F(CustomCapabilityTest, FlagsAreSetFromTheLowWordAndResetToOff)
{
    for (TW_UINT16 id :
         {CUSTCAP_INVERTIMAGE, CUSTCAP_MIRRORIMAGE, CUSTCAP_DOUBLEFEEDDETECTION, CUSTCAP_AUTOMATICSEPARATION,
          CUSTCAP_AUTOCROPWIDTH, CUSTCAP_AUTOCROPLENGTH, CUSTCAP_LONGDOCSUPPORT}) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << id);
        ASSERT_EQ(TWRC_SUCCESS, SetOne(id, CTWAINOneValue(TW_UINT16{1})));
        EXPECT_EQ(1.0, Current(id));
        EXPECT_EQ(1.0, Number(Ask(id, MSG_GET).GetOneValue()));
        EXPECT_EQ(0.0, Number(Ask(id, MSG_GETDEFAULT).GetOneValue()));
        ASSERT_EQ(TWRC_SUCCESS, SetOne(id, CTWAINOneValue(0x10000u, TWTY_UINT32)));
        EXPECT_EQ(0.0, Current(id));
        ASSERT_EQ(TWRC_SUCCESS, SetOne(id, CTWAINOneValue(TW_UINT32{5}, TWTY_INT32)));
        EXPECT_EQ(0.0, Number(Ask(id, MSG_RESET).GetOneValue()));
        EXPECT_EQ(0.0, Current(id));
    }
}

// Long-document support lengthens the feeder's page to 53.33 inches, and a
// frame that long is kept as it was asked for.
TEST_F(CustomCapabilityTest, LongDocumentSupportLetsLongFramesStand)
{
    constexpr double kFix32Step = 1.0 / 65536;
    TW_FRAME thirtyInches = CTWAINFrame(0, 0, 8.5f, 30);
    EXPECT_EQ(TWRC_FAILURE, SetOne(ICAP_FRAMES, CTWAINOneValue(thirtyInches)));
    EXPECT_EQ(TWCC_BADVALUE, Status());

    ASSERT_EQ(TWRC_SUCCESS, SetOne(CUSTCAP_LONGDOCSUPPORT, CTWAINOneValue(true, TWTY_BOOL)));
    EXPECT_NEAR(53.33, Current(ICAP_PHYSICALHEIGHT), kFix32Step);
    EXPECT_EQ(TWRC_SUCCESS, SetOne(ICAP_FRAMES, CTWAINOneValue(thirtyInches)));
    EXPECT_EQ((std::vector<double>{0, 0, 8.5, 30}), Edges(Ask(ICAP_FRAMES, MSG_GETCURRENT).GetOneValue().Frame));

    // The whole length, in pixels too.
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_UNITS, CTWAINOneValue(TWUN_PIXELS)));
    TW_FRAME longest = CTWAINFrame(0, 0, 1700, 53.33f * 200);
    EXPECT_EQ(TWRC_SUCCESS, SetOne(ICAP_FRAMES, CTWAINOneValue(longest)));
    EXPECT_NEAR(53.33 * 200, Edges(Ask(ICAP_FRAMES, MSG_GETCURRENT).GetOneValue().Frame)[3], 0.01);
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_UNITS, CTWAINOneValue(TWUN_INCHES)));

    EXPECT_EQ(0.0, Number(Ask(CUSTCAP_LONGDOCSUPPORT, MSG_RESET).GetOneValue()));
    EXPECT_NEAR(17.0, Current(ICAP_PHYSICALHEIGHT), kFix32Step);
    EXPECT_EQ(TWRC_FAILURE, SetOne(ICAP_FRAMES, CTWAINOneValue(thirtyInches)));
}

} // namespace
