// Capability negotiation driven as an application drives it: DG_CONTROL /
// DAT_CAPABILITY triplets through Dispatch, answers read back from the
// handles byte by byte.
#include "twainfw/CTWAINDataSource.h"

#include "platform/testing/TempSystemRoot.h"
#include "twainfw/CapabilitySweep.h"
#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINMemory.h"
#include "twainfw/TestDataSource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace Trellis {
namespace {

constexpr TW_UINT16 kCustomCap = 0x8100;

// The test source with an extended-caps list, a custom capability behind
// the hooks, and a record of the hooks' calls.
class NegotiationSource : public testing::TestDataSource {
public:
    NegotiationSource()
    {
        ExtraCaps = {kCustomCap,           CAP_MAXBATCHBUFFERS,          ICAP_PATCHCODESEARCHPRIORITIES,
                     ICAP_AUTOMATICDESKEW, CAP_THUMBNAILSENABLED,        CAP_EXTENDEDCAPS,
                     CAP_FEEDERALIGNMENT,  ICAP_BARCODEDETECTIONENABLED, CAP_PRINTERSUFFIX};
    }

    CTWAINArray GetExtendedCapsValues() override
    {
        if (ExtendedCapsFail)
            ThrowFailure(TWCC_BUMMER);
        return Extended;
    }
    TW_INT32 QueryExtendedCapsSupport() override { return TWQC_GET; }
    TW_UINT16 GetPrinterCurrent() override { return Printer; }

    void SetFramesConstraint(const CTWAINEnumeration& constraint) override
    {
        FrameConstraints.push_back(constraint);
        CTWAINDataSource::SetFramesConstraint(constraint);
    }

    bool GetCustomCapValues(TW_UINT16 id, CTWAINContainer& container) override
    {
        return Custom("values", id, container);
    }
    bool GetCustomCapCurrent(TW_UINT16 id, CTWAINContainer& container) override
    {
        return Custom("current", id, container);
    }
    bool GetCustomCapDefault(TW_UINT16 id, CTWAINContainer& container) override
    {
        return Custom("default", id, container);
    }
    bool ResetCustomCap(TW_UINT16 id, CTWAINContainer& container) override
    {
        if (id == kCustomCap)
            CustomValue = 7;
        return Custom("reset", id, container);
    }
    bool SetCustomCap(TW_UINT16 id, CTWAINContainer& container) override
    {
        Hooks.push_back("set " + std::to_string(id));
        if (id != kCustomCap)
            return false;
        CustomValue = container.GetOneValue().Value;
        return true;
    }
    bool QueryCustomCapSupport(TW_UINT16 id, TW_INT32& flags) override
    {
        Hooks.push_back("query " + std::to_string(id));
        if (id != kCustomCap)
            return false;
        flags = CustomFlags;
        return true;
    }

    CTWAINArray Extended;
    TW_UINT16 Printer = 0;
    bool ExtendedCapsFail = false;
    TW_UINT32 CustomValue = 7;
    TW_INT32 CustomFlags = TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT | TWQC_SET | TWQC_RESET;
    std::vector<std::string> Hooks;
    std::vector<CTWAINEnumeration> FrameConstraints;

private:
    bool Custom(const char* what, TW_UINT16 id, CTWAINContainer& container)
    {
        Hooks.push_back(std::string(what) + " " + std::to_string(id));
        if (id != kCustomCap)
            return false;
        container.SetOneValue(CTWAINOneValue(CustomValue, TWTY_UINT32));
        return true;
    }
};

// Little-endian bytes of an expected TWAIN record.
class Bytes {
public:
    Bytes& U16(TW_UINT16 v)
    {
        m_bytes.push_back(static_cast<uint8_t>(v));
        m_bytes.push_back(static_cast<uint8_t>(v >> 8));
        return *this;
    }
    Bytes& U32(TW_UINT32 v) { return U16(static_cast<TW_UINT16>(v)).U16(static_cast<TW_UINT16>(v >> 16)); }
    Bytes& Fix(float v)
    {
        TW_FIX32 fix = FloatToFix32(v);
        return U16(static_cast<TW_UINT16>(fix.Whole)).U16(fix.Frac);
    }
    Bytes& Text(const std::string& text, size_t slot)
    {
        std::vector<uint8_t> field(slot, 0);
        std::memcpy(field.data(), text.data(), text.size());
        m_bytes.insert(m_bytes.end(), field.begin(), field.end());
        return *this;
    }
    std::vector<uint8_t> Get() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// The whole record of an answer's handle, which is then freed.
std::vector<uint8_t> TakeBlock(const TW_CAPABILITY& capability)
{
    if (!capability.hContainer)
        return {};
    CTWAINContainer answer;
    return testing::TakeRecord(capability, answer);
}

class NegotiationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ds.Init(nullptr);
        TW_IDENTITY assigned = ds.GetIdentity();
        assigned.Id = 77;
        ASSERT_EQ(TWRC_SUCCESS, ds.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    }

