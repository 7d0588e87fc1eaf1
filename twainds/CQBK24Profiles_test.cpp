// Profiles: the settings image in a file and through DAT_CUSTOMDSDATA, the
// identity that keeps another device's profile out, and files that are
// not whole images.
#include "twainds/testing/OpenSourceTest.h"

#include "twainfw/CountingManagerMemory.h"
#include "twainfw/TWAINException.h"

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Trellis::CTWAINOneValue;

std::vector<BYTE> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::vector<BYTE>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

using Manager = Trellis::testing::CountingManagerMemory;

class ProfileTest : public qbk24::testing::OpenSourceTest {
protected:
    void SetUp() override
    {
        OpenSourceTest::SetUp();
        char appData[MAX_PATH] = {};
        ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA | CSIDL_FLAG_CREATE, TRUE));
        // The profile folder as the profiles page builds it.
        m_folder = std::string(appData) + "\\Quorvant\\QBK24_TWAIN\\";
        ASSERT_TRUE(plat::CreatePrivateFolder(plat::LinuxPath(m_folder)));
    }

    // Nothing at its default.
    void ChangeSettings()
    {
        ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_PIXELTYPE, CTWAINOneValue(static_cast<TW_UINT16>(TWPT_GRAY))));
        ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_BRIGHTNESS, CTWAINOneValue(250.0f)));
        ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_JPEGQUALITY, CTWAINOneValue(65, TWTY_INT16)));
        ASSERT_EQ(TWRC_SUCCESS, SetOne(CAP_DUPLEXENABLED, CTWAINOneValue(true, TWTY_BOOL)));
        ASSERT_EQ(TWRC_SUCCESS, SetOne(ICAP_FILTER, CTWAINOneValue(static_cast<TW_UINT16>(TWFT_RED))));
        ASSERT_EQ(TWRC_SUCCESS, SetOne(CUSTCAP_DYNAMICTHRESHOLD, CTWAINOneValue(12.0f)));
        m_source.InvertImage = true;
        m_source.LongDocument = true;
    }

    void ResetSettings() { ASSERT_TRUE(m_source.InitializeCapabilities()); }

    std::string ProfilePath(const std::string& name) { return m_folder + name + ".bin"; }

    std::string m_folder;
};

// A profile is the custom data block byte for byte, headed by the source's
// identity with Id 0 and DF_DS2 among its groups; both bring every setting
// back, the block through the manager's memory.
TEST_F(ProfileTest, SettingsRoundTripThroughAFileAndTheCustomData)
{
    TW_ENTRYPOINT entry = Manager::EntryPoint();
    ASSERT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry));

    ChangeSettings();
    const std::vector<BYTE> changed = Settings();
    Manager::allocated = 0;
    TW_CUSTOMDSDATA custom{};
    ASSERT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, &custom));
    EXPECT_EQ(1, Manager::allocated);
    const auto* bytes = static_cast<const BYTE*>(custom.hData);
    const std::vector<BYTE> block(bytes, bytes + custom.InfoLength);

    const std::string path = ProfilePath("Office");
    ASSERT_NO_THROW(m_source.SaveProfile(path.c_str()));
    const std::vector<BYTE> file = ReadFile(plat::LinuxPath(path));
    EXPECT_EQ(block, file);
    ASSERT_GT(file.size(), sizeof(TW_IDENTITY));
    TW_IDENTITY head;
    std::memcpy(&head, file.data(), sizeof(head));
    EXPECT_EQ(0u, TW_UINT32{head.Id});
    EXPECT_EQ(0x40000003u, TW_UINT32{head.SupportedGroups});

    ResetSettings();
    ASSERT_NE(changed, Settings());
    ASSERT_NO_THROW(m_source.LoadProfile(path.c_str()));
    EXPECT_EQ(changed, Settings());

    ResetSettings();
    ASSERT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &custom));
    EXPECT_EQ(changed, Settings());
    Manager::Free(custom.hData);
    Trellis::SetDSMMemoryFunctions(nullptr);
}

