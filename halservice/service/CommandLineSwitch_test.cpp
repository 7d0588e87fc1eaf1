#include "halservice/service/CommandLineSwitch.h"

#include <gtest/gtest.h>

namespace {

struct SwitchCase {
    const char16_t* line;
    HALSwitch expected;
};

class SwitchTable : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTable, FirstRecognisedSwitchDecides)
{
    EXPECT_EQ(FindCommandLineSwitch(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SwitchTable,
    ::testing::Values(SwitchCase{u"", HALSwitch::None}, SwitchCase{u" -Embedding", HALSwitch::None},
                      SwitchCase{u" -regserver", HALSwitch::RegServer},
                      SwitchCase{u" /RegServer", HALSwitch::RegServer},
                      SwitchCase{u" -REGSERVER", HALSwitch::RegServer},
                      SwitchCase{u"\t-RegServer\t", HALSwitch::RegServer}, SwitchCase{u" -RegServerX", HALSwitch::None},
                      SwitchCase{u" RegServer", HALSwitch::None}, SwitchCase{u" -UnregServer", HALSwitch::UnregServer},
                      SwitchCase{u" /unregserverperuser", HALSwitch::UnregServerPerUser},
                      SwitchCase{u" -RegServerPerUser", HALSwitch::RegServerPerUser},
                      SwitchCase{u" -Service", HALSwitch::Service}, SwitchCase{u" -Foo -Service", HALSwitch::Service},
                      SwitchCase{u" -Foo/service", HALSwitch::Service},
                      // The registration switches are looked for over the whole line
                      // before "Service".
                      SwitchCase{u" -Service -RegServer", HALSwitch::RegServer},
                      SwitchCase{u" /Service /UnregServerPerUser", HALSwitch::UnregServerPerUser},
                      // Otherwise the first one on the line decides.
                      SwitchCase{u" -RegServer -UnregServer", HALSwitch::RegServer},
                      SwitchCase{u" -RegServerPerUser -UnregServer", HALSwitch::RegServerPerUser},
                      SwitchCase{u" --RegServer", HALSwitch::RegServer}, SwitchCase{u" -", HALSwitch::None}));

} // namespace
