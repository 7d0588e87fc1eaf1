#include "twainds/ui/CScanProgressDlg.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(ScanProgressTest, ThePercentageOfAPageStaysWithinTheBar)
{
    struct Case {
        LONG received;
        LONG total;
        int percent;
    };
    const Case cases[] = {
        {0, 0, 0},   // height not known yet
        {120, 0, 0}, // nor here
        {0, 3300, 0},      {1650, 3300, 50},        {3299, 3300, 99},
        {3300, 3300, 100}, {4000, 3300, 100}, // more lines than announced
        {-5, 3300, 0},     {INT_MAX, INT_MAX, 100}, {INT_MAX, 1, 100},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CScanProgressDlg::Percentage(c.received, c.total), c.percent) << c.received << " of " << c.total;
}

} // namespace