// The image's head, field by field at its offset: the source's identity
// with Id 0, each text NUL-terminated with zeros after it. Profiles and the
// custom data carry the same head.
TEST_F(ProfileTest, EveryImageStartsWithTheSourcesIdentityRecord)
{
    CloseSource();
    m_source.FriendlyName = "Quillbox K24";
    m_source.FileVersion = "5.0.0.1";
    ASSERT_TRUE(m_source.Trellis::CTWAINDataSource::Init(nullptr));
    ASSERT_EQ(TWRC_SUCCESS, OpenSource());

    auto word = [](unsigned value) { return std::vector<BYTE>{BYTE(value), BYTE(value >> 8)}; };
    auto dword = [](unsigned value) {
        return std::vector<BYTE>{BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
    };
    auto text = [](const char* value) {
        std::vector<BYTE> field(34, 0);
        std::memcpy(field.data(), value, std::strlen(value));
        return field;
    };
    struct Field {
        const char* name;
        size_t offset;
        std::vector<BYTE> bytes;
    };
    const Field fields[] = {
        {"Id", 0, dword(0)},
        {"Version.MajorNum", 4, word(5)},
        {"Version.MinorNum", 6, word(0)},
        {"Version.Language", 8, word(13)},
        {"Version.Country", 10, word(1)},
        {"Version.Info", 12, text("5.0.0.1")},
        // The framework's Init gives every source protocol 2.0 after the
        // device's 1.9.
        {"ProtocolMajor", 46, word(2)},
        {"ProtocolMinor", 48, word(0)},
        // DG_CONTROL | DG_IMAGE, and DF_DS2 for the Linux manager.
        {"SupportedGroups", 50, dword(0x40000003)},
        {"Manufacturer", 54, text("Quorvant")},
        {"ProductFamily", 88, text("Quillbox")},
        {"ProductName", 122, text("Quillbox K24")},
    };

    const std::string path = ProfilePath("Head");
    ASSERT_NO_THROW(m_source.SaveProfile(path.c_str()));
    TW_CUSTOMDSDATA custom{};
    ASSERT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, &custom));
    const auto* customBytes = static_cast<const BYTE*>(custom.hData);
    const struct {
        const char* what;
        std::vector<BYTE> image;
    } images[] = {
        {"profile file", ReadFile(plat::LinuxPath(path))},
        {"custom data", std::vector<BYTE>(customBytes, customBytes + custom.InfoLength)},
    };
    Trellis::TWAINFreeHandle(custom.hData);
    for (const auto& image : images) {
        ASSERT_GT(image.image.size(), size_t{156}) << image.what;
        size_t covered = 0;
        for (const Field& field : fields) {
            const std::vector<BYTE> found(image.image.begin() + static_cast<long>(field.offset),
                                          image.image.begin() + static_cast<long>(field.offset + field.bytes.size()));
            EXPECT_EQ(field.bytes, found) << image.what << ": " << field.name;
            covered += field.bytes.size();
        }
        EXPECT_EQ(size_t{156}, covered);
    }
}

