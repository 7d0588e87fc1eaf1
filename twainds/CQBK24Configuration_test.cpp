// The scanner's settings by key: what a save writes, in which order and
// with which types, and how a restore applies what it finds (missing or
// refused values keep the default, the filter list and its end mark, long
// documents before page sizes and frames).
#include "twainds/testing/OpenSourceTest.h"

#include "twainfw/CTWAINMemoryStorage.h"
#include "twainfw/CTWAINRegistry.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using qbk24::testing::Edges;
using qbk24::testing::Numbers;
using Trellis::CTWAINArray;
using Trellis::CTWAINMemoryStorage;
using Trellis::CTWAINOneValue;

constexpr TW_UINT32 kHeader = 156;

struct Record {
    TW_INT32 key;
    std::vector<BYTE> data;
};

// The live records of a block, in their order.
std::vector<Record> RecordsOf(HGLOBAL block)
{
    std::vector<Record> records;
    const auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
    const size_t size = GlobalSize(block);
    for (size_t at = kHeader; at + 12 <= size;) {
        TW_INT32 field[3];
        std::memcpy(field, bytes + at, sizeof(field));
        if (field[1] < 12 || at + static_cast<size_t>(field[1]) > size)
            break;
        records.push_back({field[0], std::vector<BYTE>(bytes + at + 12, bytes + at + field[1])});
        if (field[2] == 0)
            break;
        at += static_cast<size_t>(field[1]);
    }
    GlobalUnlock(block);
    return records;
}

// A memory image written by `write`, then read by a storage over it.
class Image {
public:
    template <class Write>
    explicit Image(Write write)
    {
        CTWAINMemoryStorage writer(nullptr, kHeader);
        write(static_cast<Trellis::CTWAINStorage&>(writer));
        m_block = writer.Detach();
    }
    ~Image() { GlobalFree(m_block); }
    HGLOBAL Block() const { return m_block; }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Runs `read` over a storage that leaves the block here.
    template <class Reader>
    void Read(Reader read)
    {
        CTWAINMemoryStorage reader(m_block, kHeader);
        read(static_cast<Trellis::CTWAINStorage&>(reader));
        reader.Detach();
    }

private:
    HGLOBAL m_block = nullptr;
};

class SavedSettingsTest : public qbk24::testing::OpenSourceTest {
protected:
    std::vector<double> Filters() { return Numbers(m_source.GetFilterCurrent().GetArray()); }

    void Restore(Image& image)
    {
        image.Read([&](Trellis::CTWAINStorage& storage) { m_source.RestoreConfiguration(storage); });
    }
};

