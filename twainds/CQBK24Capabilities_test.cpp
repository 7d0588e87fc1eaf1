// The scanner's capability set as an application meets it after opening the
// source: DAT_CAPABILITY answers for the lists, values and defaults the
// device fills, and the lists it keeps for gray and colour and landscape.
#include "twainds/testing/OpenSourceTest.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using CapabilitySetTest = qbk24::testing::OpenSourceTest;
using qbk24::testing::Number;
using qbk24::testing::Numbers;
using Trellis::CTWAINContainer;
using Trellis::CTWAINEnumeration;
using Trellis::CTWAINOneValue;

// Every list the framework keeps for the device, and the fixed dimensions:
// the whole list (MSG_GET), the current and default item, and that the
// application may at least read them.
TEST_F(CapabilitySetTest, OpeningFillsTheDeviceListsAndValues)
{
    struct Case {
        TW_UINT16 id;
        TW_UINT16 itemType;
        std::vector<double> allowed; // empty: a one value
        double current;
        double defaultValue;
    };
    const Case cases[] = {
        {ICAP_PIXELTYPE, TWTY_UINT16, {TWPT_BW, TWPT_GRAY, TWPT_RGB}, TWPT_BW, TWPT_BW},
        {ICAP_BITDEPTH, TWTY_UINT16, {1}, 1, 1},
        {ICAP_PLANARCHUNKY, TWTY_UINT16, {TWPC_CHUNKY}, TWPC_CHUNKY, TWPC_CHUNKY},
        {ICAP_UNITS, TWTY_UINT16, {TWUN_INCHES, TWUN_PIXELS}, TWUN_INCHES, TWUN_INCHES},
        {ICAP_PIXELFLAVOR, TWTY_UINT16, {TWPF_CHOCOLATE, TWPF_VANILLA}, TWPF_CHOCOLATE, TWPF_CHOCOLATE},
        {ICAP_XRESOLUTION, TWTY_FIX32, {100, 150, 200, 300, 400, 500, 600}, 200, 200},
        {ICAP_YRESOLUTION, TWTY_FIX32, {100, 150, 200, 300, 400, 500, 600}, 200, 200},
        {ICAP_ORIENTATION, TWTY_UINT16, {TWOR_PORTRAIT, TWOR_LANDSCAPE}, TWOR_PORTRAIT, TWOR_PORTRAIT},
        // Native transfer is the current mechanism.
        {ICAP_COMPRESSION, TWTY_UINT16, {TWCP_NONE}, TWCP_NONE, TWCP_NONE},
        {ICAP_MINIMUMWIDTH, TWTY_FIX32, {}, 1.9, 1.9},
        {ICAP_MINIMUMHEIGHT, TWTY_FIX32, {}, 2.75, 2.75},
        {ICAP_PHYSICALWIDTH, TWTY_FIX32, {}, 11.89, 11.89},
        {ICAP_PHYSICALHEIGHT, TWTY_FIX32, {}, 17.0, 17.0},
    };
    constexpr double kFix32Step = 1.0 / 65536;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << c.id);
        const CTWAINContainer all = Ask(c.id, MSG_GET);
        if (c.allowed.empty()) {
            ASSERT_EQ(TWON_ONEVALUE, all.ContainerType);
            EXPECT_EQ(c.itemType, all.GetOneValue().ItemType);
        } else {
            ASSERT_EQ(TWON_ENUMERATION, all.ContainerType);
            const CTWAINEnumeration list = all.GetEnumeration();
            ASSERT_FALSE(list.m_List.empty());
            EXPECT_EQ(c.itemType, list.m_List[0].ItemType);
            EXPECT_EQ(c.allowed, Numbers(list));
            EXPECT_EQ(c.current, Number(list.GetCurrent()));
            EXPECT_EQ(c.defaultValue, Number(list.GetDefault()));
        }
        const CTWAINContainer current = Ask(c.id, MSG_GETCURRENT);
        const CTWAINContainer byDefault = Ask(c.id, MSG_GETDEFAULT);
        EXPECT_EQ(c.itemType, current.GetOneValue().ItemType);
        EXPECT_NEAR(c.current, Number(current.GetOneValue()), kFix32Step);
        EXPECT_NEAR(c.defaultValue, Number(byDefault.GetOneValue()), kFix32Step);

        const TW_INT32 support = static_cast<TW_INT32>(Ask(c.id, MSG_QUERYSUPPORT).GetOneValue().Value);
        const TW_INT32 reading = TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT;
        EXPECT_EQ(reading, support & reading);
    }
}