// Builds before the identity gave language 13 wrote 2 there. Their images
// still load; an image that differs in anything else, or that carries any
// other language, does not.
TEST_F(ProfileTest, ImagesOfEarlierBuildsWithTheirLanguageStillLoad)
{
    ChangeSettings();
    const std::string path = ProfilePath("Earlier");
    ASSERT_NO_THROW(m_source.SaveProfile(path.c_str()));
    const std::vector<BYTE> saved = ReadFile(plat::LinuxPath(path));
    const size_t language = offsetof(TW_IDENTITY, Version) + offsetof(TW_VERSION, Language);
    const size_t productName = offsetof(TW_IDENTITY, ProductName);
    ASSERT_EQ(13, saved[language] | saved[language + 1] << 8);

    auto withLanguage = [&](BYTE value) {
        std::vector<BYTE> image = saved;
        image[language] = value;
        return image;
    };
    std::vector<BYTE> earlierOtherDevice = withLanguage(TWLG_ENGLISH);
    earlierOtherDevice[productName] ^= 0x20;
    struct Case {
        const char* what;
        std::vector<BYTE> image;
        bool loads;
    };
    const Case cases[] = {
        {"language 2", withLanguage(TWLG_ENGLISH), true},
        {"language 2 of another device", earlierOtherDevice, false},
        {"language 0", withLanguage(TWLG_DANISH), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(plat::LinuxPath(path), c.image);
        ResetSettings();
        const std::vector<BYTE> before = Settings();
        if (c.loads) {
            EXPECT_NO_THROW(m_source.LoadProfile(path.c_str()));
            EXPECT_EQ(250.0, Current(ICAP_BRIGHTNESS));
        } else {
            EXPECT_THROW(m_source.LoadProfile(path.c_str()), Trellis::CTWAINFailureException);
            EXPECT_EQ(before, Settings());
        }

        // The same image handed over as custom data, which stays as it was.
        ResetSettings();
        std::vector<BYTE> block = c.image;
        TW_CUSTOMDSDATA custom{static_cast<TW_UINT32>(block.size()), block.data()};
        EXPECT_EQ(c.loads ? TWRC_SUCCESS : TWRC_FAILURE,
                  m_source.Dispatch(&m_app, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &custom));
        EXPECT_EQ(c.image, block);
        if (c.loads)
            EXPECT_EQ(250.0, Current(ICAP_BRIGHTNESS));
        else
            EXPECT_EQ(before, Settings());
    }
}

// A profile saved by the source of a device with another friendly name is
// refused, and no setting changes; one of the same name loads.
TEST_F(ProfileTest, AProfileOfAnotherDeviceChangesNothing)
{
    struct Case {
        const char* friendlyName;
        bool loads;
    };
    const TW_IDENTITY own = m_source.GetIdentity();
    const Case cases[] = {{own.ProductName, true}, {"Quillbox K24 #2", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.friendlyName);
        qbk24::testing::TestDataSource other;
        other.FriendlyName = c.friendlyName;
        ASSERT_TRUE(other.Trellis::CTWAINDataSource::Init(nullptr));
        ASSERT_TRUE(other.InitializeCapabilities());
        other.SetBrightnessCurrent(500.0f);
        const std::string path = ProfilePath(c.loads ? "Same" : "Other");
        ASSERT_NO_THROW(other.SaveProfile(path.c_str()));

        ResetSettings();
        const std::vector<BYTE> before = Settings();
        if (c.loads) {
            EXPECT_NO_THROW(m_source.LoadProfile(path.c_str()));
            EXPECT_EQ(500.0, Current(ICAP_BRIGHTNESS));
        } else {
            EXPECT_THROW(m_source.LoadProfile(path.c_str()), Trellis::CTWAINFailureException);
            EXPECT_EQ(before, Settings());
        }
    }
}

// The identity a manager passes at MSG_OPENDS is its copy, with whatever
// its memory held after each text's NUL; the image's head is the source's
// fields with zeros there, so profiles load across such sessions.
TEST_F(ProfileTest, BytesAfterTheIdentityTextsDoNotMatter)
{
    ChangeSettings();
    const std::string path = ProfilePath("Session");
    ASSERT_NO_THROW(m_source.SaveProfile(path.c_str()));
    const std::vector<BYTE> saved = ReadFile(plat::LinuxPath(path));

    qbk24::testing::TestDataSource other;
    other.HalClsid = kFakeHalClsid;
    ASSERT_TRUE(other.Trellis::CTWAINDataSource::Init(nullptr));
    TW_IDENTITY copy = other.GetIdentity();
    copy.Id = 5;
    for (char* text : {copy.Version.Info, copy.Manufacturer, copy.ProductFamily, copy.ProductName}) {
        const size_t length = std::strlen(text);
        std::memset(text + length + 1, 0xCC, sizeof(TW_STR32) - length - 1);
    }
    TW_IDENTITY app = m_app;
    app.Id = 9;
    ASSERT_EQ(TWRC_SUCCESS, other.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &copy));

    EXPECT_NO_THROW(other.LoadProfile(path.c_str()));
    EXPECT_EQ(250.0f, other.GetBrightnessCurrent());
    const std::string again = ProfilePath("Session again");
    ASSERT_NO_THROW(other.SaveProfile(again.c_str()));
    EXPECT_EQ(saved, ReadFile(plat::LinuxPath(again)));

    TW_IDENTITY identity = other.GetIdentity();
    EXPECT_EQ(TWRC_SUCCESS, other.Dispatch(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity));
}

