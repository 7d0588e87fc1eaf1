#include "diag/LogTimestamp.h"

#include "platform/base/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>

namespace {

class LogTimestampTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST_F(LogTimestampTest, FormatsLocalTimeWithPaddedMilliseconds)
{
    using namespace std::chrono;
    // 2026-03-04 05:06:07 UTC
    sys_seconds second = sys_days{year{2026} / 3 / 4} + hours{5} + minutes{6} + seconds{7};
    struct Case {
        milliseconds past;
        const char16_t* expected;
    } cases[] = {
        {milliseconds{9}, u"2026-03-04 05:06:07:009"},
        {milliseconds{89}, u"2026-03-04 05:06:07:089"},
        {milliseconds{0}, u"2026-03-04 05:06:07:000"},
        {milliseconds{999}, u"2026-03-04 05:06:07:999"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatLogTimestamp(time_point_cast<system_clock::duration>(second + c.past)), c.expected);

    // The last instant of a second stays in that second: seconds and
    // milliseconds come from one reading.
    auto almostNext = second + nanoseconds{999'999'999};
    EXPECT_EQ(FormatLogTimestamp(time_point_cast<system_clock::duration>(almostNext)), u"2026-03-04 05:06:07:999");
}

TEST_F(LogTimestampTest, CurrentTimeHasTheRecordShape)
{
    std::string text = Utf16ToUtf8(GetLogTimestamp());
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3})"))) << text;
}

} // namespace