// Each pixel type has its one depth, and black-and-white pages may be sent
// as Group 4 to a TIFF file or to memory; gray and colour pages as JPEG.
TEST_F(CapabilitySetTest, DepthsAndCompressionsFollowPixelTypeAndMechanism)
{
    const struct {
        TW_UINT16 pixelType;
        double depth;
    } depths[] = {{TWPT_BW, 1}, {TWPT_GRAY, 8}, {TWPT_RGB, 24}};
    for (const auto& c : depths) {
        SCOPED_TRACE(c.pixelType);
        ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_PIXELTYPE, CTWAINOneValue(c.pixelType)));
        EXPECT_EQ(std::vector<double>{c.depth}, Numbers(Ask(ICAP_BITDEPTH, MSG_GET).GetEnumeration()));
        EXPECT_EQ(c.depth, Current(ICAP_BITDEPTH));
    }
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_PIXELTYPE, CTWAINOneValue(TWPT_BW)));

    // What an application is offered for each transfer: a file that is not
    // TIFF takes no compression at all.
    const struct {
        TW_UINT16 mech;
        TW_UINT16 fileFormat;
        TW_UINT16 pixelType;
        std::vector<double> offered;
    } compressions[] = {
        {TWSX_NATIVE, TWFF_BMP, TWPT_BW, {TWCP_NONE}},
        {TWSX_NATIVE, TWFF_BMP, TWPT_RGB, {TWCP_NONE}},
        {TWSX_FILE, TWFF_BMP, TWPT_BW, {TWCP_NONE}},
        {TWSX_FILE, TWFF_BMP, TWPT_GRAY, {TWCP_NONE}},
        {TWSX_FILE, TWFF_TIFF, TWPT_BW, {TWCP_NONE, TWCP_GROUP4}},
        {TWSX_FILE, TWFF_TIFF, TWPT_GRAY, {TWCP_NONE, TWCP_JPEG}},
        {TWSX_MEMORY, TWFF_BMP, TWPT_BW, {TWCP_NONE, TWCP_GROUP4}},
        {TWSX_MEMORY, TWFF_BMP, TWPT_RGB, {TWCP_NONE, TWCP_JPEG}},
    };
    for (const auto& c : compressions) {
        SCOPED_TRACE(::testing::Message()
                     << "mech " << c.mech << " format " << c.fileFormat << " pixel type " << c.pixelType);
        ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_XFERMECH, CTWAINOneValue(c.mech)));
        ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_IMAGEFILEFORMAT, CTWAINOneValue(c.fileFormat)));
        ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_PIXELTYPE, CTWAINOneValue(c.pixelType)));
        const CTWAINEnumeration offered = Ask(ICAP_COMPRESSION, MSG_GET).GetEnumeration();
        EXPECT_EQ(c.offered, Numbers(offered));
        EXPECT_EQ(TWCP_NONE, Number(offered.GetCurrent()));
        EXPECT_EQ(TWCP_NONE, Number(offered.GetDefault()));
        EXPECT_EQ(TWCP_NONE, Current(ICAP_COMPRESSION));
        EXPECT_EQ(TWCP_NONE, Number(Ask(ICAP_COMPRESSION, MSG_GETDEFAULT).GetOneValue()));
    }

    // Each list keeps its own choice; a reset brings every list back.
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_XFERMECH, CTWAINOneValue(TWSX_MEMORY)));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_PIXELTYPE, CTWAINOneValue(TWPT_GRAY)));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_COMPRESSION, CTWAINOneValue(TWCP_JPEG)));
    EXPECT_EQ(TWRC_FAILURE, SetOne(ICAP_COMPRESSION, CTWAINOneValue(TWCP_GROUP4)));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_PIXELTYPE, CTWAINOneValue(TWPT_BW)));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_COMPRESSION, CTWAINOneValue(TWCP_GROUP4)));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_PIXELTYPE, CTWAINOneValue(TWPT_GRAY)));
    EXPECT_EQ(TWCP_JPEG, Current(ICAP_COMPRESSION));
    EXPECT_EQ(TWCP_NONE, Number(Ask(ICAP_COMPRESSION, MSG_RESET).GetOneValue()));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_PIXELTYPE, CTWAINOneValue(TWPT_BW)));
    EXPECT_EQ(TWCP_NONE, Current(ICAP_COMPRESSION));
}