// Files that are not a whole image are refused before anything is
// applied: nothing past the file's end is read, and no setting changes.
TEST_F(ProfileTest, FilesThatAreNoWholeImageAreRefused)
{
    ChangeSettings();
    const std::string path = ProfilePath("Whole");
    ASSERT_NO_THROW(m_source.SaveProfile(path.c_str()));
    const std::vector<BYTE> whole = ReadFile(plat::LinuxPath(path));
    const size_t head = sizeof(TW_IDENTITY);
    ASSERT_GT(whole.size(), head + 24);
    TW_INT32 firstLength;
    std::memcpy(&firstLength, &whole[head + 4], 4);

    auto cut = [&](size_t size) { return std::vector<BYTE>(whole.begin(), whole.begin() + static_cast<long>(size)); };
    std::vector<BYTE> runsPast = whole;
    const TW_INT32 farPast = 0x7FFFFFF0;
    std::memcpy(&runsPast[head + 4], &farPast, 4);
    std::vector<BYTE> tooShortRecord = whole;
    const TW_INT32 eleven = 11;
    std::memcpy(&tooShortRecord[head + 4], &eleven, 4);
    // Zeros after the last record mean nothing (a block may be sized
    // larger), but no profile is megabytes long.
    std::vector<BYTE> padded = whole;
    padded.resize(whole.size() + 64);
    std::vector<BYTE> huge = whole;
    huge.resize(2u << 20);

    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"cut inside the identity", cut(100)},
        {"the identity alone", cut(head)},
        {"cut after a record that says more follow", cut(head + static_cast<size_t>(firstLength))},
        {"cut inside the last record", cut(whole.size() - 1)},
        {"a record running past the end", runsPast},
        {"a record shorter than its own head", tooShortRecord},
        {"two mebibytes", huge},
    };
    ResetSettings();
    const std::vector<BYTE> before = Settings();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string damaged = ProfilePath("Damaged");
        WriteFile(plat::LinuxPath(damaged), c.bytes);
        EXPECT_THROW(m_source.LoadProfile(damaged.c_str()), Trellis::CTWAINFailureException);
        EXPECT_EQ(before, Settings());
    }

    // The whole image with spare zeros after it loads.
    const std::string spare = ProfilePath("Spare");
    WriteFile(plat::LinuxPath(spare), padded);
    EXPECT_NO_THROW(m_source.LoadProfile(spare.c_str()));
    EXPECT_EQ(250.0, Current(ICAP_BRIGHTNESS));
    ResetSettings();

    // Nothing to read at all.
    for (const std::string& missing : {ProfilePath("Missing"), m_folder}) {
        SCOPED_TRACE(missing);
        EXPECT_THROW(m_source.LoadProfile(missing.c_str()), Trellis::CTWAINFailureException);
        EXPECT_EQ(before, Settings());
    }
}

// A save fails when the file cannot be made, or when its bytes do not all
// reach it.
TEST_F(ProfileTest, SavingFailsWhenTheFileIsNotWrittenWhole)
{
    std::vector<std::string> paths = {m_folder + "Missing Folder\\Office.bin", m_folder};
    if (fs::exists("/dev/full"))
        paths.push_back("/dev/full"); // every write: no space left
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        EXPECT_THROW(m_source.SaveProfile(path.c_str()), Trellis::CTWAINFailureException);
    }
    EXPECT_FALSE(fs::exists(plat::LinuxPath(m_folder + "Missing Folder")));
}

} // namespace
