// The scanner's capability set: the values the framework's set-up hooks fill
// on every opening of the source.
#include "twainds/CQBK24DataSource.h"

#include "twainfw/TWAINException.h"

#include <iterator>
#include <optional>

using Trellis::CTWAINEnumeration;
using Trellis::CTWAINFrame;
using Trellis::CTWAINOneValue;

namespace {

void AddCode(CTWAINEnumeration& list, TW_UINT16 code, bool currentAndDefault = false)
{
    list.Add(CTWAINOneValue(code), currentAndDefault, currentAndDefault);
}

} // namespace

void CQBK24DataSource::InitPhysicalDimensions(float& minimumWidth, float& minimumHeight, float& physicalWidth,
                                              float& physicalHeight)
{
    minimumWidth = 1.9f;
    minimumHeight = 2.75f;
    physicalWidth = 11.89f;
    physicalHeight = 17.0f;
}

void CQBK24DataSource::InitPixelTypes(CTWAINEnumeration& values)
{
    AddCode(values, TWPT_BW, true);
    AddCode(values, TWPT_GRAY);
    AddCode(values, TWPT_RGB);
}

void CQBK24DataSource::InitBitDepths(TW_UINT16 pixelType, CTWAINEnumeration& values)
{
    switch (pixelType) {
    case TWPT_BW:
        AddCode(values, 1, true);
        break;
    case TWPT_GRAY:
        AddCode(values, 8, true);
        break;
    case TWPT_RGB:
        AddCode(values, 24, true);
        break;
    default:
        break;
    }
}

void CQBK24DataSource::InitPlanarChunky(CTWAINEnumeration& values)
{
    AddCode(values, TWPC_CHUNKY, true);
}

void CQBK24DataSource::InitXResolutions(CTWAINEnumeration& values)
{
    for (float dpi : {100.0f, 150.0f, 200.0f, 300.0f, 400.0f, 500.0f, 600.0f})
        values.Add(CTWAINOneValue(dpi), dpi == 200.0f, dpi == 200.0f);
}

void CQBK24DataSource::InitYResolutions(CTWAINEnumeration& values)
{
    InitXResolutions(values);
}

void CQBK24DataSource::InitUnits(CTWAINEnumeration& values)
{
    AddCode(values, TWUN_INCHES, true);
    AddCode(values, TWUN_PIXELS);
}

void CQBK24DataSource::InitPixelFlavors(CTWAINEnumeration& values)
{
    AddCode(values, TWPF_CHOCOLATE, true);
    AddCode(values, TWPF_VANILLA);
}

void CQBK24DataSource::InitOrientations(CTWAINEnumeration& values)
{
    AddCode(values, TWOR_PORTRAIT, true);
    AddCode(values, TWOR_LANDSCAPE);
}

// Units and orientations are set up before this, so both can be switched
// while each orientation's list is filled.
void CQBK24DataSource::InitSupportedSizes(CTWAINEnumeration& values)
{
    const TW_UINT16 orientation = GetOrientationCurrent();

    SetOrientationCurrent(TWOR_PORTRAIT);
    AddCode(values, TWSS_NONE);
    FillSupportedSizes(values);

    SetOrientationCurrent(TWOR_LANDSCAPE);
    AddCode(LandscapeSizes.Allowed, TWSS_NONE);
    FillSupportedSizes(LandscapeSizes.Allowed);
    LandscapeSizes.Reset();

    SetOrientationCurrent(orientation);
}

void CQBK24DataSource::FillSupportedSizes(CTWAINEnumeration& values)
{
    const TW_UINT16 units = GetUnitsCurrent();
    SetUnitsCurrent(TWUN_INCHES);

    const float physicalWidth = GetPhysicalWidth();
    const float physicalHeight = GetPhysicalHeight();
    const float minimumWidth = GetMinimumWidth();
    const float minimumHeight = GetMinimumHeight();

    const CTWAINFrame largest = GetOrientationCurrent() == TWOR_LANDSCAPE
                                    ? CTWAINFrame(0, 0, physicalHeight, physicalWidth)
                                    : CTWAINFrame(0, 0, physicalWidth, physicalHeight);
    const CTWAINFrame smallest(0, 0, minimumWidth, minimumHeight);
    auto addWhenItFits = [&](TW_UINT16 code, const CTWAINFrame& frame) {
        if (largest.Contains(frame) && frame.Contains(smallest))
            AddCode(values, code);
    };

    for (TW_UINT16 code = 1; code <= 53; ++code) {
        if (code != 8)
            addWhenItFits(code, Trellis::GetSupportedSizeFrame(code, TWUN_INCHES, 300.0f, 300.0f));
    }
    for (TW_UINT16 code = 0x8000; code <= 0x8018; ++code) {
        // A custom size without a frame of its own is simply not offered.
        try {
            addWhenItFits(code, GetCustomSizeFrame(code, TWUN_INCHES, 300.0f, 300.0f));
        } catch (const Trellis::CTWAINException&) {
        }
    }

    if (std::optional<TW_UINT32> letter = values.IndexOf(CTWAINOneValue(static_cast<TW_UINT16>(TWSS_USLETTER)))) {
        values.CurrentIndex = *letter;
        values.DefaultIndex = *letter;
    }
    SetUnitsCurrent(units);
}

// Black-and-white pages may be sent as Group 4, gray and colour ones as JPEG,
// both only when the page goes to a file or to memory.
void CQBK24DataSource::InitCompressions(TW_UINT16 xferMech, CTWAINEnumeration& values)
{
    CTWAINDataSource::InitCompressions(xferMech, values);
    if (xferMech >= std::size(GrayColorCompressions))
        return;
    Trellis::CTWAINEnumPair& grayColor = GrayColorCompressions[xferMech];
    CTWAINDataSource::InitCompressions(xferMech, grayColor.Allowed);
    if (xferMech == TWSX_FILE || xferMech == TWSX_MEMORY) {
        AddCode(values, TWCP_GROUP4);
        AddCode(grayColor.Allowed, TWCP_JPEG);
    }
    grayColor.Reset();
}