    int Cap(TW_UINT16 msg, TW_CAPABILITY& capability)
    {
        return ds.Dispatch(&app, DG_CONTROL, DAT_CAPABILITY, msg, &capability);
    }

    // Sends a message whose answer is a handle; gives that handle's bytes.
    std::vector<uint8_t> Ask(TW_UINT16 id, TW_UINT16 msg, TW_UINT16* conType = nullptr)
    {
        TW_CAPABILITY capability{id, TWON_DONTCARE16, nullptr};
        EXPECT_EQ(TWRC_SUCCESS, Cap(msg, capability))
            << "cap 0x" << std::hex << id << " msg " << msg << " condition " << std::dec << Status();
        if (conType)
            *conType = capability.ConType;
        return TakeBlock(capability);
    }

    // MSG_SET with a container the test owns; the handle must come back
    // untouched, and is freed here.
    int Set(TW_UINT16 id, const CTWAINContainer& container)
    {
        // The application's own global block, so that a lock left behind or
        // a free shows.
        TW_HANDLE record = container.ToHandle();
        EXPECT_NE(nullptr, record);
        const TW_UINT32 size = container.GetHandleSize();
        HGLOBAL handle = GlobalAlloc(GHND, size);
        std::memcpy(GlobalLock(handle), record, size);
        GlobalUnlock(handle);
        TWAINFreeHandle(record);
        TW_CAPABILITY capability{id, static_cast<TW_UINT16>(container.ContainerType), handle};
        const int rc = Cap(MSG_SET, capability);
        TW_HANDLE after = capability.hContainer;
        EXPECT_EQ(handle, after);
        EXPECT_EQ(0u, GlobalFlags(handle) & (GMEM_INVALID_HANDLE | 0xFF)) << "left locked or freed";
        GlobalFree(handle);
        return rc;
    }

