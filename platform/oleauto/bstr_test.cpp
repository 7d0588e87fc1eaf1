#include "platform/oleauto/ScopedBstr.h"
#include "platform/oleauto/ScopedSafeArray.h"
#include "platform/oleauto/ScopedVariant.h"
#include "platform/oleauto/bstr.h"
#include "platform/oleauto/comerror.h"
#include "platform/oleauto/safearray.h"
#include "platform/oleauto/variant.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::uint32_t PrefixOf(BSTR b)
{
    std::uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<const char*>(b) - 4, 4);
    return prefix;
}

TEST(Bstr, LayoutIsBytePrefixTextAndNull)
{
    struct Case {
        const char* name;
        BSTR made;
        std::u16string text;
        UINT bytes;
    };
    Case cases[] = {
        {"whole string", SysAllocString(u"scan"), u"scan", 8},
        {"empty", SysAllocString(u""), u"", 0},
        {"embedded null", SysAllocStringLen(u"a\0b", 3), std::u16string(u"a\0b", 3), 6},
        {"prefix of text", SysAllocStringLen(u"abcdef", 2), u"ab", 4},
        {"zeroed", SysAllocStringLen(nullptr, 2), std::u16string(2, u'\0'), 4},
        {"bytes", SysAllocStringByteLen("abcd", 4), u"\x6261\x6463", 4},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.made, nullptr);
        EXPECT_EQ(PrefixOf(c.made), c.bytes);
        EXPECT_EQ(SysStringByteLen(c.made), c.bytes);
        EXPECT_EQ(SysStringLen(c.made), c.bytes / 2);
        EXPECT_EQ(std::u16string(c.made, SysStringLen(c.made)), c.text);
        EXPECT_EQ(c.made[SysStringLen(c.made)], u'\0');
        SysFreeString(c.made);
    }
}

TEST(Bstr, OddByteLengthKeepsItsBytesAndIsTerminated)
{
    BSTR b = SysAllocStringByteLen("xyz", 3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringByteLen(b), 3u);
    EXPECT_EQ(SysStringLen(b), 1u);
    const char* bytes = reinterpret_cast<const char*>(b);
    EXPECT_EQ(std::string(bytes, 3), "xyz");
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(bytes[4], 0);
    SysFreeString(b);
}

TEST(Bstr, NullBehavesAsEmpty)
{
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(Bstr, LengthBeyondThePrefixIsRefused)
{
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(Bstr, ReAllocFromItsOwnText)
{
    BSTR b = SysAllocString(u"hello world");
    ASSERT_TRUE(SysReAllocString(&b, b + 6));
    EXPECT_EQ(std::u16string(b), u"world");
    ASSERT_TRUE(SysReAllocStringLen(&b, b, 3));
    EXPECT_EQ(std::u16string(b, SysStringLen(b)), u"wor");
    ASSERT_TRUE(SysReAllocString(&b, nullptr));
    EXPECT_EQ(b, nullptr);
    EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
}

TEST(ScopedBstr, OwnsMovesAndHandsOut)
{
    plat::ScopedBstr a(u"first");
    EXPECT_EQ(a.View(), u"first");
    plat::ScopedBstr b(std::move(a));
    EXPECT_EQ(a.Get(), nullptr);
    EXPECT_EQ(b.View(), u"first");

    // An out-parameter replaces what was held without leaking it.
    BSTR* slot = b.Out();
    EXPECT_EQ(*slot, nullptr);
    *slot = SysAllocString(u"second");
    EXPECT_EQ(b.Length(), 6u);

    b = plat::ScopedBstr(std::u16string_view(u"third"));
    BSTR raw = b.Release();
    EXPECT_EQ(b.Get(), nullptr);
    SysFreeString(raw);

    plat::ScopedBstr none(static_cast<LPCOLESTR>(nullptr));
    EXPECT_EQ(none.Get(), nullptr);
    EXPECT_TRUE(none.View().empty());
}

TEST(ComError, IssueErrorThrowsTheResult)
{
    try {
        _com_issue_error(E_OUTOFMEMORY);
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_OUTOFMEMORY);
    }
}

} // namespace
