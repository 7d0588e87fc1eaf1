#include "diag/HexDump.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(HexDump, Cases)
{
    const BYTE bytes[] = {1, 2, 255};
    struct Case {
        const BYTE* data;
        DWORD count;
        std::u16string expected;
    } cases[] = {
        {bytes, 3, u"0x01,0x02,0xFF"},
        {bytes, 1, u"0x01"},
        {bytes, 0, u""},
        {nullptr, 5, u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HexDump(c.data, c.count), c.expected) << "count " << c.count;
}

TEST(HexDump, CutAtCapMarksTheLastEntry)
{
    std::vector<BYTE> bytes(300, 0xAB);
    std::u16string cut = HexDump(bytes.data(), 300);
    EXPECT_EQ(cut.size(), 266u * 5 - 1 + 6);
    EXPECT_EQ(cut.substr(cut.size() - 10), u"0xAB (...)");
    EXPECT_EQ(cut.find(u"(...)"), cut.size() - 5) << "only the last entry is marked";

    std::u16string exact = HexDump(bytes.data(), 266);
    EXPECT_EQ(exact.size(), 266u * 5 - 1);
    EXPECT_EQ(exact.find(u'('), std::u16string::npos);
}

} // namespace
