#include "halservice/service/SecurityDescriptor.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

DWORD Dword(const std::vector<BYTE>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<DWORD>(b[at + 3]) << 24);
}

WORD Word(const std::vector<BYTE>& b, size_t at) { return static_cast<WORD>(b[at] | (b[at + 1] << 8)); }

TEST(SecurityDescriptor, EveryoneMayExecuteWithOwnerAndGroupTheUser)
{
    const std::vector<BYTE> user = MakeSid(5, {21, 1, 2, 3, 1001});
    const std::vector<BYTE> sd = MakeEveryoneDescriptor(user, COM_RIGHTS_EXECUTE);
    const std::vector<BYTE> everyone = EveryoneSid();
    ASSERT_EQ(everyone, (std::vector<BYTE>{1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));

    ASSERT_EQ(sd.size(), 20 + (everyone.size() + 16) + 2 * user.size());
    EXPECT_EQ(sd[0], 1);            // revision
    EXPECT_EQ(Word(sd, 2), 0x8004); // self-relative, DACL present
    EXPECT_EQ(Dword(sd, 12), 0u);   // no system ACL

    const size_t dacl = Dword(sd, 16);
    ASSERT_NE(dacl, 0u);
    EXPECT_EQ(sd[dacl], 2);                              // ACL revision
    EXPECT_EQ(Word(sd, dacl + 2), everyone.size() + 16); // sized for one entry exactly
    EXPECT_EQ(Word(sd, dacl + 4), 1);                    // one entry
    EXPECT_EQ(sd[dacl + 8], 0);                          // access allowed
    EXPECT_EQ(Word(sd, dacl + 10), everyone.size() + 8);
    EXPECT_EQ(Dword(sd, dacl + 12), COM_RIGHTS_EXECUTE);
    EXPECT_TRUE(std::equal(everyone.begin(), everyone.end(), sd.begin() + dacl + 16));

    for (size_t field : {4u, 8u}) {
        const size_t at = Dword(sd, field);
        ASSERT_LE(at + user.size(), sd.size());
        EXPECT_TRUE(std::equal(user.begin(), user.end(), sd.begin() + at)) << field;
    }
}

TEST(SecurityDescriptor, OpenDescriptorHasANullDacl)
{
    const std::vector<BYTE> sd = MakeOpenDescriptor(CurrentUserSid());
    EXPECT_EQ(Word(sd, 2), 0x8004);
    EXPECT_EQ(Dword(sd, 16), 0u);
    EXPECT_EQ(sd.size(), 20 + 2 * CurrentUserSid().size());
}

} // namespace
