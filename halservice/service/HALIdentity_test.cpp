#include "halservice/service/HALIdentity.h"

#include "halservice/service/HALClassIds.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct IdentityCase {
    const char16_t* path;
    bool ok;
    const char16_t* name; // HAL_NAME
    const char16_t* key;  // HALInstanceKey
    int slot;
};

class IdentityTable : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(IdentityTable, NameKeyAndSlotFromTheFileName)
{
    const IdentityCase& c = GetParam();
    HALIdentity identity;
    ASSERT_EQ(ParseHALIdentity(c.path, identity), c.ok);
    if (!c.ok)
        return;
    EXPECT_EQ(identity.HAL_NAME, c.name);
    EXPECT_EQ(identity.HALInstanceKey, c.key);
    EXPECT_EQ(identity.HALModuleSlot, c.slot);
    EXPECT_EQ(identity.clsid, kHALClassIds[c.slot]);
    // The application identifier differs per slot in its last digit only.
    ASSERT_EQ(identity.APPID.size(), 38u);
    EXPECT_EQ(identity.APPID[36], static_cast<char16_t>(u'0' + c.slot));
    EXPECT_EQ(identity.APPID.substr(0, 36), std::u16string(u"{B71D3E5A-2C94-4A6F-8E03-5D9C6A1F72E"));
}

INSTANTIATE_TEST_SUITE_P(
    FileNames, IdentityTable,
    ::testing::Values(IdentityCase{u"C:\\Windows\\System32\\X_0001_3.exe", true, u"X_0001_3", u"0001", 3},
                      IdentityCase{u"/usr/lib/qbk24/RNXQBK24x_0007_0.EXE", true, u"RNXQBK24x_0007_0", u"0007", 0},
                      IdentityCase{u"/opt/X_00012_9.exe", true, u"X_00012_9", u"0001", 9},
                      // Fewer than four key characters: runs without a device key.
                      IdentityCase{u"/opt/X_001_3.exe", true, u"X_001_3", u"", 3},
                      // Folders with '_' do not confuse a file name with two.
                      IdentityCase{u"/tmp/my_dir/X_0002_5.exe", true, u"X_0002_5", u"0002", 5},
                      IdentityCase{u"C:\\a_b\\X_0002_5.exe", true, u"X_0002_5", u"0002", 5},
                      IdentityCase{u"/opt/X_0001_A.exe", false, nullptr, nullptr, 0},
                      IdentityCase{u"/opt/X_0001_.exe", false, nullptr, nullptr, 0},
                      IdentityCase{u"/opt/X_0001_", false, nullptr, nullptr, 0},
                      IdentityCase{u"/opt/X0001.exe", false, nullptr, nullptr, 0},
                      IdentityCase{u"/opt/X_0001.exe", false, nullptr, nullptr, 0},
                      // A file name without '_' in a folder with exactly one.
                      IdentityCase{u"/tmp/my_dir/X0001.exe", false, nullptr, nullptr, 0}));

TEST(HALIdentity, NameStaysWithoutExtensionAndATooLongNameIsRefused)
{
    HALIdentity identity;
    identity.HAL_NAME = u"RNXHALService";
    ASSERT_TRUE(ParseHALIdentity(u"/opt/X_0001_3", identity));
    EXPECT_EQ(identity.HAL_NAME, u"RNXHALService");
    EXPECT_EQ(identity.HALModuleSlot, 3);

    // A base name longer than a service name may be ends the copy.
    std::u16string longName = u"/opt/" + std::u16string(250, u'N') + u"_0001_3.exe";
    EXPECT_FALSE(ParseHALIdentity(longName, identity));
}

} // namespace
