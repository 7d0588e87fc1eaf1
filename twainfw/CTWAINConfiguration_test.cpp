// Saving and restoring the user's settings through both stores.
#include "twainfw/CTWAINDataSource.h"

#include "platform/testing/TempSystemRoot.h"
#include "twainfw/CTWAINMemoryStorage.h"
#include "twainfw/CTWAINRegistry.h"
#include "twainfw/FixedPoint.h"
#include "twainfw/TestDataSource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>

namespace Trellis {
namespace {

using testing::TestDataSource;

// A device with a feeder, an endorser and automatic brightness, each a
// plain member; it notes which setters ran.
class FeederSource : public TestDataSource {
public:
    FeederSource() { ExtraCaps = {CAP_FEEDERENABLED, CAP_ENDORSER, ICAP_AUTOBRIGHT}; }
    bool GetFeederEnabledCurrent() override { return Feeder; }
    void SetFeederEnabledCurrent(bool value) override { Feeder = value; }
    bool ResetFeederEnabled() override { return Feeder = true; }
    TW_UINT32 GetEndorserCurrent() override { return Endorser; }
    void SetEndorserCurrent(TW_UINT32 value) override { Endorser = value; }
    TW_UINT32 ResetEndorser() override { return Endorser = 1; }
    bool GetAutoBrightCurrent() override { return AutoBright; }
    void SetAutoBrightCurrent(bool value) override
    {
        AutoBright = value;
        Log.push_back("auto bright set");
    }
    bool ResetAutoBright() override { return AutoBright = false; }

    bool Feeder = true;
    TW_UINT32 Endorser = 1;
    bool AutoBright = false;
};

// The keys of a block's records in their order, after a header.
std::vector<TW_INT32> RecordKeys(HGLOBAL hBlock, size_t header)
{
    std::vector<TW_INT32> keys;
    const BYTE* data = static_cast<const BYTE*>(GlobalLock(hBlock));
    size_t offset = header;
    for (;;) {
        TW_INT32 fields[3];
        std::memcpy(fields, data + offset, sizeof(fields));
        keys.push_back(fields[0]);
        if (fields[2] == 0)
            break;
        offset += static_cast<size_t>(fields[1]);
    }
    GlobalUnlock(hBlock);
    return keys;
}

void ExpectFrame(const CTWAINFrame& actual, float left, float top, float right, float bottom)
{
    EXPECT_NEAR(left, Fix32ToFloat(actual.Left), 1e-3);
    EXPECT_NEAR(top, Fix32ToFloat(actual.Top), 1e-3);
    EXPECT_NEAR(right, Fix32ToFloat(actual.Right), 1e-3);
    EXPECT_NEAR(bottom, Fix32ToFloat(actual.Bottom), 1e-3);
}

class ConfigurationTest : public ::testing::Test {
protected:
    void Open(TestDataSource& source)
    {
        source.Init(nullptr);
        TW_IDENTITY assigned = source.GetIdentity();
        TW_IDENTITY app{};
        app.Id = 42;
        ASSERT_EQ(TWRC_SUCCESS, source.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned));
    }

    // A registry storage at the test key, holding just these values.
    std::unique_ptr<CTWAINRegistry> Key(const std::function<void(CTWAINRegistry&)>& fill)
    {
        auto registry = std::make_unique<CTWAINRegistry>(HKEY_CURRENT_USER);
        RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\Test Maker");
        registry->Open("SOFTWARE\\Test Maker\\Test Scanner\\5.0");
        fill(*registry);
        return registry;
    }