// The key order and types: the framework's keys, the device's rows, the
// filter list with its end mark; each value the one its accessor answers.
TEST_F(SavedSettingsTest, SaveWritesEveryKeyInOrderWithItsType)
{
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_BRIGHTNESS, CTWAINOneValue(-250.0f)));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_JPEGQUALITY, CTWAINOneValue(65, TWTY_INT16)));
    m_source.MirrorImage = true;
    const std::string halftone = m_source.GetHalfTonesCurrent();

    enum Kind { Int, Bool, Float, String };
    struct Key {
        const char* name;
        TW_UINT16 capability;
        Kind kind;
    };
    const Key expected[] = {
        // The framework's, for what the scanner supports.
        {"capFeederEnabled", CAP_FEEDERENABLED, Bool},
        {"icapBitDepth", ICAP_BITDEPTH, Int},
        {"icapOrientation", ICAP_ORIENTATION, Int},
        {"icapPixelType", ICAP_PIXELTYPE, Int},
        {"icapSupportedSizes", ICAP_SUPPORTEDSIZES, Int},
        {"icapFrames.left", ICAP_FRAMES, Float},
        {"icapFrames.top", ICAP_FRAMES, Float},
        {"icapFrames.right", ICAP_FRAMES, Float},
        {"icapFrames.bottom", ICAP_FRAMES, Float},
        {"icapXResolution", ICAP_XRESOLUTION, Float},
        {"icapYResolution", ICAP_YRESOLUTION, Float},
        // The device's.
        {"icapBitDepthReduction", ICAP_BITDEPTHREDUCTION, Int},
        {"icapBrightness", ICAP_BRIGHTNESS, Float},
        {"icapContrast", ICAP_CONTRAST, Float},
        {"icapJPEGQuality", ICAP_JPEGQUALITY, Int},
        {"capAutoFeed", CAP_AUTOFEED, Bool},
        {"capDuplexEnabled", CAP_DUPLEXENABLED, Bool},
        {"icapAutomaticDeskew", ICAP_AUTOMATICDESKEW, Bool},
        {"icapHalfTones", ICAP_HALFTONES, String},
        {"icapNoiseFilter", ICAP_NOISEFILTER, Int},
        {"icapThreshold", ICAP_THRESHOLD, Float},
        {"custDynamicThreshold", CUSTCAP_DYNAMICTHRESHOLD, Float},
        {"custDespeckle", CUSTCAP_DESPECKLE, Int},
        {"custDespeckleValue", CUSTCAP_DESPECKLEVALUE, Float},
        {"custInvertImage", CUSTCAP_INVERTIMAGE, Bool},
        {"custMirrorImage", CUSTCAP_MIRRORIMAGE, Bool},
        {"custDoubleFeedDetection", CUSTCAP_DOUBLEFEEDDETECTION, Bool},
        {"custDoubleFeedSensitivity", CUSTCAP_DOUBLEFEEDSENSITIVITY, Int},
        {"custDoubleFeedAction", CUSTCAP_DOUBLEFEEDACTION, Int},
        {"custSkewAction", CUSTCAP_SKEWACTION, Int},
        {"custAutomaticSeparation", CUSTCAP_AUTOMATICSEPARATION, Bool},
        {"custAutoCropLength", CUSTCAP_AUTOCROPLENGTH, Bool},
        {"custAutoCropWidth", CUSTCAP_AUTOCROPWIDTH, Bool},
        {"custLongDocSupport", CUSTCAP_LONGDOCSUPPORT, Bool},
        // The filter [NONE] and its end mark.
        {"icapFilter.0", ICAP_FILTER, Int},
        {"icapFilter.1", ICAP_FILTER, Int},
    };

    Image image([&](Trellis::CTWAINStorage& storage) { m_source.SaveConfiguration(storage); });
    image.Read([&](Trellis::CTWAINStorage& storage) {
        auto& memory = static_cast<CTWAINMemoryStorage&>(storage);
        EXPECT_EQ(-250.0f, memory.ReadFloat("icapBrightness", ICAP_BRIGHTNESS));
        EXPECT_EQ(65, memory.ReadInt("icapJPEGQuality", ICAP_JPEGQUALITY));
        EXPECT_TRUE(memory.ReadBool("custMirrorImage", CUSTCAP_MIRRORIMAGE));
        EXPECT_EQ(halftone, memory.ReadString("icapHalfTones", ICAP_HALFTONES));
        EXPECT_EQ(TWFT_NONE, memory.ReadInt("icapFilter.0", ICAP_FILTER));
        EXPECT_EQ(-1, memory.ReadInt("icapFilter.1", ICAP_FILTER));
    });
    const std::vector<Record> records = RecordsOf(image.Block());

    ASSERT_EQ(std::size(expected), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const Key& key = expected[i];
        SCOPED_TRACE(key.name);
        EXPECT_EQ(CTWAINMemoryStorage::HashKey(key.name, key.capability), records[i].key);
        const size_t size = key.kind == Bool ? 1 : key.kind == String ? halftone.size() + 1 : 4;
        EXPECT_EQ(size, records[i].data.size());
    }
}

// A value that is missing, refused by its accessor or wider than its
// capability's items leaves that capability at its default; the keys after
// it still come back.
TEST_F(SavedSettingsTest, AMissingOrRefusedValueKeepsTheDefaultAndLaterKeysStillApply)
{
    // Before the restore, nothing at its default.
    const std::vector<std::string> halftones = [&] {
        std::vector<std::string> names;
        for (const CTWAINOneValue& item : Ask(ICAP_HALFTONES, MSG_GET).GetEnumeration().m_List)
            names.push_back(item.GetText());
        return names;
    }();
    ASSERT_GE(halftones.size(), 2u);
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_HALFTONES, CTWAINOneValue(halftones[1], TWTY_STR32)));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_CONTRAST, CTWAINOneValue(300.0f)));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_JPEGQUALITY, CTWAINOneValue(40, TWTY_INT16)));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(CUSTCAP_DESPECKLE, CTWAINOneValue(static_cast<TW_UINT16>(0))));
    ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_FILTER, CTWAINOneValue(static_cast<TW_UINT16>(TWFT_RED))));
    m_source.InvertImage = true;

    Trellis::CTWAINRegistry registry(HKEY_CURRENT_USER);
    registry.Open("SOFTWARE\\Saved Settings Test");
    registry.WriteFloat("icapBrightness", 120.0f, ICAP_BRIGHTNESS);
    // No "icapContrast".
    registry.WriteInt("icapJPEGQuality", 150, ICAP_JPEGQUALITY); // outside 0..100
    registry.WriteString("icapHalfTones", "No Such Pattern", ICAP_HALFTONES);
    registry.WriteInt("custDespeckle", 0x10000, CUSTCAP_DESPECKLE); // not a 16-bit item
    // No "custInvertImage".
    registry.WriteBool("custMirrorImage", true, CUSTCAP_MIRRORIMAGE);
    registry.WriteInt("custDoubleFeedSensitivity", 2, CUSTCAP_DOUBLEFEEDSENSITIVITY);
    registry.WriteBool("custAutoCropWidth", true, CUSTCAP_AUTOCROPWIDTH);
    m_source.RestoreConfiguration(registry);
    registry.Close();

    EXPECT_EQ(120.0, Current(ICAP_BRIGHTNESS));
    EXPECT_EQ(0.0, Current(ICAP_CONTRAST));
    EXPECT_EQ(80.0, Current(ICAP_JPEGQUALITY));
    EXPECT_EQ(halftones[0], m_source.GetHalfTonesCurrent());
    EXPECT_EQ(1, m_source.GetDespeckleCurrent());
    EXPECT_FALSE(m_source.InvertImage);
    EXPECT_TRUE(m_source.MirrorImage);
    EXPECT_EQ(2, m_source.GetDoubleFeedSensitivityCurrent());
    EXPECT_TRUE(m_source.AutoCropWidth);
    // No filter keys: the filter is back at its reset value.
    EXPECT_EQ(std::vector<double>{TWFT_NONE}, Filters());
}

