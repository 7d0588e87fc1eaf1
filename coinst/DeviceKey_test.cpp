// Reading the device's string values: what counts as unreadable.
#include "coinst/CoInstallerTesting.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace coinst::testing;

TEST(DeviceKeyTest, OnlyTerminatedStringsOfAtMost260CharactersAreRead)
{
    plat::testing::TempSystemRoot root;
    const auto record = AddScanner(u"KEY1");
    coinst::ScopedKey key(coinst::OpenDeviceClassKey(record.driverKey, KEY_READ | KEY_WRITE));
    ASSERT_TRUE(key);

    auto bytes = [](const std::u16string& text, size_t extraBytes) {
        std::vector<BYTE> data(reinterpret_cast<const BYTE*>(text.data()),
                               reinterpret_cast<const BYTE*>(text.data()) + text.size() * sizeof(WCHAR));
        data.resize(data.size() + extraBytes, 0);
        return data;
    };
    const std::u16string longest(259, u'a');
    struct Case {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
        std::optional<std::u16string> read;
    };
    const Case cases[] = {
        {"terminated", REG_SZ, bytes(u"RNXHALPS", 2), u"RNXHALPS"},
        {"expandable, not expanded", REG_EXPAND_SZ, bytes(u"%SystemRoot%", 2), u"%SystemRoot%"},
        {"length 0", REG_SZ, {}, u""},
        {"260 with the terminator", REG_SZ, bytes(longest, 2), longest},
        {"261 with the terminator", REG_SZ, bytes(longest + u"b", 2), std::nullopt},
        {"no terminator", REG_SZ, bytes(u"RNXHALPS", 0), std::nullopt},
        {"odd byte count", REG_SZ, bytes(u"RNXHALPS", 1), std::nullopt},
        {"a number", REG_DWORD, {1, 0, 0, 0}, std::nullopt},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(RegSetValueExW(key.get(), u"PS_NAME", 0, c.type, c.data.data(), static_cast<DWORD>(c.data.size())),
                  ERROR_SUCCESS)
            << c.name;
        EXPECT_EQ(coinst::ReadDeviceString(key.get(), u"PS_NAME"), c.read) << c.name;
    }
    EXPECT_EQ(RegDeleteValueW(key.get(), u"PS_NAME"), ERROR_SUCCESS);
    EXPECT_FALSE(coinst::ReadDeviceString(key.get(), u"PS_NAME"));
}

} // namespace
