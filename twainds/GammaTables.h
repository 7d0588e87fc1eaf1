// The four fixed gamma tables sent to the scanner before each scan: output
// level by input level, one for each colour channel and one for gray.
#pragma once

#include "platform/windows.h"

#include <array>

namespace qbk24 {

using GammaTable = std::array<BYTE, 256>;

const GammaTable& GammaChannel1();
const GammaTable& GammaChannel2();
const GammaTable& GammaChannel3();
const GammaTable& GammaGray();

} // namespace qbk24
