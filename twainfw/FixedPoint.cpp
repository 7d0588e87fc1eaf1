#include "twainfw/FixedPoint.h"

#include <cmath>
#include <limits>

namespace Trellis {

namespace {

// Truncation toward zero into 32 bits, saturated at the limits.
TW_INT32 TruncateToInt32(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= 2147483647.0)
        return std::numeric_limits<TW_INT32>::max();
    if (x <= -2147483648.0)
        return std::numeric_limits<TW_INT32>::min();
    return static_cast<TW_INT32>(x);
}

// A pixel length at no resolution: no length for 0 pixels, else endless.
float NoResolution(float pixels)
{
    return pixels == 0.0f ? 0.0f : std::copysign(std::numeric_limits<float>::infinity(), pixels);
}

} // namespace

TW_FIX32 FloatToFix32(float x)
{
    double scaled = static_cast<double>(x) * 65536.0;
    TW_INT32 n = TruncateToInt32(x >= 0 ? scaled + 0.5 : scaled - 0.5);
    TW_FIX32 fix;
    fix.Whole = static_cast<TW_INT16>(n >> 16);
    fix.Frac = static_cast<TW_UINT16>(n & 0xFFFF);
    return fix;
}

float Fix32ToFloat(TW_FIX32 fix)
{
    return static_cast<float>(static_cast<double>(fix.Whole) + static_cast<double>(fix.Frac) / 65536.0);
}

TW_UINT32 Fix32ToWord(TW_FIX32 fix)
{
    return static_cast<TW_UINT16>(fix.Whole) | (static_cast<TW_UINT32>(fix.Frac) << 16);
}

TW_FIX32 WordToFix32(TW_UINT32 word)
{
    TW_FIX32 fix;
    fix.Whole = static_cast<TW_INT16>(word & 0xFFFF);
    fix.Frac = static_cast<TW_UINT16>(word >> 16);
    return fix;
}

double NearestDistance(double v, double x) { return v - x > kNearestMargin ? v - x : x - v; }

bool FloatEqual(double a, double b) { return std::fabs(a - b) < kFloatMargin; }
bool FloatLess(double a, double b) { return a - b < -kFloatMargin; }
bool FloatGreater(double a, double b) { return a - b > kFloatMargin; }

float ConvertUnit(float value, int fromUnit, int toUnit, float resolution)
{
    if (fromUnit == toUnit)
        return value;
    constexpr float kCentimetresPerInch = 2.54f;
    float inches = value;
    if (fromUnit == TWUN_CENTIMETERS)
        inches = value / kCentimetresPerInch;
    else if (fromUnit == TWUN_PIXELS)
        inches = resolution != 0.0f ? value / resolution : NoResolution(value);
    if (toUnit == TWUN_CENTIMETERS)
        return inches * kCentimetresPerInch;
    if (toUnit == TWUN_PIXELS)
        return resolution != 0.0f ? inches * resolution : 0.0f;
    return inches;
}

TW_INT32 RoundToInt32(double x) { return TruncateToInt32(x >= 0 ? x + 0.5 : x - 0.5); }

TW_UINT32 RoundToUInt32(double x)
{
    if (std::isnan(x) || x <= 0)
        return 0;
    if (x + 0.5 >= 4294967295.0)
        return std::numeric_limits<TW_UINT32>::max();
    return static_cast<TW_UINT32>(x + 0.5);
}

} // namespace Trellis