// A size is offered when it lies within the feeder's largest page and holds
// its smallest, edges included: 11.89 x 17 in upright, 17 x 11.89 in on its
// side, and at least 1.9 x 2.75 in either way.
TEST_F(CapabilitySetTest, EachOrientationOffersTheSizesThatFitTheFeeder)
{
    const CTWAINEnumeration portrait = Ask(ICAP_SUPPORTEDSIZES, MSG_GET).GetEnumeration();
    const CTWAINEnumeration& landscape = m_source.LandscapeSizes.Allowed;
    for (const CTWAINEnumeration* list : {&portrait, &landscape}) {
        ASSERT_FALSE(list->m_List.empty());
        EXPECT_EQ(TWSS_NONE, list->m_List[0].Value);
        EXPECT_EQ(TWSS_USLETTER, list->GetCurrent().Value);
        EXPECT_EQ(TWSS_USLETTER, list->GetDefault().Value);
    }
    EXPECT_EQ(TWSS_USLETTER, Current(ICAP_SUPPORTEDSIZES));
    EXPECT_EQ(TWSS_USLETTER, Number(Ask(ICAP_SUPPORTEDSIZES, MSG_GETDEFAULT).GetOneValue()));
    EXPECT_NE(Numbers(portrait), Numbers(landscape));

    const struct {
        TW_UINT16 size;
        bool inPortrait;
        bool inLandscape;
    } cases[] = {
        {TWSS_USLETTER, true, true},       // 8.5 x 11
        {TWSS_A4, true, true},             // 8.27 x 11.69
        {TWSS_USLEDGER, true, false},      // 11 x 17: on the longest edge
        {TWSS_USLEGAL, true, false},       // 8.5 x 14
        {TWSS_A3, true, false},            // 11.69 x 16.54
        {TWSS_ISOB3, false, false},        // 13.9 x 19.7: too big
        {TWSS_A10, false, false},          // 1.02 x 1.46: too small
        {TWSS_BUSINESSCARD, false, false}, // 3.5 x 2: too short
        {TWSS_A6, true, true},             // 4.13 x 5.83
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(c.inPortrait, portrait.Contains(CTWAINOneValue(c.size)));
        EXPECT_EQ(c.inLandscape, landscape.Contains(CTWAINOneValue(c.size)));
    }
    // Filling both lists leaves the orientation as it was.
    EXPECT_EQ(TWOR_PORTRAIT, Current(ICAP_ORIENTATION));
}

TEST_F(CapabilitySetTest, SetAndResetMoveWithinTheDeviceLists)
{
    const struct {
        TW_UINT16 id;
        CTWAINOneValue value;
        double set;
        double reset;
    } cases[] = {
        {ICAP_XRESOLUTION, CTWAINOneValue(300.0f), 300, 200},
        {ICAP_YRESOLUTION, CTWAINOneValue(600.0f), 600, 200},
        {ICAP_UNITS, CTWAINOneValue(TWUN_PIXELS), TWUN_PIXELS, TWUN_INCHES},
        {ICAP_PIXELFLAVOR, CTWAINOneValue(TWPF_VANILLA), TWPF_VANILLA, TWPF_CHOCOLATE},
        {ICAP_ORIENTATION, CTWAINOneValue(TWOR_LANDSCAPE), TWOR_LANDSCAPE, TWOR_PORTRAIT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << c.id);
        ASSERT_EQ(TWRC_SUCCESS, SetOne(c.id, c.value));
        EXPECT_EQ(c.set, Current(c.id));
        EXPECT_EQ(c.reset, Number(Ask(c.id, MSG_RESET).GetOneValue()));
        EXPECT_EQ(c.reset, Current(c.id));
    }
    // A value the device does not offer never becomes current: a code is
    // refused, a resolution is moved to one the device has.
    EXPECT_EQ(TWRC_FAILURE, SetOne(ICAP_UNITS, CTWAINOneValue(TWUN_CENTIMETERS)));
    EXPECT_EQ(TWUN_INCHES, Current(ICAP_UNITS));
    EXPECT_EQ(TWRC_CHECKSTATUS, SetOne(ICAP_XRESOLUTION, CTWAINOneValue(250.0f)));
    EXPECT_TRUE(Ask(ICAP_XRESOLUTION, MSG_GET).Contains(CTWAINOneValue(static_cast<float>(Current(ICAP_XRESOLUTION)))));
}

// A list an application constrained starts from the device's full set when
// the source is opened again.
TEST_F(CapabilitySetTest, ReopeningOffersTheWholeListsAgain)
{
    CTWAINEnumeration constraint;
    constraint.Add(CTWAINOneValue(300.0f), true, true);
    constraint.Add(CTWAINOneValue(400.0f));
    ASSERT_EQ(TWRC_SUCCESS, Send(ICAP_XRESOLUTION, MSG_SET, CTWAINContainer(constraint)));
    ASSERT_EQ((std::vector<double>{300, 400}), Numbers(Ask(ICAP_XRESOLUTION, MSG_GET).GetEnumeration()));

    CloseSource();
    ASSERT_EQ(TWRC_SUCCESS, OpenSource());
    const CTWAINEnumeration again = Ask(ICAP_XRESOLUTION, MSG_GET).GetEnumeration();
    EXPECT_EQ((std::vector<double>{100, 150, 200, 300, 400, 500, 600}), Numbers(again));
    EXPECT_EQ(200.0, Current(ICAP_XRESOLUTION));
}

