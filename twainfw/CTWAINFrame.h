// A TW_FRAME with float setters. It adds no members and no virtual
// operations, so a frame copies byte for byte into and out of TWAIN records.
#pragma once

#include "platform/twain/twain.h"

namespace Trellis {

class CTWAINFrame : public TW_FRAME {
public:
    CTWAINFrame(); // all edges 0
    CTWAINFrame(const TW_FRAME& frame);
    CTWAINFrame(float left, float top, float right, float bottom);

    void Set(float left, float top, float right, float bottom);
    void SetLeft(float left);
    void SetTop(float top);
    void SetRight(float right);
    void SetBottom(float bottom);

    // Exactly equal edges as floats (no margin).
    bool operator==(const CTWAINFrame& other) const;
    // Whether `other` lies inside this frame; edges on the border count as inside.
    bool Contains(const CTWAINFrame& other) const;

    // The frame in another unit: Left and Right at the X resolution, Top and
    // Bottom at the Y resolution.
    CTWAINFrame ConvertUnits(int fromUnit, int toUnit, float xResolution, float yResolution) const;
    void ConvertUnits(CTWAINFrame& out, int fromUnit, int toUnit, float xResolution, float yResolution) const;
};

static_assert(sizeof(CTWAINFrame) == sizeof(TW_FRAME));

// The page of a TWSS size code at the origin, in `unit`: (0, 0, width,
// height). TWSS_NONE, code 8 and codes the table does not hold give the
// all-zero frame. Codes above 0x7FFF are the data source's own sizes and are
// not looked up here.
CTWAINFrame GetSupportedSizeFrame(int sizeCode, int unit, float xResolution, float yResolution);
void GetSupportedSizeFrame(CTWAINFrame& out, int sizeCode, int unit, float xResolution, float yResolution);

} // namespace Trellis
