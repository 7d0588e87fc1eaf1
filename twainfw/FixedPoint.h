// Numbers of the TWAIN interface: TW_FIX32 fixed point, the float
// comparisons with their margin, and lengths between TWAIN units.
//
// Lengths and resolutions are floats inside the framework (inches, dots per
// inch) and TW_FIX32 in TWAIN records.
#pragma once

#include "platform/twain/twain.h"

namespace Trellis {

// Rounds half away from zero to 1/65536. Values beyond what TW_FIX32 holds
// (|x| >= 32768, infinities) saturate at its largest or smallest value; NaN
// gives 0.
TW_FIX32 FloatToFix32(float x);
float Fix32ToFloat(TW_FIX32 fix);

// The 32-bit word a TW_FIX32 occupies in a TWAIN record or a value item:
// Whole in the low half, Frac in the high half.
TW_UINT32 Fix32ToWord(TW_FIX32 fix);
TW_FIX32 WordToFix32(TW_UINT32 word);

// The margin of the float comparisons (2^-23), and the smaller one the
// nearest-value searches use on their own differences (2^-52).
inline constexpr double kFloatMargin = 1.0 / 8388608.0;
inline constexpr double kNearestMargin = 1.0 / 4503599627370496.0;

// |v - x| as the nearest-value searches take it: v - x when that is above
// 2^-52, else x - v.
double NearestDistance(double v, double x);

bool FloatEqual(double a, double b);   // |a - b| < 2^-23
bool FloatLess(double a, double b);    // a - b < -2^-23
bool FloatGreater(double a, double b); // a - b > 2^-23

// A length from one TWAIN unit to another: centimetres and pixels (at
// `resolution` dots per inch) go through inches; other units pass
// unconverted. A resolution of 0 makes pixel lengths infinite (to inches) or
// zero (to pixels), which the integer conversions below then saturate.
float ConvertUnit(float value, int fromUnit, int toUnit, float resolution);

// A float rounded to the nearest integer, saturated at the limits of the
// type instead of overflowing (a page length in pixels at a huge resolution,
// a length divided by a resolution of 0); NaN gives 0.
TW_INT32 RoundToInt32(double x);
TW_UINT32 RoundToUInt32(double x);

} // namespace Trellis