// The framework's ids first, then the device's, each once.
TEST_F(CapabilitySetTest, SupportedCapabilitiesListTheDeviceCapabilitiesAfterTheFrameworkOnes)
{
    const CTWAINContainer answer = Ask(CAP_SUPPORTEDCAPS, MSG_GET);
    ASSERT_EQ(TWON_ARRAY, answer.ContainerType);
    const std::vector<double> ids = Numbers(answer.GetArray());
    // clang-format off
    const std::vector<double> device = {
        CAP_AUTOFEED,     CAP_AUTOSCAN,        CAP_CUSTOMDSDATA,     CAP_DUPLEX,         CAP_DUPLEXENABLED,
        CAP_ENABLEDSUIONLY, CAP_FEEDERALIGNMENT, CAP_FEEDERENABLED,  CAP_FEEDERLOADED,   CAP_FEEDERORDER,
        CAP_INDICATORS,   CAP_PAPERDETECTABLE, ICAP_AUTOMATICDESKEW, 0x8028,             0x8026,
        0x8025,           0x8024,              ICAP_BITDEPTHREDUCTION, ICAP_BRIGHTNESS,  ICAP_CONTRAST,
        ICAP_JPEGQUALITY, 0x801C,              0x801D,               0x8020,             0x8021,
        0x8027,           ICAP_EXTIMAGEINFO,   ICAP_FILTER,          ICAP_HALFTONES,     0x801E,
        0x801F,           ICAP_NOISEFILTER,    ICAP_ROTATION,        ICAP_THRESHOLD,     0x801B,
        ICAP_UNDEFINEDIMAGESIZE, ICAP_XNATIVERESOLUTION, ICAP_YNATIVERESOLUTION, 0x8029,
    };
    // clang-format on
    ASSERT_EQ(27u + device.size(), ids.size());
    EXPECT_EQ(device, std::vector<double>(ids.begin() + 27, ids.end()));
    EXPECT_EQ(CAP_AUTHOR, ids.front());
    std::vector<double> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted.end(), std::adjacent_find(sorted.begin(), sorted.end()));
}