    plat::testing::TempSystemRoot root;
};

TEST_F(ConfigurationTest, SavingWritesTheSupportedKeysInTheirOrder)
{
    FeederSource source;
    Open(source);
    source.SetPixelTypeCurrent(TWPT_GRAY);
    source.SetBitDepthCurrent(4);
    source.Feeder = false;
    source.Endorser = 77;
    source.SetXResolutionCurrent(300);
    source.SetFramesCurrent(CTWAINFrame(1, 2, 3, 4));

    CTWAINMemoryStorage storage(nullptr, 156);
    source.SaveConfiguration(storage);
    EXPECT_EQ(77, storage.ReadInt("capEndorser", CAP_ENDORSER));
    EXPECT_FALSE(storage.ReadBool("capFeederEnabled", CAP_FEEDERENABLED));
    EXPECT_EQ(4, storage.ReadInt("icapBitDepth", ICAP_BITDEPTH));
    EXPECT_EQ(TWPT_GRAY, storage.ReadInt("icapPixelType", ICAP_PIXELTYPE));
    EXPECT_EQ(3.0f, storage.ReadFloat("icapFrames.right", ICAP_FRAMES));
    EXPECT_EQ(300.0f, storage.ReadFloat("icapXResolution", ICAP_XRESOLUTION));

    HGLOBAL hBlock = storage.Detach();
    // clang-format off
    const std::pair<const char*, TW_UINT16> order[] = {
        {"capEndorser", CAP_ENDORSER},           {"capFeederEnabled", CAP_FEEDERENABLED},
        {"icapAutoBright", ICAP_AUTOBRIGHT},     {"icapBitDepth", ICAP_BITDEPTH},
        {"icapOrientation", ICAP_ORIENTATION},   {"icapPixelType", ICAP_PIXELTYPE},
        {"icapSupportedSizes", ICAP_SUPPORTEDSIZES}, {"icapFrames.left", ICAP_FRAMES},
        {"icapFrames.top", ICAP_FRAMES},         {"icapFrames.right", ICAP_FRAMES},
        {"icapFrames.bottom", ICAP_FRAMES},      {"icapXResolution", ICAP_XRESOLUTION},
        {"icapYResolution", ICAP_YRESOLUTION},
    };
    // clang-format on
    std::vector<TW_INT32> expected;
    for (const auto& [name, id] : order)
        expected.push_back(CTWAINMemoryStorage::HashKey(name, id));
    EXPECT_EQ(expected, RecordKeys(hBlock, 156));
    GlobalFree(hBlock);
}

TEST_F(ConfigurationTest, NothingSupportedMeansNothingWritten)
{
    class Bare : public TestDataSource {
    public:
        void InitSupportedCaps(CTWAINArray& caps) override { caps.Clear(); }
    };
    Bare bare;
    Open(bare);
    CTWAINMemoryStorage storage(nullptr, 156);
    bare.SaveConfiguration(storage);
    EXPECT_EQ(nullptr, storage.Detach());
}

TEST_F(ConfigurationTest, SettingsComeBackThroughTheMemoryBlock)
{
    FeederSource saved;
    Open(saved);
    saved.SetPixelTypeCurrent(TWPT_RGB);
    saved.SetYResolutionCurrent(100);
    saved.SetOrientationCurrent(TWOR_LANDSCAPE);
    saved.Feeder = false;
    saved.Endorser = 5;
    saved.AutoBright = true;
    saved.SetFramesCurrent(CTWAINFrame(0.5f, 1, 4, 6));
    CTWAINMemoryStorage out(nullptr, 156);
    saved.SaveConfiguration(out);
    HGLOBAL hBlock = out.Detach();

    FeederSource restored;
    Open(restored);
    CTWAINMemoryStorage in(hBlock, 156);
    restored.RestoreConfiguration(in);
    in.Detach();
    GlobalFree(hBlock);

    EXPECT_EQ(TWPT_RGB, restored.GetPixelTypeCurrent());
    EXPECT_EQ(24, restored.GetBitDepthCurrent());
    EXPECT_FLOAT_EQ(100, restored.GetYResolutionValue());
    EXPECT_FLOAT_EQ(200, restored.GetXResolutionValue());
    EXPECT_EQ(TWOR_LANDSCAPE, restored.GetOrientationCurrent());
    EXPECT_FALSE(restored.Feeder);
    EXPECT_EQ(5u, restored.Endorser);
    ExpectFrame(restored.GetFramesCurrent(), 0.5f, 1, 4, 6);
    // Saved, but never read back.
    EXPECT_FALSE(restored.AutoBright);
    EXPECT_EQ(std::find(restored.Log.begin(), restored.Log.end(), "auto bright set"), restored.Log.end());
}

TEST_F(ConfigurationTest, AKeyHoldingOnlyThePixelTypeResetsTheRest)
{
    FeederSource source;
    Open(source);
    source.SetOrientationCurrent(TWOR_LANDSCAPE);
    source.SetXResolutionCurrent(300);
    source.Feeder = false;
    source.SetFramesCurrent(CTWAINFrame(1, 1, 2, 2));

    auto registry = Key([](CTWAINRegistry& key) { key.WriteInt("icapPixelType", TWPT_GRAY, 0); });
    source.RestoreConfiguration(*registry);
    EXPECT_EQ(TWPT_GRAY, source.GetPixelTypeCurrent());
    EXPECT_EQ(8, source.GetBitDepthCurrent());
    EXPECT_EQ(TWOR_ROT0, source.GetOrientationCurrent());
    EXPECT_FLOAT_EQ(200, source.GetXResolutionValue());
    EXPECT_TRUE(source.Feeder);
    // The first frame key is missing: the frame stays as the resets left it.
    ExpectFrame(source.GetFramesCurrent(), 1, 1, 2, 2);
}

TEST_F(ConfigurationTest, RestoredFramesAreInchesWhateverTheUnitNow)
{
    TestDataSource source;
    Open(source);
    source.SetUnitsCurrent(TWUN_CENTIMETERS);
    auto registry = Key([](CTWAINRegistry& key) {
        key.WriteInt("icapSupportedSizes", TWSS_NONE, 0);
        key.WriteFloat("icapFrames.left", 0, 0);
        key.WriteFloat("icapFrames.top", 0, 0);
        key.WriteFloat("icapFrames.right", 8.5f, 0);
        key.WriteFloat("icapFrames.bottom", 11, 0);
    });
    source.RestoreConfiguration(*registry);
    ExpectFrame(source.GetFramesCurrent(), 0, 0, 21.59f, 27.94f);
}

TEST_F(ConfigurationTest, APageSizeSetsTheFrameAndTheFrameKeysAreNotRead)
{
    TestDataSource source;
    Open(source);
    auto registry = Key([](CTWAINRegistry& key) {
        key.WriteInt("icapSupportedSizes", TWSS_USLETTER, 0);
        key.WriteFloat("icapFrames.left", 1, 0);
        key.WriteFloat("icapFrames.top", 1, 0);
        key.WriteFloat("icapFrames.right", 2, 0);
        key.WriteFloat("icapFrames.bottom", 2, 0);
    });
    source.RestoreConfiguration(*registry);
    EXPECT_EQ(TWSS_USLETTER, source.GetSupportedSizesCurrent());
    ExpectFrame(source.GetFramesCurrent(), 0, 0, 8.5f, 11);
}

TEST_F(ConfigurationTest, SettingsSavedInPixelsOrCentimetresMeanTheSameLater)
{
    TestDataSource saved;
    Open(saved);
    saved.SetXResolutionCurrent(300);
    saved.SetYResolutionCurrent(300);
    saved.SetFramesCurrent(CTWAINFrame(1, 1, 5, 7));
    saved.SetUnitsCurrent(TWUN_PIXELS);
    auto registry = Key([&](CTWAINRegistry& key) { saved.SaveConfiguration(key); });
    EXPECT_EQ(5.0f, registry->ReadFloat("icapFrames.right", 0));
    EXPECT_EQ(300.0f, registry->ReadFloat("icapXResolution", 0));

    TestDataSource restored;
    Open(restored);
    restored.SetUnitsCurrent(TWUN_CENTIMETERS);
    restored.RestoreConfiguration(*registry);
    EXPECT_FLOAT_EQ(300, restored.GetXResolutionValue());
    restored.SetUnitsCurrent(TWUN_INCHES);
    ExpectFrame(restored.GetFramesCurrent(), 1, 1, 5, 7);
}

// A store whose every read fails in a way that is not the framework's.
class FailingStorage : public CTWAINMemoryStorage {
public:
    FailingStorage() : CTWAINMemoryStorage(nullptr, 0) {}
    TW_INT32 ReadInt(const std::string&, TW_UINT32) override { throw std::bad_alloc(); }
};

TEST_F(ConfigurationTest, OnlyTheFrameworksOwnFailuresArePassedOver)
{
    TestDataSource source;
    Open(source);
    FailingStorage failing;
    EXPECT_THROW(source.RestoreConfiguration(failing), std::bad_alloc);

    // A failing reset ends the restore.
    class BadReset : public TestDataSource {
    public:
        TW_UINT16 ResetPixelType() override { ThrowFailure(TWCC_BUMMER); }
    };
    BadReset bad;
    bad.Init(nullptr);
    bad.FillSupportedCaps();
    CTWAINMemoryStorage empty(nullptr, 0);
    EXPECT_THROW(bad.RestoreConfiguration(empty), CTWAINFailureException);
}

} // namespace
} // namespace Trellis
