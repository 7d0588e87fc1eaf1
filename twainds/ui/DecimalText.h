// Numbers as the custom-size fields show and read them: a point as the
// decimal separator whatever the user's locale.
#pragma once

#include <string>
#include <string_view>

namespace qbk24 {

// The decimal number at the start of the text (blanks before it and
// anything after it are ignored); 0 for text that does not start with a
// number and for infinities and not-a-number.
float ReadDecimal(std::u16string_view text);

// Fixed point with two decimals ("8.50").
std::u16string FormatTwoDecimals(float value);
// A whole number ("216").
std::u16string FormatWhole(int value);

} // namespace qbk24