// The capabilities the device holds itself: lists, ranges, flags and fixed
// values as an application reads them right after opening.
TEST_F(CapabilitySetTest, DeviceHeldCapabilitiesStartAtTheirInitialValues)
{
    struct Case {
        TW_UINT16 id;
        TW_UINT16 conType; // of MSG_GET
        TW_UINT16 itemType;
        std::vector<double> allowed; // list items, or range min, max, step
        double current;
        double defaultValue;
        TW_INT32 support;
    };
    constexpr TW_INT32 kAll = 0x1F;
    constexpr TW_INT32 kRead = 0x0D;
    // clang-format off
    const Case cases[] = {
        {ICAP_BITDEPTHREDUCTION, TWON_ENUMERATION, TWTY_UINT16, {TWBR_THRESHOLD, 0x8000, TWBR_DIFFUSION, TWBR_HALFTONE},
         0x8000, 0x8000, kAll},
        {ICAP_BRIGHTNESS, TWON_RANGE, TWTY_FIX32, {-1000, 1000, 1}, 0, 0, kAll},
        {ICAP_CONTRAST, TWON_RANGE, TWTY_FIX32, {-1000, 1000, 1}, 0, 0, kAll},
        {ICAP_JPEGQUALITY, TWON_RANGE, TWTY_INT16, {0, 100, 1}, 80, 80, kAll},
        {ICAP_THRESHOLD, TWON_RANGE, TWTY_FIX32, {1, 255, 1}, 128, 127, kAll},
        {ICAP_ROTATION, TWON_ENUMERATION, TWTY_FIX32, {0}, 0, 0, kAll},
        {CAP_FEEDERENABLED, TWON_ONEVALUE, TWTY_BOOL, {}, 1, 1, kAll},
        {CAP_AUTOFEED, TWON_ONEVALUE, TWTY_BOOL, {}, 1, 1, kAll},
        {CAP_AUTOSCAN, TWON_ONEVALUE, TWTY_BOOL, {}, 1, 1, kAll},
        {CAP_DUPLEXENABLED, TWON_ONEVALUE, TWTY_BOOL, {}, 0, 0, kAll},
        {CAP_INDICATORS, TWON_ONEVALUE, TWTY_BOOL, {}, 1, 1, kAll},
        {ICAP_EXTIMAGEINFO, TWON_ONEVALUE, TWTY_BOOL, {}, 0, 1, kAll},
        {ICAP_UNDEFINEDIMAGESIZE, TWON_ONEVALUE, TWTY_BOOL, {}, 0, 0, kAll},
        {ICAP_AUTOMATICDESKEW, TWON_ONEVALUE, TWTY_BOOL, {}, 0, 0, kAll},
        {CAP_DUPLEX, TWON_ONEVALUE, TWTY_UINT16, {}, TWDX_1PASSDUPLEX, TWDX_1PASSDUPLEX, kRead},
        {CAP_FEEDERALIGNMENT, TWON_ONEVALUE, TWTY_UINT16, {}, TWFA_NONE, TWFA_NONE, kRead},
        {CAP_PAPERDETECTABLE, TWON_ONEVALUE, TWTY_BOOL, {}, 1, 1, kRead},
        {CAP_CUSTOMDSDATA, TWON_ONEVALUE, TWTY_BOOL, {}, 1, 1, kRead},
        {ICAP_XNATIVERESOLUTION, TWON_ONEVALUE, TWTY_FIX32, {}, 400, 400, kRead},
        {ICAP_YNATIVERESOLUTION, TWON_ONEVALUE, TWTY_FIX32, {}, 400, 400, kRead},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << c.id);
        const CTWAINContainer all = Ask(c.id, MSG_GET);
        ASSERT_EQ(c.conType, all.ContainerType);
        if (c.conType == TWON_ENUMERATION) {
            const CTWAINEnumeration list = all.GetEnumeration();
            EXPECT_EQ(c.itemType, list.m_List.at(0).ItemType);
            EXPECT_EQ(c.allowed, Numbers(list));
        } else if (c.conType == TWON_RANGE) {
            const Trellis::CTWAINRange range = all.GetRange();
            EXPECT_EQ(c.itemType, range.ItemType);
            EXPECT_EQ(c.allowed,
                      (std::vector<double>{Number(range.MinValue), Number(range.MaxValue), Number(range.StepSize)}));
        } else {
            EXPECT_EQ(c.itemType, all.GetOneValue().ItemType);
        }
        EXPECT_EQ(c.current, Current(c.id));
        EXPECT_EQ(c.defaultValue, Number(Ask(c.id, MSG_GETDEFAULT).GetOneValue()));
        EXPECT_EQ(c.support, static_cast<TW_INT32>(Ask(c.id, MSG_QUERYSUPPORT).GetOneValue().Value));
    }

    const CTWAINContainer halftones = Ask(ICAP_HALFTONES, MSG_GET);
    ASSERT_EQ(TWON_ENUMERATION, halftones.ContainerType);
    std::vector<std::string> names;
    for (const CTWAINOneValue& item : halftones.GetEnumeration().m_List) {
        EXPECT_EQ(TWTY_STR32, item.ItemType);
        names.push_back(item.GetText());
    }
    // A STR32 item carries 32 characters: the second name loses its last.
    EXPECT_EQ((std::vector<std::string>{"0 degree halftone dot (64 steps)", "45 degree halftone dot (32 steps",
                                        "Bayer dither (16 steps)", "Bayer dither (64 steps)"}),
              names);
    EXPECT_EQ(names.front(), Ask(ICAP_HALFTONES, MSG_GETCURRENT).GetOneValue().GetText());
    EXPECT_EQ(names.front(), Ask(ICAP_HALFTONES, MSG_GETDEFAULT).GetOneValue().GetText());
    // A name read from the list is taken back as it was read.
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_HALFTONES, CTWAINOneValue(names[1], TWTY_STR32)));
    EXPECT_EQ(names[1], Ask(ICAP_HALFTONES, MSG_GETCURRENT).GetOneValue().GetText());

    EXPECT_EQ((std::vector<double>{TWFT_NONE, TWFT_RED, TWFT_GREEN, TWFT_BLUE}),
              Numbers(Ask(ICAP_FILTER, MSG_GET).GetArray()));
    EXPECT_EQ(std::vector<double>{TWFT_NONE}, Numbers(Ask(ICAP_FILTER, MSG_GETCURRENT).GetArray()));
    EXPECT_EQ(std::vector<double>{TWFT_NONE}, Numbers(Ask(ICAP_FILTER, MSG_GETDEFAULT).GetArray()));
}

// The device's own capabilities, kept for the negotiation of its custom ids.
TEST_F(CapabilitySetTest, CustomCapabilitiesStartAtTheirInitialValues)
{
    const struct {
        const char* name;
        const Trellis::CTWAINEnumPair& pair;
        std::vector<double> allowed;
        double current;
    } lists[] = {
        {"despeckle", m_source.Despeckle, {0, 1}, 1},
        {"double-feed sensitivity", m_source.DoubleFeedSensitivities, {0, 1, 2}, 1},
        {"double-feed action", m_source.DoubleFeedActions, {0, 2}, 2},
        {"skew action", m_source.SkewActions, {2}, 2},
        {"noise filter", m_source.NoiseFilters, {TWNF_NONE, TWNF_LONEPIXEL}, TWNF_NONE},
    };
    for (const auto& c : lists) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.allowed, Numbers(c.pair.Allowed));
        EXPECT_EQ(c.allowed, Numbers(c.pair.Current));
        EXPECT_EQ(c.current, Number(c.pair.Current.GetCurrent()));
        EXPECT_EQ(c.current, Number(c.pair.Allowed.GetDefault()));
    }
    const struct {
        const char* name;
        const CQBK24DataSource::RangePair& pair;
        std::vector<double> range; // min, max, step, current, default
    } ranges[] = {
        {"dynamic threshold", m_source.DynamicThreshold, {1, 15, 1, 8, 8}},
        {"despeckle value", m_source.DespeckleValue, {1, 6, 1, 1, 1}},
    };
    for (const auto& c : ranges) {
        SCOPED_TRACE(c.name);
        const Trellis::CTWAINRange& r = c.pair.Current;
        EXPECT_EQ(TWTY_FIX32, r.ItemType);
        EXPECT_EQ(c.range, (std::vector<double>{Number(r.MinValue), Number(r.MaxValue), Number(r.StepSize),
                                                Number(r.CurrentValue), Number(r.DefaultValue)}));
    }
    for (bool flag : {m_source.InvertImage, m_source.MirrorImage, m_source.DoubleFeedDetection, m_source.AutoSeparation,
                      m_source.AutoCropWidth, m_source.AutoCropLength, m_source.LongDocument})
        EXPECT_FALSE(flag);
    EXPECT_EQ(0, m_source.FeederOrder);
}

