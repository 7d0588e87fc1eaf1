// Notifications reaching the manager's entry point, the settings under the
// source's registry key, and the custom data block an application keeps.
#include "twainfw/CTWAINDataSource.h"

#include "platform/testing/TempSystemRoot.h"
#include "twainfw/CountingManagerMemory.h"
#include "twainfw/DSMEntry.h"
#include "twainfw/TWAINMemory.h"
#include "twainfw/TestDataSource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace Trellis {
namespace {

// What the fake manager was told.
struct Notification {
    TW_UINT32 originId;
    std::string originProduct;
    TW_UINT32 destinationId;
    TW_UINT32 dg;
    TW_UINT16 dat;
    TW_UINT16 msg;
    bool dataNull;
};

std::vector<Notification>& Received()
{
    static std::vector<Notification> received;
    return received;
}

TW_UINT16 FakeDSMEntry(pTW_IDENTITY origin, pTW_IDENTITY destination, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                       TW_MEMREF data)
{
    Received().push_back(Notification{
        origin ? TW_UINT32{origin->Id} : 0xFFFFFFFFu, origin ? std::string(origin->ProductName) : std::string(),
        destination ? TW_UINT32{destination->Id} : 0xFFFFFFFFu, dg, dat, msg, data == nullptr});
    return TWRC_FAILURE; // ignored by the source
}

class NotifySource : public testing::TestDataSource {
public:
    bool BeginAcquisition(TW_IMAGEINFO* info) override { return Acquire && CTWAINDataSource::BeginAcquisition(info); }
    bool Acquire = true;
};

class NotificationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Received().clear();
        ds.Init(nullptr);
    }
    void TearDown() override { SetDSMEntryPoint(nullptr); }

    int Call(CTWAINDataSource& source, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data)
    {
        return source.Dispatch(&app, dg, dat, msg, data);
    }

    void HandOverEntry()
    {
        TW_ENTRYPOINT entry{};
        entry.Size = sizeof entry;
        entry.DSM_Entry = &FakeDSMEntry;
        ASSERT_EQ(TWRC_SUCCESS, Call(ds, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry));
    }

    void Open(CTWAINDataSource& source)
    {
        TW_IDENTITY assigned = source.GetIdentity();
        assigned.Id = 77;
        ASSERT_EQ(TWRC_SUCCESS, Call(source, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    }

    void Enable(bool showUI)
    {
        TW_USERINTERFACE ui{};
        ui.ShowUI = showUI;
        ASSERT_EQ(TWRC_SUCCESS, Call(ds, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
    }

    TW_UINT16 Status(CTWAINDataSource& source)
    {
        TW_STATUS status{};
        Call(source, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        return status.ConditionCode;
    }

    void SetPixelType(CTWAINDataSource& source, TW_UINT16 pixelType)
    {
        TW_CAPABILITY capability{ICAP_PIXELTYPE, TWON_ONEVALUE, CTWAINContainer(CTWAINOneValue(pixelType)).ToHandle()};
        ASSERT_EQ(TWRC_SUCCESS, Call(source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability));
        TWAINFreeHandle(capability.hContainer);
    }

    TW_UINT16 PixelType(CTWAINDataSource& source)
    {
        TW_CAPABILITY capability{ICAP_PIXELTYPE, TWON_DONTCARE16, nullptr};
        EXPECT_EQ(TWRC_SUCCESS, Call(source, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &capability));
        const CTWAINContainer answer(capability);
        TWAINFreeHandle(capability.hContainer);
        return answer.GetOneValue().GetUInt16();
    }

    // Whether the source's key holds any value (opening creates it empty).
    bool SettingsSaved()
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Test Maker\\Test Scanner\\5.0", 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return false;
        char name[256];
        DWORD length = sizeof name;
        const bool any = RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        RegCloseKey(key);
        return any;
    }

    // The bytes of MSG_GET's block (a plain pointer, InfoLength bytes long),
    // which is then freed as the application does.
    std::vector<BYTE> GetBlock(CTWAINDataSource& source)
    {
        TW_CUSTOMDSDATA data{};
        EXPECT_EQ(TWRC_SUCCESS, Call(source, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, &data));
        if (!data.hData)
            return {};
        EXPECT_EQ(GMEM_INVALID_HANDLE, GlobalFlags(data.hData)) << "a plain pointer, no global block";
        const BYTE* bytes = static_cast<const BYTE*>(data.hData);
        std::vector<BYTE> image(bytes, bytes + data.InfoLength);
        std::free(data.hData);
        return image;
    }

    // MSG_SET of a plain block holding `bytes` and claiming `length` of
    // them (all by default); the block stays the test's.
    int SetBlock(CTWAINDataSource& source, const std::vector<BYTE>& bytes, std::optional<TW_UINT32> length = {})
    {
        void* block = std::malloc(bytes.empty() ? 1 : bytes.size());
        if (!bytes.empty())
            std::memcpy(block, bytes.data(), bytes.size());
        TW_CUSTOMDSDATA data{};
        data.InfoLength = length.value_or(static_cast<TW_UINT32>(bytes.size()));
        data.hData = block;
        const int rc = Call(source, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &data);
        const TW_HANDLE after = data.hData; // a packed field: read by copy
        EXPECT_EQ(block, after);
        std::free(block);
        return rc;
    }

    plat::testing::TempSystemRoot root;
    NotifySource ds;
    TW_IDENTITY app = [] {
        TW_IDENTITY identity{};
        identity.Id = 42;
        return identity;
    }();
};

TEST_F(NotificationTest, DefaultIdentityOfTheFramework)
{
    const CTWAINIdentity identity;
    EXPECT_EQ(0u, TW_UINT32{identity.Id});
    EXPECT_EQ(1, identity.Version.MajorNum);
    EXPECT_EQ(0, identity.Version.MinorNum);
    EXPECT_EQ(TWLG_USA, identity.Version.Language);
    EXPECT_EQ(TWCY_USA, identity.Version.Country);
    EXPECT_STREQ("", identity.Version.Info);
    EXPECT_EQ(2, identity.ProtocolMajor);
    EXPECT_EQ(0, identity.ProtocolMinor);
    EXPECT_EQ(DG_CONTROL | DG_IMAGE, TW_UINT32{identity.SupportedGroups});
    EXPECT_STREQ("Trellis", identity.ProductFamily);
    EXPECT_STREQ("Trellis Application", identity.ProductName);
    EXPECT_NE('\0', identity.Manufacturer[0]);
}

// The three signals, each with the manager's entry handed over: the message,
// the state, and whether the settings were saved.
TEST_F(NotificationTest, SignalsReachTheManagerWithTheirTriplet)
{
    struct Case {
        const char* what;
        void (CTWAINDataSource::*signal)();
        TW_UINT16 msg;
        TW_INT32 state;
        bool saved;
    };
    const Case cases[] = {
        {"image ready", &CTWAINDataSource::SignalXferReady, MSG_XFERREADY, 6, true},
        {"settings accepted", &CTWAINDataSource::SignalCloseDSOK, MSG_CLOSEDSOK, 5, true},
        {"settings cancelled", &CTWAINDataSource::SignalCloseDSRequest, MSG_CLOSEDSREQ, 5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plat::testing::TempSystemRoot caseRoot;
        NotifySource source;
        source.Init(nullptr);
        Received().clear();
        TW_ENTRYPOINT entry{};
        entry.DSM_Entry = &FakeDSMEntry;
        ASSERT_EQ(TWRC_SUCCESS, Call(source, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry));
        Open(source);
        TW_USERINTERFACE ui{};
        ui.ShowUI = 1;
        ASSERT_EQ(TWRC_SUCCESS, Call(source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));

        (source.*c.signal)();

        EXPECT_EQ(c.state, source.GetState());
        ASSERT_EQ(1u, Received().size());
        const Notification& n = Received()[0];
        EXPECT_EQ(77u, n.originId);
        EXPECT_EQ("Test Scanner", n.originProduct);
        EXPECT_EQ(42u, n.destinationId);
        EXPECT_EQ(DG_CONTROL, n.dg);
        EXPECT_EQ(DAT_NULL, n.dat);
        EXPECT_EQ(c.msg, n.msg);
        EXPECT_TRUE(n.dataNull);
        EXPECT_EQ(c.saved, SettingsSaved());
        SetDSMEntryPoint(nullptr);
    }
}

TEST_F(NotificationTest, NoWindowMeansATransferAtOnce)
{
    HandOverEntry();
    Open(ds);
    Enable(false);
    EXPECT_EQ(6, ds.GetState());
    ASSERT_EQ(1u, Received().size());
    EXPECT_EQ(MSG_XFERREADY, Received()[0].msg);
}

TEST_F(NotificationTest, RefusedAcquisitionChangesNothing)
{
    HandOverEntry();
    Open(ds);
    Enable(true);
    ds.Acquire = false;
    ds.SignalXferReady();
    EXPECT_EQ(5, ds.GetState());
    EXPECT_TRUE(Received().empty());
    EXPECT_FALSE(SettingsSaved());
}

TEST_F(NotificationTest, WithoutAManagerTheStateStillChanges)
{
    Open(ds);
    Enable(true);
    ds.SignalCloseDSRequest();
    EXPECT_EQ(5, ds.GetState());
    ds.SignalXferReady();
    EXPECT_EQ(6, ds.GetState());
    EXPECT_TRUE(Received().empty());
}

TEST_F(NotificationTest, SettingsSurviveInTheRegistryKey)
{
    Open(ds);
    SetPixelType(ds, TWPT_RGB);
    ASSERT_TRUE(ds.SaveConfigurationToRegistry());
    EXPECT_TRUE(SettingsSaved());

    // A new session opens with the saved settings.
    NotifySource next;
    next.Init(nullptr);
    Open(next);
    EXPECT_EQ(TWPT_RGB, PixelType(next));

    SetPixelType(next, TWPT_GRAY);
    EXPECT_TRUE(next.LoadConfigurationFromRegistry());
    EXPECT_EQ(TWPT_RGB, PixelType(next));
}

TEST_F(NotificationTest, CustomDataBlockRoundTrip)
{
    Open(ds);
    SetPixelType(ds, TWPT_GRAY);
    const std::vector<BYTE> block = GetBlock(ds);

    // The head is the source's identity, Id cleared though the manager gave 77.
    ASSERT_GE(block.size(), size_t{156});
    TW_IDENTITY expected = ds.GetIdentity();
    ASSERT_EQ(77u, TW_UINT32{expected.Id});
    expected.Id = 0;
    EXPECT_EQ(0, std::memcmp(block.data(), &expected, 156));

    SetPixelType(ds, TWPT_BW);
    EXPECT_EQ(TWRC_SUCCESS, SetBlock(ds, block));
    EXPECT_EQ(TWPT_GRAY, PixelType(ds));

    // Another session of the same source takes it too.
    NotifySource other;
    other.Init(nullptr);
    TW_IDENTITY otherApp = app;
    otherApp.Id = 43;
    TW_IDENTITY assigned = other.GetIdentity();
    assigned.Id = 91;
    ASSERT_EQ(TWRC_SUCCESS, other.Dispatch(&otherApp, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    std::vector<BYTE> copy = block;
    TW_CUSTOMDSDATA set{static_cast<TW_UINT32>(copy.size()), copy.data()};
    EXPECT_EQ(TWRC_SUCCESS, other.Dispatch(&otherApp, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &set));
    TW_CAPABILITY capability{ICAP_PIXELTYPE, TWON_DONTCARE16, nullptr};
    ASSERT_EQ(TWRC_SUCCESS, other.Dispatch(&otherApp, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &capability));
    EXPECT_EQ(TWPT_GRAY, CTWAINContainer(capability).GetOneValue().GetUInt16());
    TWAINFreeHandle(capability.hContainer);
}

using Manager = testing::CountingManagerMemory;

// With the manager's memory functions, the block comes from its allocator
// and a block of the application's is read through its lock.
TEST_F(NotificationTest, CustomDataBlocksGoThroughTheManagersMemory)
{
    TW_ENTRYPOINT entry = Manager::EntryPoint();
    ASSERT_EQ(TWRC_SUCCESS, Call(ds, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry));
    Open(ds);
    SetPixelType(ds, TWPT_GRAY);
    Manager::allocated = 0;
    Manager::locked = 0;
    const std::vector<BYTE> block = GetBlock(ds);
    EXPECT_EQ(1, Manager::allocated);
    SetPixelType(ds, TWPT_RGB);
    Manager::locked = 0;
    EXPECT_EQ(TWRC_SUCCESS, SetBlock(ds, block));
    EXPECT_GE(Manager::locked, 1);
    EXPECT_EQ(TWPT_GRAY, PixelType(ds));
    SetDSMMemoryFunctions(nullptr);
}

TEST_F(NotificationTest, ForeignOrDamagedBlocksAreRefused)
{
    Open(ds);
    SetPixelType(ds, TWPT_GRAY);
    const std::vector<BYTE> image = GetBlock(ds);
    ASSERT_GT(image.size(), size_t{156});
    SetPixelType(ds, TWPT_RGB);

    std::vector<BYTE> otherProduct = image;
    otherProduct[offsetof(TW_IDENTITY, ProductName) + 2] ^= 0x20;
    std::vector<BYTE> otherVersion = image;
    otherVersion[offsetof(TW_IDENTITY, Version) + offsetof(TW_VERSION, Info) + 1] ^= 0x01;
    std::vector<BYTE> otherGroups = image;
    otherGroups[offsetof(TW_IDENTITY, SupportedGroups) + 3] ^= 0x40;
    const std::vector<BYTE> headerCut(image.begin(), image.begin() + 100);
    const std::vector<BYTE> empty;

    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
        std::optional<TW_UINT32> length;
    };
    const Case cases[] = {
        {"another product name", otherProduct, {}},
        {"another version text", otherVersion, {}},
        {"other supported groups", otherGroups, {}},
        {"shorter than its identity", headerCut, {}},
        {"a whole block said to be shorter than its identity", image, 155},
        {"a whole block said to be empty", image, 0},
        {"empty", empty, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TWRC_FAILURE, SetBlock(ds, c.bytes, c.length));
        EXPECT_EQ(TWCC_BADVALUE, Status(ds));
        EXPECT_EQ(TWPT_RGB, PixelType(ds));
    }
}

// A block of global memory tells its size: an InfoLength past its end is
// refused before a byte is copied, one within it is read that far.
TEST_F(NotificationTest, AGlobalBlockIsReadOnlyWithinItsSize)
{
    Open(ds);
    SetPixelType(ds, TWPT_GRAY);
    const std::vector<BYTE> image = GetBlock(ds);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, image.size());
    std::memcpy(GlobalLock(block), image.data(), image.size());
    GlobalUnlock(block);

    struct Case {
        size_t length;
        int returnCode;
    };
    for (const Case& c : {Case{image.size() + 1, TWRC_FAILURE}, Case{image.size() + 65536, TWRC_FAILURE},
                          Case{image.size(), TWRC_SUCCESS}}) {
        SCOPED_TRACE(c.length);
        SetPixelType(ds, TWPT_RGB);
        TW_CUSTOMDSDATA data{static_cast<TW_UINT32>(c.length), block};
        EXPECT_EQ(c.returnCode, Call(ds, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &data));
        if (c.returnCode == TWRC_FAILURE) {
            EXPECT_EQ(TWCC_BADVALUE, Status(ds));
            EXPECT_EQ(TWPT_RGB, PixelType(ds));
        } else {
            EXPECT_EQ(TWPT_GRAY, PixelType(ds));
        }
    }
    GlobalFree(block);
}

// The records end where InfoLength says the block ends, whatever lies past
// it in memory; a record whose length runs past that end ends the records,
// and what came before still applies.
TEST_F(NotificationTest, RecordsAreReadOnlyWithinInfoLength)
{
    Open(ds);
    SetPixelType(ds, TWPT_GRAY);
    const std::vector<BYTE> image = GetBlock(ds);
    ASSERT_GT(image.size(), size_t{156 + 12});

    // Only the identity: the records past it are not read, so every key
    // reads as missing (0: black and white), not as the grey they hold.
    SetPixelType(ds, TWPT_RGB);
    EXPECT_EQ(TWRC_SUCCESS, SetBlock(ds, image, 156));
    EXPECT_EQ(TWPT_BW, PixelType(ds));

    // The first record's length grows far past the block.
    std::vector<BYTE> damaged = image;
    const TW_INT32 huge = 0x7FFFFFF0;
    std::memcpy(&damaged[156 + 4], &huge, 4);
    SetBlock(ds, damaged);
    SUCCEED();
}

} // namespace
} // namespace Trellis
