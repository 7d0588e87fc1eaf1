// Notifications reaching the manager's entry point, the settings under the
// source's registry key, and the custom data block an application keeps.
#include "twainfw/CTWAINDataSource.h"

#include "platform/testing/TempSystemRoot.h"
#include "twainfw/DSMEntry.h"
#include "twainfw/TWAINMemory.h"
#include "twainfw/TestDataSource.h"

#include <gtest/gtest.h>

#include <cstring>
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
    Received().push_back(Notification{origin ? TW_UINT32{origin->Id} : 0xFFFFFFFFu,
                                      origin ? std::string(origin->ProductName) : std::string(),
                                      destination ? TW_UINT32{destination->Id} : 0xFFFFFFFFu, dg, dat, msg,
                                      data == nullptr});
    return TWRC_FAILURE;  // ignored by the source
}

class NotifySource : public testing::TestDataSource {
public:
    bool BeginAcquisition(TW_IMAGEINFO* info) override
    {
        return Acquire && CTWAINDataSource::BeginAcquisition(info);
    }
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
        TW_CAPABILITY capability{ICAP_PIXELTYPE, TWON_ONEVALUE,
                                 CTWAINContainer(CTWAINOneValue(pixelType)).ToHandle()};
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

    // The block of MSG_GET, which the test then owns.
    TW_HANDLE GetBlock(CTWAINDataSource& source)
    {
        TW_CUSTOMDSDATA data{};
        EXPECT_EQ(TWRC_SUCCESS, Call(source, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, &data));
        EXPECT_EQ(GlobalSize(data.hData), SIZE_T{data.InfoLength});
        return data.hData;
    }

    // MSG_SET; the block must come back unlocked and unfreed.
    int SetBlock(CTWAINDataSource& source, TW_HANDLE block)
    {
        TW_CUSTOMDSDATA data{};
        data.InfoLength = static_cast<TW_UINT32>(GlobalSize(block));
        data.hData = block;
        const int rc = Call(source, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &data);
        EXPECT_EQ(0u, GlobalFlags(block) & (GMEM_INVALID_HANDLE | GMEM_LOCKCOUNT)) << "the block is left locked or freed";
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
    TW_HANDLE block = GetBlock(ds);
    ASSERT_NE(nullptr, block);

    // The head is the source's identity, Id cleared though the manager gave 77.
    ASSERT_GE(GlobalSize(block), SIZE_T{156});
    TW_IDENTITY expected = ds.GetIdentity();
    ASSERT_EQ(77u, TW_UINT32{expected.Id});
    expected.Id = 0;
    void* data = GlobalLock(block);
    EXPECT_EQ(0, std::memcmp(data, &expected, 156));
    GlobalUnlock(block);

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
    TW_CUSTOMDSDATA set{static_cast<TW_UINT32>(GlobalSize(block)), block};
    EXPECT_EQ(TWRC_SUCCESS, other.Dispatch(&otherApp, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &set));
    TW_CAPABILITY capability{ICAP_PIXELTYPE, TWON_DONTCARE16, nullptr};
    ASSERT_EQ(TWRC_SUCCESS, other.Dispatch(&otherApp, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &capability));
    EXPECT_EQ(TWPT_GRAY, CTWAINContainer(capability).GetOneValue().GetUInt16());
    TWAINFreeHandle(capability.hContainer);

    EXPECT_EQ(0u, GlobalFlags(block) & (GMEM_INVALID_HANDLE | GMEM_LOCKCOUNT));
    GlobalFree(block);
}

TEST_F(NotificationTest, ForeignOrDamagedBlocksAreRefused)
{
    Open(ds);
    SetPixelType(ds, TWPT_GRAY);
    TW_HANDLE good = GetBlock(ds);
    ASSERT_NE(nullptr, good);
    const SIZE_T goodSize = GlobalSize(good);
    std::vector<BYTE> image(goodSize);
    std::memcpy(image.data(), GlobalLock(good), goodSize);
    GlobalUnlock(good);
    GlobalFree(good);
    SetPixelType(ds, TWPT_RGB);

    auto makeBlock = [](const std::vector<BYTE>& bytes) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
        if (!bytes.empty())
            std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
        return block;
    };
    std::vector<BYTE> otherProduct = image;
    otherProduct[offsetof(TW_IDENTITY, ProductName) + 2] ^= 0x20;
    std::vector<BYTE> otherVersion = image;
    otherVersion[offsetof(TW_IDENTITY, Version) + offsetof(TW_VERSION, Info) + 1] ^= 0x01;
    const std::vector<BYTE> headerCut(image.begin(), image.begin() + 100);
    const std::vector<BYTE> empty;

    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
    };
    const Case cases[] = {
        {"another product name", otherProduct},
        {"another version text", otherVersion},
        {"shorter than its identity", headerCut},
        {"empty", empty},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HGLOBAL block = makeBlock(c.bytes);
        EXPECT_EQ(TWRC_FAILURE, SetBlock(ds, block));
        EXPECT_EQ(TWCC_BADVALUE, Status(ds));
        EXPECT_EQ(TWPT_RGB, PixelType(ds));
        GlobalFree(block);
    }
}

// A record whose length runs past the block ends the records; nothing past
// the block is read, and what came before still applies.
TEST_F(NotificationTest, RecordsRunningPastTheBlockEndTheRestore)
{
    Open(ds);
    SetPixelType(ds, TWPT_GRAY);
    TW_HANDLE good = GetBlock(ds);
    ASSERT_NE(nullptr, good);
    const SIZE_T size = GlobalSize(good);
    std::vector<BYTE> image(size);
    std::memcpy(image.data(), GlobalLock(good), size);
    GlobalUnlock(good);
    GlobalFree(good);
    ASSERT_GT(size, SIZE_T{156 + 12});
    // The first record's length grows far past the block.
    const TW_INT32 huge = 0x7FFFFFF0;
    std::memcpy(&image[156 + 4], &huge, 4);

    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(block), image.data(), size);
    GlobalUnlock(block);
    SetBlock(ds, block);
    GlobalFree(block);
    SUCCEED();
}

} // namespace
} // namespace Trellis