    TW_UINT16 Status()
    {
        TW_STATUS status{};
        ds.Dispatch(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        return status.ConditionCode;
    }

    void Enable()
    {
        TW_USERINTERFACE ui{};
        ui.ShowUI = 1;
        ASSERT_EQ(TWRC_SUCCESS, ds.Dispatch(&app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
        ASSERT_EQ(5, ds.GetState());
    }

    static CTWAINEnumeration Codes(std::initializer_list<TW_UINT16> codes)
    {
        CTWAINEnumeration list;
        for (TW_UINT16 code : codes)
            list.Add(CTWAINOneValue(code));
        return list;
    }

    plat::testing::TempSystemRoot root;
    NegotiationSource ds;
    TW_IDENTITY app = [] {
        TW_IDENTITY identity{};
        identity.Id = 42;
        return identity;
    }();
};

// Each container shape and item width as the application reads it.
TEST_F(NegotiationTest, AnswersAreRecordsOfTheCapabilityShape)
{
    struct Case {
        TW_UINT16 id;
        TW_UINT16 msg;
        TW_UINT16 conType;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        // Enumerations: item type, count, current, default, items, the slot of ItemList.
        {ICAP_PIXELTYPE, MSG_GET, TWON_ENUMERATION,
         Bytes().U16(TWTY_UINT16).U32(3).U32(0).U32(0).U16(0).U16(1).U16(2).U16(0).Get()},
        {ICAP_XRESOLUTION, MSG_GET, TWON_ENUMERATION,
         Bytes().U16(TWTY_FIX32).U32(3).U32(1).U32(1).Fix(100).Fix(200).Fix(300).U16(0).Get()},
        // One values: item type and a four-byte item, whatever the item's width.
        {ICAP_PIXELTYPE, MSG_GETCURRENT, TWON_ONEVALUE, Bytes().U16(TWTY_UINT16).U32(0).Get()},
        {ICAP_XRESOLUTION, MSG_GETDEFAULT, TWON_ONEVALUE, Bytes().U16(TWTY_FIX32).Fix(200).Get()},
        {CAP_XFERCOUNT, MSG_GET, TWON_ONEVALUE, Bytes().U16(TWTY_INT16).U32(0xFFFF).Get()},
        {ICAP_PHYSICALWIDTH, MSG_GET, TWON_ONEVALUE, Bytes().U16(TWTY_FIX32).Fix(8.5f).Get()},
        {ICAP_FRAMES, MSG_GETDEFAULT, TWON_ONEVALUE, Bytes().U16(TWTY_FRAME).Fix(0).Fix(0).Fix(8.5f).Fix(14).Get()},
        {CAP_FEEDERALIGNMENT, MSG_GETCURRENT, TWON_ONEVALUE, Bytes().U16(TWTY_UINT16).U32(TWFA_NONE).Get()},
        {CAP_THUMBNAILSENABLED, MSG_GET, TWON_ONEVALUE, Bytes().U16(TWTY_BOOL).U32(0).Get()},
        {ICAP_PIXELTYPE, MSG_QUERYSUPPORT, TWON_ONEVALUE, Bytes().U16(TWTY_INT32).U32(0x1F).Get()},
        {ICAP_PHYSICALWIDTH, MSG_QUERYSUPPORT, TWON_ONEVALUE, Bytes().U16(TWTY_INT32).U32(0x0D).Get()},
        {ICAP_AUTOMATICDESKEW, MSG_QUERYSUPPORT, TWON_ONEVALUE, Bytes().U16(TWTY_INT32).U32(0x1F).Get()},
        // Not listed: supported by nothing, and still a success.
        {ICAP_GAMMA, MSG_QUERYSUPPORT, TWON_ONEVALUE, Bytes().U16(TWTY_INT32).U32(0).Get()},
        // The custom capability through its hooks.
        {kCustomCap, MSG_GET, TWON_ONEVALUE, Bytes().U16(TWTY_UINT32).U32(7).Get()},
        {kCustomCap, MSG_QUERYSUPPORT, TWON_ONEVALUE, Bytes().U16(TWTY_INT32).U32(0x1F).Get()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "cap 0x" << std::hex << c.id << " msg " << c.msg);
        TW_UINT16 conType = 0;
        EXPECT_EQ(c.bytes, Ask(c.id, c.msg, &conType));
        EXPECT_EQ(c.conType, conType);
    }
}

TEST_F(NegotiationTest, ArrayAnswerListsTheSupportedCapabilities)
{
    TW_UINT16 conType = 0;
    const std::vector<uint8_t> bytes = Ask(CAP_SUPPORTEDCAPS, MSG_GET, &conType);
    EXPECT_EQ(TWON_ARRAY, conType);
    const CTWAINArray caps = ds.GetSupportedCaps();
    Bytes expected;
    expected.U16(TWTY_UINT16).U32(caps.GetCount());
    for (const CTWAINOneValue& item : caps.m_List)
        expected.U16(static_cast<TW_UINT16>(item.Value));
    expected.U16(0);
    EXPECT_EQ(expected.Get(), bytes);
}

TEST_F(NegotiationTest, RangeIsTakenAndAnsweredWhole)
{
    CTWAINRange range;
    range.MinValue = CTWAINOneValue(1u, TWTY_UINT32);
    range.MaxValue = CTWAINOneValue(10u, TWTY_UINT32);
    range.StepSize = CTWAINOneValue(1u, TWTY_UINT32);
    range.DefaultValue = CTWAINOneValue(2u, TWTY_UINT32);
    range.CurrentValue = CTWAINOneValue(4u, TWTY_UINT32);
    range.ItemType = TWTY_UINT32;
    ASSERT_EQ(TWRC_SUCCESS, Set(CAP_MAXBATCHBUFFERS, CTWAINContainer(range)));

    TW_UINT16 conType = 0;
    EXPECT_EQ(Bytes().U16(TWTY_UINT32).U32(1).U32(10).U32(1).U32(2).U32(4).Get(),
              Ask(CAP_MAXBATCHBUFFERS, MSG_GET, &conType));
    EXPECT_EQ(TWON_RANGE, conType);
    EXPECT_EQ(Bytes().U16(TWTY_UINT32).U32(4).Get(), Ask(CAP_MAXBATCHBUFFERS, MSG_GETCURRENT));
}

TEST_F(NegotiationTest, SetAndResetChangeWhatTheGettersAnswer)
{
    // A one value sets the current value; an enumeration constrains the list.
    ASSERT_EQ(TWRC_SUCCESS, Set(ICAP_PIXELTYPE, CTWAINContainer(CTWAINOneValue(TWPT_GRAY))));
    EXPECT_EQ(Bytes().U16(TWTY_UINT16).U32(TWPT_GRAY).Get(), Ask(ICAP_PIXELTYPE, MSG_GETCURRENT));

    CTWAINEnumeration request = Codes({TWPT_BW, TWPT_RGB});
    request.CurrentIndex = 1;
    ASSERT_EQ(TWRC_SUCCESS, Set(ICAP_PIXELTYPE, CTWAINContainer(request)));
    EXPECT_EQ(Bytes().U16(TWTY_UINT16).U32(2).U32(1).U32(0).U16(TWPT_BW).U16(TWPT_RGB).U16(0).Get(),
              Ask(ICAP_PIXELTYPE, MSG_GET));

    // RESET answers the default and makes it current, for that capability only.
    ASSERT_EQ(TWRC_SUCCESS, Set(ICAP_XRESOLUTION, CTWAINContainer(CTWAINOneValue(300.0f))));
    EXPECT_EQ(Bytes().U16(TWTY_UINT16).U32(TWPT_BW).Get(), Ask(ICAP_PIXELTYPE, MSG_RESET));
    EXPECT_EQ(Bytes().U16(TWTY_UINT16).U32(TWPT_BW).Get(), Ask(ICAP_PIXELTYPE, MSG_GETCURRENT));
    EXPECT_EQ(Bytes().U16(TWTY_FIX32).Fix(300).Get(), Ask(ICAP_XRESOLUTION, MSG_GETCURRENT));

    // An array capability answers arrays on every message.
    CTWAINArray priorities;
    priorities.Append(CTWAINOneValue(TW_UINT32{3}, TWTY_UINT32));
    priorities.Append(CTWAINOneValue(TW_UINT32{1}, TWTY_UINT32));
    ASSERT_EQ(TWRC_SUCCESS, Set(ICAP_PATCHCODESEARCHPRIORITIES, CTWAINContainer(priorities)));
    TW_UINT16 conType = 0;
    EXPECT_EQ(Bytes().U16(TWTY_UINT32).U32(2).U32(3).U32(1).U16(0).Get(),
              Ask(ICAP_PATCHCODESEARCHPRIORITIES, MSG_GETCURRENT, &conType));
    EXPECT_EQ(TWON_ARRAY, conType);
}

TEST_F(NegotiationTest, RefusedRequestsGiveTheirConditionCodes)
{
    CTWAINArray pixelArray;
    pixelArray.Append(CTWAINOneValue(TWPT_GRAY));
    struct Case {
        const char* what;
        TW_UINT16 id;
        TW_UINT16 msg;
        CTWAINContainer container; // sent with MSG_SET
        int rc;
        TW_UINT16 condition;
    };
    const Case cases[] = {
        {"unlisted capability", ICAP_GAMMA, MSG_GET, {}, TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
        {"unlisted capability set", ICAP_GAMMA, MSG_SET, CTWAINContainer(CTWAINOneValue(1.0f)), TWRC_FAILURE,
         TWCC_CAPUNSUPPORTED},
        {"message without a handler", ICAP_PIXELTYPE, 4, {}, TWRC_FAILURE, TWCC_BADPROTOCOL},
        {"help text", ICAP_PIXELTYPE, MSG_GETHELP, {}, TWRC_FAILURE, TWCC_BADPROTOCOL},
        {"set constraint", ICAP_PIXELTYPE, MSG_SETCONSTRAINT, {}, TWRC_FAILURE, TWCC_BADPROTOCOL},
        {"reset all", ICAP_PIXELTYPE, MSG_RESETALL, {}, TWRC_FAILURE, TWCC_BADPROTOCOL},
        {"read-only reset", ICAP_PHYSICALWIDTH, MSG_RESET, {}, TWRC_FAILURE, TWCC_CAPBADOPERATION},
        {"read-only set", ICAP_PHYSICALWIDTH, MSG_SET, CTWAINContainer(CTWAINOneValue(1.0f)), TWRC_FAILURE,
         TWCC_CAPBADOPERATION},
        {"list set with an array", ICAP_PIXELTYPE, MSG_SET, CTWAINContainer(pixelArray), TWRC_FAILURE, TWCC_BADVALUE},
        {"code outside the list", ICAP_PIXELTYPE, MSG_SET, CTWAINContainer(CTWAINOneValue(TW_UINT16{9})), TWRC_FAILURE,
         TWCC_BADVALUE},
        {"code read from a frame", ICAP_PIXELTYPE, MSG_SET, CTWAINContainer(CTWAINOneValue(CTWAINFrame(0, 0, 1, 1))),
         TWRC_FAILURE, TWCC_BUMMER},
        {"one value capability set with an enumeration", CAP_XFERCOUNT, MSG_SET, CTWAINContainer(Codes({1, 2})),
         TWRC_FAILURE, TWCC_BUMMER},
        {"resolution above the list", ICAP_XRESOLUTION, MSG_SET, CTWAINContainer(CTWAINOneValue(400.0f)), TWRC_FAILURE,
         TWCC_BADVALUE},
        {"resolution between two listed", ICAP_XRESOLUTION, MSG_SET, CTWAINContainer(CTWAINOneValue(150.0f)),
         TWRC_CHECKSTATUS, TWCC_BADVALUE},
        {"member capability set with an enumeration", ICAP_BARCODEDETECTIONENABLED, MSG_SET,
         CTWAINContainer(Codes({1})), TWRC_FAILURE, TWCC_BUMMER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.msg == MSG_SET) {
            EXPECT_EQ(c.rc, Set(c.id, c.container));
        } else {
            TW_CAPABILITY capability{c.id, TWON_DONTCARE16, nullptr};
            EXPECT_EQ(c.rc, Cap(c.msg, capability));
            TW_HANDLE left = capability.hContainer;
            TW_UINT16 conType = capability.ConType;
            EXPECT_EQ(nullptr, left);
            EXPECT_EQ(TWON_DONTCARE16, conType);
        }
        EXPECT_EQ(c.condition, Status());
    }
    // The rounded resolution is in force; the refused requests changed nothing.
    EXPECT_EQ(Bytes().U16(TWTY_FIX32).Fix(200).Get(), Ask(ICAP_XRESOLUTION, MSG_GETCURRENT));
    EXPECT_EQ(Bytes().U16(TWTY_UINT16).U32(TWPT_BW).Get(), Ask(ICAP_PIXELTYPE, MSG_GETCURRENT));
}

TEST_F(NegotiationTest, MemberCapabilitiesTakeOnlyTheLowWordOfABool)
{
    ASSERT_EQ(TWRC_SUCCESS, Set(ICAP_AUTOMATICDESKEW, CTWAINContainer(CTWAINOneValue(0x10000u, TWTY_BOOL))));
    EXPECT_FALSE(ds.m_AutomaticDeskew);
    ASSERT_EQ(TWRC_SUCCESS, Set(ICAP_AUTOMATICDESKEW, CTWAINContainer(CTWAINOneValue(0x10001u, TWTY_BOOL))));
    EXPECT_TRUE(ds.m_AutomaticDeskew);
    EXPECT_EQ(Bytes().U16(TWTY_BOOL).U32(1).Get(), Ask(ICAP_AUTOMATICDESKEW, MSG_GETCURRENT));
    EXPECT_EQ(Bytes().U16(TWTY_BOOL).U32(0).Get(), Ask(ICAP_AUTOMATICDESKEW, MSG_GETDEFAULT));
    EXPECT_EQ(Bytes().U16(TWTY_BOOL).U32(0).Get(), Ask(ICAP_AUTOMATICDESKEW, MSG_RESET));
    EXPECT_FALSE(ds.m_AutomaticDeskew);
}

// The printer tables speak of the printer that CAP_PRINTER selects.
TEST_F(NegotiationTest, PrinterSuffixIsKeptPerPrinter)
{
    auto suffix = [](const std::string& text) { return Bytes().U16(TWTY_STR255).Text(text, 256).Get(); };
    auto set = [this](const std::string& text) {
        return Set(CAP_PRINTERSUFFIX, CTWAINContainer(CTWAINOneValue(text, TWTY_STR255)));
    };
    ds.Printer = 1;
    ASSERT_EQ(TWRC_SUCCESS, set("ABCD"));
    ds.Printer = 2;
    ASSERT_EQ(TWRC_SUCCESS, set("WXYZ"));
    ds.Printer = 3;
    EXPECT_EQ(suffix("0000"), Ask(CAP_PRINTERSUFFIX, MSG_GET));

    ds.Printer = 1;
    EXPECT_EQ(suffix("ABCD"), Ask(CAP_PRINTERSUFFIX, MSG_GETCURRENT));
    EXPECT_EQ(suffix("0000"), Ask(CAP_PRINTERSUFFIX, MSG_GETDEFAULT));
    EXPECT_EQ(suffix("0000"), Ask(CAP_PRINTERSUFFIX, MSG_RESET));
    EXPECT_EQ(suffix("0000"), Ask(CAP_PRINTERSUFFIX, MSG_GET));
    ds.Printer = 2;
    EXPECT_EQ(suffix("WXYZ"), Ask(CAP_PRINTERSUFFIX, MSG_GET));

    // A printer code past the tables names no entry.
    ds.Printer = 8;
    EXPECT_EQ(TWRC_FAILURE, set("QQQQ"));
    EXPECT_EQ(TWCC_BADVALUE, Status());
}

// A resolution read in centimetres crosses the interface as TW_FIX32, which
// cannot hold dots per centimetre exactly: sent back, the value read is the
// listed resolution it came from, at either end of the list and between.
TEST_F(NegotiationTest, AResolutionReadInCentimetresIsTakenBack)
{
    auto fix32Item = [](const std::vector<uint8_t>& oneValue) {
        EXPECT_EQ(6u, oneValue.size());
        TW_UINT32 word = 0;
        std::memcpy(&word, oneValue.data() + 2, sizeof(word));
        return CTWAINOneValue(word, TWTY_FIX32);
    };
    for (float dotsPerInch : {100.0f, 200.0f, 300.0f}) {
        SCOPED_TRACE(dotsPerInch);
        ASSERT_EQ(TWRC_SUCCESS, Set(ICAP_UNITS, CTWAINContainer(CTWAINOneValue(TWUN_INCHES))));
        ASSERT_EQ(TWRC_SUCCESS, Set(ICAP_XRESOLUTION, CTWAINContainer(CTWAINOneValue(dotsPerInch))));
        ASSERT_EQ(TWRC_SUCCESS, Set(ICAP_UNITS, CTWAINContainer(CTWAINOneValue(TWUN_CENTIMETERS))));

        const CTWAINOneValue read = fix32Item(Ask(ICAP_XRESOLUTION, MSG_GETCURRENT));
        EXPECT_NEAR(dotsPerInch / 2.54, read.GetFloat(), 1.0 / 65536);
        EXPECT_EQ(TWRC_SUCCESS, Set(ICAP_XRESOLUTION, CTWAINContainer(read))) << "condition " << Status();
        EXPECT_EQ(dotsPerInch, ds.GetXResolutionValue());

        // The same for a list of the values read, and a range around them.
        CTWAINEnumeration list;
        list.Add(read, true, true);
        EXPECT_EQ(TWRC_SUCCESS, Set(ICAP_YRESOLUTION, CTWAINContainer(list))) << "condition " << Status();
        EXPECT_EQ(dotsPerInch, ds.GetYResolutionValue());
        EXPECT_EQ(TWRC_SUCCESS, Set(ICAP_YRESOLUTION, CTWAINContainer(CTWAINRange(read.GetFloat(), read.GetFloat(), 1,
                                                                                  read.GetFloat(), read.GetFloat()))))
            << "condition " << Status();
        EXPECT_EQ(dotsPerInch, ds.GetYResolutionValue());
        ds.ResetYResolution();
    }
}

TEST_F(NegotiationTest, FramesOutsideThePhysicalAreaAreDropped)
{
    const CTWAINFrame letter(0, 0, 8.5f, 11);
    const CTWAINFrame tooWide(0, 0, 9, 11);
    const CTWAINFrame small(1, 1, 4, 5);
    CTWAINEnumeration request;
    request.Add(CTWAINOneValue(letter));
    request.Add(CTWAINOneValue(tooWide));
    request.Add(CTWAINOneValue(small));
    EXPECT_EQ(TWRC_CHECKSTATUS, Set(ICAP_FRAMES, CTWAINContainer(request)));
    EXPECT_EQ(TWCC_BADVALUE, Status());
    ASSERT_EQ(1u, ds.FrameConstraints.size());
    const CTWAINEnumeration& inside = ds.FrameConstraints[0];
    ASSERT_EQ(2u, inside.GetCount());
    EXPECT_TRUE(inside.GetAt(0).Frame == letter);
    EXPECT_TRUE(inside.GetAt(1).Frame == small);
    EXPECT_EQ(Bytes().U16(TWTY_FRAME).Fix(0).Fix(0).Fix(8.5f).Fix(11).Get(), Ask(ICAP_FRAMES, MSG_GETCURRENT));

    // A single frame outside, or a list with none inside: refused, nothing changes.
    const std::vector<uint8_t> before = Ask(ICAP_FRAMES, MSG_GETCURRENT);
    EXPECT_EQ(TWRC_FAILURE, Set(ICAP_FRAMES, CTWAINContainer(CTWAINOneValue(tooWide))));
    EXPECT_EQ(TWCC_BADVALUE, Status());
    CTWAINEnumeration outside;
    outside.Add(CTWAINOneValue(tooWide));
    EXPECT_EQ(TWRC_FAILURE, Set(ICAP_FRAMES, CTWAINContainer(outside)));
    EXPECT_EQ(TWCC_BADVALUE, Status());
    EXPECT_EQ(TWRC_FAILURE, Set(ICAP_FRAMES, CTWAINContainer(CTWAINOneValue(TW_UINT16{1}))));
    EXPECT_EQ(before, Ask(ICAP_FRAMES, MSG_GETCURRENT));
    EXPECT_EQ(1u, ds.FrameConstraints.size());

    ASSERT_EQ(TWRC_SUCCESS, Set(ICAP_FRAMES, CTWAINContainer(CTWAINOneValue(small))));
    EXPECT_EQ(Bytes().U16(TWTY_FRAME).Fix(1).Fix(1).Fix(4).Fix(5).Get(), Ask(ICAP_FRAMES, MSG_GETCURRENT));
}

// From state 5 on only the capabilities in CAP_EXTENDEDCAPS may change.
TEST_F(NegotiationTest, AfterEnablingOnlyExtendedCapabilitiesChange)
{
    Enable();
    const CTWAINContainer dpi300(CTWAINOneValue(300.0f));
    TW_CAPABILITY reset{ICAP_XRESOLUTION, TWON_DONTCARE16, nullptr};

    EXPECT_EQ(TWRC_FAILURE, Set(ICAP_XRESOLUTION, dpi300));
    EXPECT_EQ(TWCC_SEQERROR, Status());
    EXPECT_EQ(TWRC_FAILURE, Cap(MSG_RESET, reset));
    EXPECT_EQ(TWCC_SEQERROR, Status());
    EXPECT_EQ(Bytes().U16(TWTY_FIX32).Fix(200).Get(), Ask(ICAP_XRESOLUTION, MSG_GETCURRENT));

    ds.ExtendedCapsFail = true;
    ds.Extended.Append(CTWAINOneValue(ICAP_XRESOLUTION));
    EXPECT_EQ(TWRC_FAILURE, Set(ICAP_XRESOLUTION, dpi300));
    EXPECT_EQ(TWCC_SEQERROR, Status());

    ds.ExtendedCapsFail = false;
    EXPECT_EQ(TWRC_SUCCESS, Set(ICAP_XRESOLUTION, dpi300));
    EXPECT_EQ(Bytes().U16(TWTY_FIX32).Fix(300).Get(), Ask(ICAP_XRESOLUTION, MSG_GETCURRENT));
    EXPECT_EQ(Bytes().U16(TWTY_FIX32).Fix(200).Get(), Ask(ICAP_XRESOLUTION, MSG_RESET));
    EXPECT_EQ(TWRC_FAILURE, Set(ICAP_PIXELTYPE, CTWAINContainer(CTWAINOneValue(TWPT_GRAY))));
    EXPECT_EQ(TWCC_SEQERROR, Status());
}

TEST_F(NegotiationTest, UnroutedIdsGoToTheCustomHooks)
{
    const std::string custom = std::to_string(kCustomCap);
    EXPECT_EQ(Bytes().U16(TWTY_UINT32).U32(7).Get(), Ask(kCustomCap, MSG_GETCURRENT));
    EXPECT_EQ(Bytes().U16(TWTY_UINT32).U32(7).Get(), Ask(kCustomCap, MSG_GETDEFAULT));
    ASSERT_EQ(TWRC_SUCCESS, Set(kCustomCap, CTWAINContainer(CTWAINOneValue(TW_UINT32{12}, TWTY_UINT32))));
    EXPECT_EQ(12u, ds.CustomValue);
    EXPECT_EQ(Bytes().U16(TWTY_UINT32).U32(7).Get(), Ask(kCustomCap, MSG_RESET));
    EXPECT_EQ((std::vector<std::string>{"query " + custom, "current " + custom, "query " + custom, "default " + custom,
                                        "query " + custom, "set " + custom, "query " + custom, "reset " + custom}),
              ds.Hooks);

    // The hook's flags gate the messages.
    ds.CustomFlags = TWQC_GET;
    TW_CAPABILITY capability{kCustomCap, TWON_DONTCARE16, nullptr};
    EXPECT_EQ(TWRC_FAILURE, Cap(MSG_GETCURRENT, capability));
    EXPECT_EQ(TWCC_CAPBADOPERATION, Status());

    // Reset of a read-only capability listed for the hooks; a hook that does
    // not know the id makes it unsupported.
    ds.Hooks.clear();
    TW_CAPABILITY alignment{CAP_FEEDERALIGNMENT, TWON_DONTCARE16, nullptr};
    ds.CustomFlags = 0x1F;
    EXPECT_EQ(TWRC_FAILURE, Cap(MSG_RESET, alignment));
    EXPECT_EQ(TWCC_CAPBADOPERATION, Status());
    EXPECT_TRUE(ds.Hooks.empty());
}

TEST_F(NegotiationTest, HookThatDoesNotKnowTheIdMakesItUnsupported)
{
    // Listed, but neither routed nor known to the hooks.
    ds.ExtraCaps.push_back(0x8200);
    ds.FillSupportedCaps();
    for (TW_UINT16 msg : {MSG_GET, MSG_QUERYSUPPORT}) {
        TW_CAPABILITY capability{0x8200, TWON_DONTCARE16, nullptr};
        EXPECT_EQ(TWRC_FAILURE, Cap(msg, capability));
        EXPECT_EQ(TWCC_CAPUNSUPPORTED, Status());
    }
}

// A source that lists every capability the framework answers by itself,
// with the lists a device class fills for some of them: printers with their
// modes and strings, bar and patch code searches, batch buffers and the set
// of images.
class FrameworkCapabilitiesSource : public testing::TestDataSource {
public:
    FrameworkCapabilitiesSource()
    {
        ExtraCaps = {CAP_CUSTOMDSDATA,
                     CAP_DUPLEX,
                     CAP_ENABLEDSUIONLY,
                     CAP_FEEDERALIGNMENT,
                     CAP_MAXBATCHBUFFERS,
                     CAP_PRINTER,
                     CAP_PRINTERENABLED,
                     CAP_PRINTERINDEX,
                     CAP_PRINTERMODE,
                     CAP_PRINTERSTRING,
                     CAP_PRINTERSUFFIX,
                     CAP_THUMBNAILSENABLED,
                     ICAP_AUTOMATICBORDERDETECTION,
                     ICAP_AUTOMATICDESKEW,
                     ICAP_BARCODEDETECTIONENABLED,
                     ICAP_BARCODESEARCHMODE,
                     ICAP_BARCODESEARCHPRIORITIES,
                     ICAP_IMAGEDATASET,
                     ICAP_PATCHCODEDETECTIONENABLED,
                     ICAP_PATCHCODESEARCHMODE,
                     ICAP_PATCHCODESEARCHPRIORITIES,
                     ICAP_SUPPORTEDBARCODETYPES,
                     ICAP_SUPPORTEDPATCHCODETYPES};
    }

    bool InitializeCapabilities() override
    {
        const bool done = CTWAINDataSource::InitializeCapabilities();
        m_MaxBatchBuffersAllowed.SetMin(Number(1));
        m_MaxBatchBuffersAllowed.SetMax(Number(8));
        m_MaxBatchBuffersAllowed.SetStep(Number(1));
        m_MaxBatchBuffersAllowed.SetDefault(Number(2));
        m_MaxBatchBuffersAllowed.SetCurrent(Number(2));
        m_MaxBatchBuffers = m_MaxBatchBuffersAllowed;
        Fill(m_BarCodeSearchModes, {TWBD_HORZ, TWBD_VERT, TWBD_HORZVERT});
        Fill(m_PatchCodeSearchModes, {TWBD_VERT, TWBD_HORZ});
        m_BarCodeSearchPriorities = m_BarCodeSearchPrioritiesDefault = Numbers({TWBT_CODE128, TWBT_3OF9});
        m_PatchCodeSearchPriorities = m_PatchCodeSearchPrioritiesDefault = Numbers({TWPCH_PATCH2});
        m_SupportedBarCodeTypes = Numbers({TWBT_3OF9, TWBT_CODE128, TWBT_QRCODE});
        m_SupportedPatchCodeTypes = Numbers({TWPCH_PATCH1, TWPCH_PATCH2});
        // Imprinters top before and after, endorser top before; each in
        // single, multi and compound string mode.
        Fill(m_Printers, {0, 1, 4});
        for (CTWAINEnumPair& modes : m_PrinterModes)
            Fill(modes, {0, 1, 2});
        for (CTWAINEnumeration& strings : m_PrinterStrings)
            strings.Add(CTWAINOneValue(std::string("Batch 7"), TWTY_STR255), true, true);
        m_ImagesAvailable = 3;
        ResetImageDataSet();
        return done;
    }

private:
    static CTWAINOneValue Number(TW_UINT32 value) { return CTWAINOneValue(value, TWTY_UINT32); }
    static CTWAINArray Numbers(std::initializer_list<TW_UINT32> values)
    {
        CTWAINArray list;
        for (TW_UINT32 value : values)
            list.Append(Number(value));
        return list;
    }
    static void Fill(CTWAINEnumPair& pair, std::initializer_list<TW_UINT16> codes)
    {
        for (TW_UINT16 code : codes)
            pair.Allowed.Add(CTWAINOneValue(code), code == *codes.begin(), code == *codes.begin());
        pair.Reset();
    }
};

TEST(FrameworkCapabilitySweepTest, EveryCapabilityTheFrameworkAnswersPassesTheConformanceSweep)
{
    plat::testing::TempSystemRoot root;
    FrameworkCapabilitiesSource ds;
    TW_IDENTITY app{};
    app.Id = 42;
    ds.Init(nullptr);
    TW_IDENTITY assigned = ds.GetIdentity();
    assigned.Id = 77;
    ASSERT_EQ(TWRC_SUCCESS, ds.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));

    testing::CapabilitySweep sweep(
        [&](TW_UINT16 msg, TW_CAPABILITY& capability) {
            return static_cast<TW_UINT16>(ds.Dispatch(&app, DG_CONTROL, DAT_CAPABILITY, msg, &capability));
        },
        [&] {
            TW_STATUS status{};
            ds.Dispatch(&app, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
            return status.ConditionCode;
        });
    const std::vector<TW_UINT16> ids = sweep.Listed();
    EXPECT_EQ(27u + ds.ExtraCaps.size(), ids.size());
    for (TW_UINT16 id : ids)
        sweep.Run(id);
}

} // namespace
} // namespace Trellis
