#include "twainds/GammaTables.h"

namespace qbk24 {

namespace {

struct GammaPoint {
    int input;
    int output;
};

// Straight lines between the curve's fixed points: 0 below the first input
// that gives 1, 255 from input 247 up.
constexpr GammaTable MakeTable(int firstInputOfOne, int at64, int at128, int at192, int at224)
{
    const GammaPoint points[] = {{firstInputOfOne - 1, 0},
                                 {firstInputOfOne, 1},
                                 {64, at64},
                                 {128, at128},
                                 {192, at192},
                                 {224, at224},
                                 {247, 255}};
    GammaTable table{};
    for (int input = 0; input < 256; ++input) {
        int output = 0;
        if (input >= 247) {
            output = 255;
        } else if (input >= firstInputOfOne) {
            for (size_t i = 1; i < std::size(points); ++i) {
                const GammaPoint& from = points[i - 1];
                const GammaPoint& to = points[i];
                if (input >= from.input && input <= to.input) {
                    output = from.output + (input - from.input) * (to.output - from.output) / (to.input - from.input);
                    break;
                }
            }
        }
        table[static_cast<size_t>(input)] = static_cast<BYTE>(output);
    }
    return table;
}

constexpr GammaTable kChannel1 = MakeTable(48, 14, 66, 139, 183);
constexpr GammaTable kChannel2 = MakeTable(44, 16, 62, 131, 175);
constexpr GammaTable kChannel3 = MakeTable(48, 13, 62, 135, 181);
constexpr GammaTable kGray = MakeTable(45, 15, 62, 131, 174);

} // namespace

const GammaTable& GammaChannel1() { return kChannel1; }

const GammaTable& GammaChannel2() { return kChannel2; }

const GammaTable& GammaChannel3() { return kChannel3; }

const GammaTable& GammaGray() { return kGray; }

} // namespace qbk24
