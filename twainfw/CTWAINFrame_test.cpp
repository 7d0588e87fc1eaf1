#include "twainfw/CTWAINFrame.h"

#include "twainfw/FixedPoint.h"

#include <gtest/gtest.h>

namespace Trellis {
namespace {

void ExpectFrame(const CTWAINFrame& f, float left, float top, float right, float bottom, float tolerance,
                 const char* what)
{
    EXPECT_NEAR(Fix32ToFloat(f.Left), left, tolerance) << what;
    EXPECT_NEAR(Fix32ToFloat(f.Top), top, tolerance) << what;
    EXPECT_NEAR(Fix32ToFloat(f.Right), right, tolerance) << what;
    EXPECT_NEAR(Fix32ToFloat(f.Bottom), bottom, tolerance) << what;
}

TEST(CTWAINFrame, PaperSizes)
{
    struct Case {
        const char* what;
        int code;
        int unit;
        float xres, yres;
        float right, bottom;
        float tolerance;
    };
    const Case cases[] = {
        {"US Letter in pixels", TWSS_USLETTER, TWUN_PIXELS, 200, 300, 1700, 3300, 0},
        {"A4 in inches", TWSS_A4LETTER, TWUN_INCHES, 0, 0, 8.268f, 11.693f, 1e-3f},
        {"A4 in centimetres", TWSS_A4LETTER, TWUN_CENTIMETERS, 0, 0, 21.0f, 29.7f, 1e-4f},
        {"B4 is 35.4 cm high", TWSS_B4, TWUN_CENTIMETERS, 0, 0, 25.0f, 35.4f, 1e-4f},
        {"business card lies on its side", TWSS_BUSINESSCARD, TWUN_INCHES, 0, 0, 3.5f, 2.0f, 0},
        {"US Letter in centimetres", TWSS_USLETTER, TWUN_CENTIMETERS, 0, 0, 21.59f, 27.94f, 1e-4f},
        {"none", TWSS_NONE, TWUN_INCHES, 0, 0, 0, 0, 0},
        {"code 8 is no size", 8, TWUN_PIXELS, 300, 300, 0, 0, 0},
        {"code 54 is past the table", 54, TWUN_INCHES, 0, 0, 0, 0, 0},
        {"the data source's own sizes are not here", 0x8001, TWUN_INCHES, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases)
        ExpectFrame(GetSupportedSizeFrame(c.code, c.unit, c.xres, c.yres), 0, 0, c.right, c.bottom, c.tolerance,
                    c.what);

    CTWAINFrame out(1, 2, 3, 4);
    GetSupportedSizeFrame(out, TWSS_USLEGAL, TWUN_INCHES, 0, 0);
    ExpectFrame(out, 0, 0, 8.5f, 14.0f, 0, "out form");
}

TEST(CTWAINFrame, ContainsAndEquality)
{
    const CTWAINFrame page(0, 0, 8.5f, 11);
    CTWAINFrame wider = page;
    wider.Right.Frac += 1; // one Frac step
    CTWAINFrame lower = page;
    lower.SetBottom(11.5f);

    EXPECT_TRUE(page.Contains(page)) << "edges on the border count as inside";
    EXPECT_TRUE(page.Contains(CTWAINFrame(1, 1, 8.5f, 2)));
    EXPECT_FALSE(page.Contains(wider));
    EXPECT_TRUE(wider.Contains(page));
    EXPECT_FALSE(page.Contains(CTWAINFrame(-0.5f, 0, 1, 1)));

    EXPECT_TRUE(page == CTWAINFrame(0, 0, 8.5f, 11));
    EXPECT_FALSE(page == lower) << "frames that differ only in Bottom";
    EXPECT_TRUE(CTWAINFrame() == CTWAINFrame(0, 0, 0, 0));
}

TEST(CTWAINFrame, ConvertUnitsUsesEachAxisResolution)
{
    const CTWAINFrame inches(0.5f, 1, 8.5f, 11);
    ExpectFrame(inches.ConvertUnits(TWUN_INCHES, TWUN_PIXELS, 200, 300), 100, 300, 1700, 3300, 0, "to pixels");
    ExpectFrame(inches.ConvertUnits(TWUN_INCHES, TWUN_INCHES, 0, 0), 0.5f, 1, 8.5f, 11, 0, "same unit");

    // A long page in pixels does not fit TW_FIX32: its edges saturate.
    CTWAINFrame longPage(0, 0, 8.5f, 100);
    CTWAINFrame pixels = longPage.ConvertUnits(TWUN_INCHES, TWUN_PIXELS, 600, 600);
    EXPECT_EQ(pixels.Bottom.Whole, 32767);
    EXPECT_EQ(pixels.Bottom.Frac, 0xFFFF);
    EXPECT_EQ(pixels.Right.Whole, 5100);
}

} // namespace
} // namespace Trellis
