#include "diag/FormatWide.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatWide, WindowsFormatMeaning)
{
    EXPECT_EQ(FormatWide(u"%s.%s", u"RNX Configure", u"Configure"), u"RNX Configure.Configure");
    EXPECT_EQ(FormatWide(u"0x%08X", 0x1a2bu), u"0x00001A2B");
    EXPECT_EQ(FormatWide(u"0x%02X,", 0xFFu), u"0xFF,");
}

TEST(FormatWide, LongTextIsCutToTheBuffer)
{
    std::u16string longText(5000, u'y');
    std::u16string formatted = FormatWide(u"<%s>", longText.c_str());
    EXPECT_EQ(formatted.size(), kFormatWideChars - 1);
    EXPECT_EQ(formatted.front(), u'<');
    EXPECT_EQ(formatted.back(), u'y');
}

TEST(FormatWide, IntoBufferNeverWritesPastIt)
{
    WCHAR buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    auto into = [&](size_t capacity, const WCHAR* format, ...) {
        va_list args;
        va_start(args, format);
        size_t written = FormatWideInto(buffer, capacity, format, args);
        va_end(args);
        return written;
    };
    EXPECT_EQ(into(4, u"%d", 123456), 3u);
    EXPECT_EQ(std::u16string(buffer), u"123");
    EXPECT_EQ(buffer[4], u'#');
    EXPECT_EQ(into(0, u"%d", 1), 0u);
    EXPECT_EQ(buffer[0], u'1') << "a zero capacity touches nothing";
}

} // namespace