// Flags take what they are given and reset to the device's constant; the
// feeder cannot be switched off on a scanner without a flatbed.
TEST_F(CapabilitySetTest, FlagsAreSetAndResetWhileTheFeederStaysOn)
{
    const struct {
        TW_UINT16 id;
        bool set;
        bool reset;
    } flags[] = {
        {CAP_AUTOFEED, false, true},   {CAP_AUTOSCAN, false, true},      {CAP_DUPLEXENABLED, true, false},
        {CAP_INDICATORS, false, true}, {ICAP_EXTIMAGEINFO, false, true}, {ICAP_UNDEFINEDIMAGESIZE, true, false},
    };
    for (const auto& c : flags) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << c.id);
        ASSERT_EQ(TWRC_SUCCESS, SetOne(c.id, CTWAINOneValue(c.set, TWTY_BOOL)));
        EXPECT_EQ(c.set, Current(c.id));
        EXPECT_EQ(c.reset, Number(Ask(c.id, MSG_RESET).GetOneValue()));
        EXPECT_EQ(c.reset, Current(c.id));
    }

    EXPECT_EQ(TWRC_FAILURE, SetOne(CAP_FEEDERENABLED, CTWAINOneValue(false, TWTY_BOOL)));
    EXPECT_EQ(TWCC_BADVALUE, Status());
    EXPECT_EQ(1.0, Current(CAP_FEEDERENABLED));
    EXPECT_EQ(TWRC_SUCCESS, SetOne(CAP_FEEDERENABLED, CTWAINOneValue(true, TWTY_BOOL)));
}

// The threshold's default sits one below its starting value; a reset brings
// back the starting value, not the default.
TEST_F(CapabilitySetTest, ThresholdResetsToItsStartingValue)
{
    EXPECT_EQ(128.0, Current(ICAP_THRESHOLD));
    EXPECT_EQ(127.0, Number(Ask(ICAP_THRESHOLD, MSG_GETDEFAULT).GetOneValue()));
    EXPECT_EQ(128.0, Number(Ask(ICAP_THRESHOLD, MSG_RESET).GetOneValue()));
    EXPECT_EQ(128.0, Current(ICAP_THRESHOLD));
}

// One values set on the device's lists and ranges: taken, moved to the
// nearest step with check status, or refused with the value unchanged.
TEST_F(CapabilitySetTest, SettingDeviceValuesTakesMovesOrRefusesThem)
{
    const struct {
        TW_UINT16 id;
        CTWAINOneValue value;
        TW_UINT16 rc;
        double current;
    } cases[] = {
        {ICAP_BRIGHTNESS, CTWAINOneValue(10.3f), TWRC_CHECKSTATUS, 10},
        {ICAP_BRIGHTNESS, CTWAINOneValue(2000.0f), TWRC_FAILURE, 10},
        {ICAP_CONTRAST, CTWAINOneValue(-1000.0f), TWRC_SUCCESS, -1000},
        {ICAP_THRESHOLD, CTWAINOneValue(0.0f), TWRC_FAILURE, 128},
        {ICAP_JPEGQUALITY, CTWAINOneValue(static_cast<TW_UINT32>(static_cast<TW_UINT16>(-2)), TWTY_INT16), TWRC_SUCCESS,
         50},
        {ICAP_JPEGQUALITY, CTWAINOneValue(static_cast<TW_UINT32>(static_cast<TW_UINT16>(-3)), TWTY_INT16), TWRC_SUCCESS,
         0},
        {ICAP_BITDEPTHREDUCTION, CTWAINOneValue(TWBR_DIFFUSION), TWRC_SUCCESS, TWBR_DIFFUSION},
        {ICAP_BITDEPTHREDUCTION, CTWAINOneValue(TWBR_CUSTHALFTONE), TWRC_FAILURE, TWBR_DIFFUSION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << c.id << " value " << std::dec << Number(c.value));
        EXPECT_EQ(c.rc, SetOne(c.id, c.value));
        if (c.rc != TWRC_SUCCESS) {
            EXPECT_EQ(TWCC_BADVALUE, Status());
        }
        EXPECT_EQ(c.current, Current(c.id));
    }

    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_FILTER, CTWAINOneValue(TWFT_RED)));
    EXPECT_EQ(std::vector<double>{TWFT_RED}, Numbers(Ask(ICAP_FILTER, MSG_GETCURRENT).GetArray()));
    EXPECT_EQ(TWRC_CHECKSTATUS, SetOne(ICAP_FILTER, CTWAINOneValue(static_cast<TW_UINT16>(7))));
    EXPECT_EQ(std::vector<double>{TWFT_RED}, Numbers(Ask(ICAP_FILTER, MSG_GETCURRENT).GetArray()));
    EXPECT_EQ(std::vector<double>{TWFT_NONE}, Numbers(Ask(ICAP_FILTER, MSG_RESET).GetArray()));
}

