#include "twainfw/FixedPoint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace Trellis {
namespace {

TEST(FixedPoint, FloatToFix32RoundsHalfAwayFromZeroAndSaturates)
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float x;
        TW_INT16 whole;
        TW_UINT16 frac;
    };
    const Case cases[] = {
        {0.0f, 0, 0},
        {1.0f, 1, 0},
        {0.5f, 0, 0x8000},
        {-0.5f, -1, 0x8000},
        {1.0f / 131072, 0, 1},
        {-1.0f / 131072, -1, 0xFFFF},
        {-1.25f, -2, 0xC000},
        {300.0f, 300, 0},
        {32767.5f, 32767, 0x8000},
        // Beyond TW_FIX32: saturated instead of overflowing.
        {40000.0f, 32767, 0xFFFF},
        {-40000.0f, -32768, 0},
        {inf, 32767, 0xFFFF},
        {-inf, -32768, 0},
        {std::nanf(""), 0, 0},
    };
    for (const Case& c : cases) {
        TW_FIX32 f = FloatToFix32(c.x);
        EXPECT_EQ(f.Whole, c.whole) << c.x;
        EXPECT_EQ(f.Frac, c.frac) << c.x;
    }
}

TEST(FixedPoint, Fix32RoundTripsAndLiesInOneWord)
{
    for (float x : {0.0f, 0.5f, -0.5f, -1.25f, 8.5f, 1700.0f, -32768.0f, 1.0f / 65536})
        EXPECT_EQ(Fix32ToFloat(FloatToFix32(x)), x);
    TW_FIX32 f = FloatToFix32(-1.25f);
    EXPECT_EQ(Fix32ToWord(f), 0xC000FFFEu) << "Whole in the low half, Frac in the high half";
    TW_FIX32 back = WordToFix32(0xC000FFFEu);
    EXPECT_EQ(back.Whole, -2);
    EXPECT_EQ(back.Frac, 0xC000);
}

TEST(FixedPoint, ComparisonsUseTheirMargin)
{
    struct Case {
        double a, b;
        bool equal, less, greater;
    };
    const Case cases[] = {
        {1.0, 1.0, true, false, false},        {1.0, 1.0 + 1e-7, true, false, false},
        {1.0, 1.0 + 2e-7, false, true, false}, {1.0 + 2e-7, 1.0, false, false, true},
        {-5.0, 5.0, false, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FloatEqual(c.a, c.b), c.equal) << c.a << " " << c.b;
        EXPECT_EQ(FloatLess(c.a, c.b), c.less) << c.a << " " << c.b;
        EXPECT_EQ(FloatGreater(c.a, c.b), c.greater) << c.a << " " << c.b;
    }
}

TEST(FixedPoint, ConvertUnit)
{
    struct Case {
        float value;
        int from, to;
        float resolution;
        float want;
    };
    const Case cases[] = {
        {2.54f, TWUN_CENTIMETERS, TWUN_INCHES, 0, 1.0f},
        {300.0f, TWUN_PIXELS, TWUN_INCHES, 300, 1.0f},
        {1.0f, TWUN_INCHES, TWUN_PIXELS, 200, 200.0f},
        {1.0f, TWUN_INCHES, TWUN_CENTIMETERS, 0, 2.54f},
        {2.54f, TWUN_CENTIMETERS, TWUN_PIXELS, 100, 100.0f},
        {7.0f, TWUN_PICAS, TWUN_POINTS, 300, 7.0f},
        {7.0f, TWUN_PICAS, TWUN_INCHES, 300, 7.0f},
        {7.0f, TWUN_INCHES, TWUN_TWIPS, 300, 7.0f},
        {5.0f, TWUN_PIXELS, TWUN_PIXELS, 0, 5.0f},
        // No resolution: nothing in pixels, and no pixels to measure.
        {3.0f, TWUN_INCHES, TWUN_PIXELS, 0, 0.0f},
        {0.0f, TWUN_PIXELS, TWUN_INCHES, 0, 0.0f},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(ConvertUnit(c.value, c.from, c.to, c.resolution), c.want, 1e-6)
            << c.value << " " << c.from << "->" << c.to;

    // Pixels at resolution 0 have no finite length; as TW_FIX32 they saturate.
    float endless = ConvertUnit(100.0f, TWUN_PIXELS, TWUN_INCHES, 0.0f);
    EXPECT_TRUE(std::isinf(endless));
    EXPECT_EQ(FloatToFix32(endless).Whole, 32767);
}

TEST(FixedPoint, IntegerConversionsSaturate)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    // A 200-inch page at 1200 dpi fits; a page at a nonsense resolution does not.
    EXPECT_EQ(RoundToInt32(200.0 * 1200.0), 240000);
    EXPECT_EQ(RoundToInt32(1e12), std::numeric_limits<TW_INT32>::max());
    EXPECT_EQ(RoundToInt32(-1e12), std::numeric_limits<TW_INT32>::min());
    EXPECT_EQ(RoundToInt32(std::numeric_limits<double>::infinity()), std::numeric_limits<TW_INT32>::max());
    EXPECT_EQ(RoundToInt32(nan), 0);
    EXPECT_EQ(RoundToInt32(2.5), 3);
    EXPECT_EQ(RoundToInt32(-2.5), -3);
    EXPECT_EQ(RoundToUInt32(1e12), std::numeric_limits<TW_UINT32>::max());
    EXPECT_EQ(RoundToUInt32(-4.0), 0u);
    EXPECT_EQ(RoundToUInt32(nan), 0u);
    EXPECT_EQ(RoundToUInt32(3299.6), 3300u);
}

} // namespace
} // namespace Trellis