std::string FilterKey(size_t index) { return "icapFilter." + std::to_string(index); }

// The filter list as keys: [NONE] saves as 3 and the end mark -1; a list
// comes back up to its end mark without repeated items, and an image that
// lacks the end mark ends at the first missing index.
TEST_F(SavedSettingsTest, FilterListsComeBackUpToTheirEndMark)
{
    Image saved([&](Trellis::CTWAINStorage& storage) { m_source.SaveConfiguration(storage); });
    saved.Read([&](Trellis::CTWAINStorage& storage) {
        auto& memory = static_cast<CTWAINMemoryStorage&>(storage);
        EXPECT_EQ(TWFT_NONE, memory.ReadInt(FilterKey(0), ICAP_FILTER));
        EXPECT_EQ(-1, memory.ReadInt(FilterKey(1), ICAP_FILTER));
        EXPECT_FALSE(memory.Contains(FilterKey(2), ICAP_FILTER));
    });

    struct Case {
        const char* what;
        std::vector<TW_INT32> stored;
        std::vector<double> restored;
    };
    const Case cases[] = {
        {"red twice and the end mark", {TWFT_RED, TWFT_RED, -1}, {TWFT_RED}},
        {"no end mark", {TWFT_RED, TWFT_GREEN}, {TWFT_RED, TWFT_GREEN}},
        {"items after the end mark", {TWFT_BLUE, -1, TWFT_RED}, {TWFT_BLUE}},
        {"nothing stored", {}, {TWFT_NONE}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CTWAINArray greenAndBlue = [] {
            CTWAINArray list;
            list.Append(CTWAINOneValue(static_cast<TW_UINT16>(TWFT_GREEN)));
            list.Append(CTWAINOneValue(static_cast<TW_UINT16>(TWFT_BLUE)));
            return list;
        }();
        m_source.SetFilterArray(greenAndBlue);
        Image image([&](Trellis::CTWAINStorage& storage) {
            for (size_t i = 0; i < c.stored.size(); ++i)
                storage.WriteInt(FilterKey(i), c.stored[i], ICAP_FILTER);
        });
        Restore(image);
        EXPECT_EQ(c.restored, Filters());
    }
}

// Long documents come back first: the physical height they allow lets the
// frame that the framework's keys restore be longer than a normal page.
TEST_F(SavedSettingsTest, LongDocumentSupportComesBackBeforeSizesAndFrames)
{
    for (bool longDocuments : {false, true}) {
        SCOPED_TRACE(longDocuments ? "long documents" : "normal pages");
        Image image([&](Trellis::CTWAINStorage& storage) {
            storage.WriteInt("icapSupportedSizes", TWSS_NONE, ICAP_SUPPORTEDSIZES);
            storage.WriteFloat("icapFrames.left", 0, ICAP_FRAMES);
            storage.WriteFloat("icapFrames.top", 0, ICAP_FRAMES);
            storage.WriteFloat("icapFrames.right", 8.5f, ICAP_FRAMES);
            storage.WriteFloat("icapFrames.bottom", 40, ICAP_FRAMES);
            storage.WriteBool("custLongDocSupport", longDocuments, CUSTCAP_LONGDOCSUPPORT);
        });
        m_source.LongDocument = !longDocuments;
        Restore(image);
        EXPECT_EQ(longDocuments, m_source.LongDocument);
        const std::vector<double> edges = Edges(Ask(ICAP_FRAMES, MSG_GETCURRENT).GetOneValue().Frame);
        EXPECT_EQ(longDocuments ? 40.0 : 17.0, edges[3]);
    }
}

} // namespace