// The scanner has one resolution for both directions: setting either sets
// the other, also when the value had to be moved to a listed one.
TEST_F(CapabilitySetTest, ResolutionsMoveTogether)
{
    const struct {
        TW_UINT16 id;
        float value;
        TW_UINT16 rc;
        double both;
    } cases[] = {
        {ICAP_XRESOLUTION, 300.0f, TWRC_SUCCESS, 300},
        {ICAP_YRESOLUTION, 600.0f, TWRC_SUCCESS, 600},
        {ICAP_XRESOLUTION, 390.0f, TWRC_CHECKSTATUS, 400},
        {ICAP_YRESOLUTION, 160.0f, TWRC_CHECKSTATUS, 150},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << c.id << " value " << std::dec << c.value);
        EXPECT_EQ(c.rc, SetOne(c.id, CTWAINOneValue(c.value)));
        EXPECT_EQ(c.both, Current(ICAP_XRESOLUTION));
        EXPECT_EQ(c.both, Current(ICAP_YRESOLUTION));
    }
}

// Long-document support lengthens the page the feeder takes; the length is
// given in the units in force.
TEST_F(CapabilitySetTest, PhysicalHeightFollowsLongDocumentSupport)
{
    constexpr double kFix32Step = 1.0 / 65536;
    EXPECT_NEAR(17.0, Current(ICAP_PHYSICALHEIGHT), kFix32Step);
    m_source.LongDocument = true;
    EXPECT_NEAR(53.33, Current(ICAP_PHYSICALHEIGHT), kFix32Step);
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_UNITS, CTWAINOneValue(TWUN_PIXELS)));
    EXPECT_NEAR(53.33 * 200, Current(ICAP_PHYSICALHEIGHT), 1.0);
}

TEST_F(CapabilitySetTest, MemoryTransfersOfferLargeBuffers)
{
    TW_SETUPMEMXFER setup{};
    ASSERT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup));
    EXPECT_EQ(0x8000u, setup.MinBufSize);
    EXPECT_EQ(0x4FFFFFu, setup.MaxBufSize);
    EXPECT_EQ(0x4FFFFFu, setup.Preferred);
}

// The size list follows the orientation; choosing no size turns the page
// upright again.
TEST_F(CapabilitySetTest, SizesAreNegotiatedInTheListOfTheOrientation)
{
    const std::vector<double> portrait = Numbers(Ask(ICAP_SUPPORTEDSIZES, MSG_GET).GetEnumeration());
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_ORIENTATION, CTWAINOneValue(TWOR_LANDSCAPE)));
    const std::vector<double> landscape = Numbers(Ask(ICAP_SUPPORTEDSIZES, MSG_GET).GetEnumeration());
    EXPECT_NE(portrait, landscape);
    EXPECT_EQ(Numbers(m_source.LandscapeSizes.Allowed), landscape);

    // Ledger fits only upright; A4 lies on its side too.
    EXPECT_EQ(TWRC_FAILURE, SetOne(ICAP_SUPPORTEDSIZES, CTWAINOneValue(TWSS_USLEDGER)));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_SUPPORTEDSIZES, CTWAINOneValue(TWSS_A4)));
    EXPECT_EQ(TWSS_A4, Current(ICAP_SUPPORTEDSIZES));
    EXPECT_EQ(TWSS_USLETTER, Number(Ask(ICAP_SUPPORTEDSIZES, MSG_GETDEFAULT).GetOneValue()));

    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_SUPPORTEDSIZES, CTWAINOneValue(TWSS_NONE)));
    EXPECT_EQ(TWOR_PORTRAIT, Current(ICAP_ORIENTATION));
    EXPECT_EQ(portrait, Numbers(Ask(ICAP_SUPPORTEDSIZES, MSG_GET).GetEnumeration()));
    EXPECT_EQ(TWSS_NONE, Current(ICAP_SUPPORTEDSIZES));

    // A reset brings both lists back; the landscape one keeps A4 no longer.
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_ORIENTATION, CTWAINOneValue(TWOR_LANDSCAPE)));
    EXPECT_EQ(TWSS_A4, Current(ICAP_SUPPORTEDSIZES));
    EXPECT_EQ(TWSS_USLETTER, Number(Ask(ICAP_SUPPORTEDSIZES, MSG_RESET).GetOneValue()));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_ORIENTATION, CTWAINOneValue(TWOR_PORTRAIT)));
    EXPECT_EQ(TWSS_USLETTER, Current(ICAP_SUPPORTEDSIZES));
}

