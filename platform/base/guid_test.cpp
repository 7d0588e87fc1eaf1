#include "platform/base/guid.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/oleauto/taskmem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unordered_set>

namespace {

constexpr GUID kSample = plat::MakeGuid("{6B29FC40-CA47-1067-B31D-00DD010662DA}");
static_assert(kSample.Data1 == 0x6B29FC40 && kSample.Data2 == 0xCA47 && kSample.Data3 == 0x1067);
static_assert(kSample.Data4[0] == 0xB3 && kSample.Data4[7] == 0xDA);
static_assert(plat::MakeGuid("6b29fc40-ca47-1067-b31d-00dd010662da") == kSample);
static_assert(IsEqualGUID(GUID_NULL, GUID{}) && !IsEqualIID(kSample, GUID_NULL));

TEST(Guid, PrintsRegistryFormInUpperCase)
{
    OLECHAR buffer[GUID_STRING_CHARS];
    ASSERT_EQ(StringFromGUID2(kSample, buffer, GUID_STRING_CHARS), 39);
    EXPECT_EQ(std::u16string(buffer), u"{6B29FC40-CA47-1067-B31D-00DD010662DA}");
    EXPECT_EQ(plat::GuidToString(kSample), "{6B29FC40-CA47-1067-B31D-00DD010662DA}");
    EXPECT_EQ(plat::GuidToWideString(GUID_NULL), u"{00000000-0000-0000-0000-000000000000}");
}

TEST(Guid, StringFromGuid2RefusesShortBufferWithoutWriting)
{
    OLECHAR buffer[GUID_STRING_CHARS];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(StringFromGUID2(kSample, buffer, GUID_STRING_LENGTH), 0);
    EXPECT_EQ(buffer[0], u'#');
    EXPECT_EQ(StringFromGUID2(kSample, nullptr, 100), 0);
}

TEST(Guid, AllocatedFormsRoundTrip)
{
    LPOLESTR text = nullptr;
    ASSERT_EQ(StringFromIID(kSample, &text), S_OK);
    CLSID back{};
    EXPECT_EQ(CLSIDFromString(text, &back), S_OK);
    EXPECT_EQ(back, kSample);
    CoTaskMemFree(text);

    ASSERT_EQ(StringFromCLSID(kSample, &text), S_OK);
    IID iid{};
    EXPECT_EQ(IIDFromString(text, &iid), S_OK);
    EXPECT_EQ(iid, kSample);
    CoTaskMemFree(text);
}

TEST(Guid, ParsesEitherCase)
{
    GUID g{};
    EXPECT_EQ(CLSIDFromString(u"{6b29fc40-CA47-1067-b31d-00DD010662da}", &g), S_OK);
    EXPECT_EQ(g, kSample);
    EXPECT_TRUE(plat::GuidFromString(std::string_view("{6B29FC40-CA47-1067-B31D-00DD010662DA}"), g));
    EXPECT_EQ(g, kSample);
}

TEST(Guid, RefusesMalformedText)
{
    const char16_t* cases[] = {
        u"",
        u"{",
        u"6B29FC40-CA47-1067-B31D-00DD010662DA",    // no braces
        u"{6B29FC40-CA47-1067-B31D-00DD010662D}",   // one digit short
        u"{6B29FC40-CA47-1067-B31D-00DD010662DAA}", // one digit long
        u"{6B29FC40-CA47-1067-B31D-00DD010662DA}x", // trailing text
        u"{6B29FC40-CA47-1067-B31D-00DD010662DG}",  // not hex
        u"{6B29FC40+CA47-1067-B31D-00DD010662DA}",  // wrong separator
        u"{6B29FC4-0CA47-1067-B31D-00DD010662DA}",  // separator moved
        u"{6B29FC40-CA47-1067-B31D00-DD010662DA}",
        u"(6B29FC40-CA47-1067-B31D-00DD010662DA)",
        u" {6B29FC40-CA47-1067-B31D-00DD010662DA}",
    };
    for (const char16_t* text : cases) {
        SCOPED_TRACE(Utf16ToUtf8(text));
        // A refused class text names no class, so a creation that follows
        // fails for certain; a refused interface text leaves the output alone.
        GUID clsid = kSample;
        EXPECT_EQ(CLSIDFromString(text, &clsid), CO_E_CLASSSTRING);
        EXPECT_EQ(clsid, CLSID_NULL);
        GUID g = kSample;
        EXPECT_EQ(IIDFromString(text, &g), E_INVALIDARG);
        EXPECT_EQ(g, kSample);
        EXPECT_FALSE(plat::GuidFromString(std::u16string_view(text), g));
        EXPECT_EQ(g, kSample);
    }
    EXPECT_EQ(CLSIDFromString(u"{6B29FC40-CA47-1067-B31D-00DD010662DA}", nullptr), E_INVALIDARG);
}

TEST(Guid, NeverReadsPastTheTerminator)
{
    // A prefix of a valid text sits at the very end of its own allocation, so
    // ASan reports any read beyond the terminator.
    const std::u16string full = u"{6B29FC40-CA47-1067-B31D-00DD010662DA}";
    for (size_t n = 0; n < full.size(); ++n) {
        auto* text = new char16_t[n + 1];
        std::memcpy(text, full.data(), n * sizeof(char16_t));
        text[n] = 0;
        GUID g{};
        EXPECT_EQ(CLSIDFromString(text, &g), CO_E_CLASSSTRING) << n;
        delete[] text;
    }
}

TEST(Guid, NullTextIsTheNullGuid)
{
    GUID g = kSample;
    EXPECT_EQ(CLSIDFromString(nullptr, &g), S_OK);
    EXPECT_EQ(g, GUID_NULL);
}

TEST(Guid, HashesAndOrdersByValue)
{
    std::unordered_set<GUID> set{kSample, GUID_NULL, kSample};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_TRUE(set.count(plat::MakeGuid("6B29FC40-CA47-1067-B31D-00DD010662DA")));
    EXPECT_LT(GUID_NULL, kSample);
}

} // namespace