// Constraints keep what the device allows: some refused is a check status,
// all refused restores the device's whole set and fails.
TEST_F(CapabilitySetTest, ConstraintsKeepOnlyWhatTheDeviceAllows)
{
    CTWAINEnumeration reductions;
    reductions.Add(CTWAINOneValue(TWBR_HALFTONE), true, true);
    reductions.Add(CTWAINOneValue(TWBR_CUSTHALFTONE));
    EXPECT_EQ(TWRC_CHECKSTATUS, Send(ICAP_BITDEPTHREDUCTION, MSG_SET, CTWAINContainer(reductions)));
    EXPECT_EQ(std::vector<double>{TWBR_HALFTONE}, Numbers(Ask(ICAP_BITDEPTHREDUCTION, MSG_GET).GetEnumeration()));

    CTWAINEnumeration nothing;
    nothing.Add(CTWAINOneValue(TWBR_CUSTHALFTONE), true, true);
    EXPECT_EQ(TWRC_FAILURE, Send(ICAP_BITDEPTHREDUCTION, MSG_SET, CTWAINContainer(nothing)));
    EXPECT_EQ(4u, Ask(ICAP_BITDEPTHREDUCTION, MSG_GET).GetEnumeration().GetCount());

    // A range reaching past the device's is taken in part: its current
    // value where the device allows it, and a check status.
    EXPECT_EQ(TWRC_CHECKSTATUS,
              Send(ICAP_BRIGHTNESS, MSG_SET, CTWAINContainer(Trellis::CTWAINRange(-2000, 2000, 1, 10, 10))));
    EXPECT_EQ(10.0, Current(ICAP_BRIGHTNESS));
    EXPECT_EQ(0.0, Number(Ask(ICAP_BRIGHTNESS, MSG_RESET).GetOneValue()));

    Trellis::CTWAINArray filters;
    filters.Append(CTWAINOneValue(TWFT_GREEN));
    filters.Append(CTWAINOneValue(static_cast<TW_UINT16>(7)));
    EXPECT_EQ(TWRC_CHECKSTATUS, Send(ICAP_FILTER, MSG_SET, CTWAINContainer(filters)));
    EXPECT_EQ(std::vector<double>{TWFT_GREEN}, Numbers(Ask(ICAP_FILTER, MSG_GETCURRENT).GetArray()));
}

// The page always starts at the feeder's top left corner: a frame placed
// elsewhere keeps its far corner and is moved to the origin.
TEST_F(CapabilitySetTest, FramesStartAtTheOrigin)
{
    const struct {
        Trellis::CTWAINFrame frame;
        TW_UINT16 rc;
        std::vector<double> held;
    } cases[] = {
        {Trellis::CTWAINFrame(1, 1, 5, 7), TWRC_CHECKSTATUS, {0, 0, 5, 7}},
        {Trellis::CTWAINFrame(0, 2, 8, 10), TWRC_CHECKSTATUS, {0, 0, 8, 10}},
        {Trellis::CTWAINFrame(0, 0, 8.5f, 11), TWRC_SUCCESS, {0, 0, 8.5, 11}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.held[2]);
        TW_FRAME frame = c.frame;
        EXPECT_EQ(c.rc, SetOne(ICAP_FRAMES, CTWAINOneValue(frame)));
        const TW_FRAME held = Ask(ICAP_FRAMES, MSG_GETCURRENT).GetOneValue().Frame;
        EXPECT_EQ(c.held, (std::vector<double>{Trellis::Fix32ToFloat(held.Left), Trellis::Fix32ToFloat(held.Top),
                                               Trellis::Fix32ToFloat(held.Right), Trellis::Fix32ToFloat(held.Bottom)}));
    }
}

// Containers of a shape a capability does not take are refused and change
// nothing.
TEST_F(CapabilitySetTest, ContainersOfTheWrongShapeAreRefused)
{
    CTWAINEnumeration qualities;
    qualities.Add(CTWAINOneValue(static_cast<TW_UINT32>(50), TWTY_INT16), true, true);
    const struct {
        TW_UINT16 id;
        CTWAINContainer container;
        double current;
    } cases[] = {
        {ICAP_CONTRAST, CTWAINContainer(Trellis::CTWAINRange(-10, 10, 1, 5, 5)), 0},
        {ICAP_JPEGQUALITY, CTWAINContainer(qualities), 80},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << c.id);
        EXPECT_EQ(TWRC_FAILURE, Send(c.id, MSG_SET, c.container));
        EXPECT_EQ(TWCC_BADVALUE, Status());
        EXPECT_EQ(c.current, Current(c.id));
    }
}

} // namespace
